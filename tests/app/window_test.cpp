// The main window as the user first meets it: its fixed layout, the start-up sequence,
// and where mouse events go.
#include "windowfixture.h"

#include "app/layouts.h"
#include "app/navigationhistory.h"
#include "folderview/folderview.h"
#include "ui/colors.h"
#include "ui/form.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>

using namespace moviecat;
using moviecat::test::WindowFixture;

namespace {

int stackIndex(const QWidget *w)
{
    return int(w->parentWidget()->children().indexOf(const_cast<QWidget *>(w)));
}

const QByteArray kThreeCategories = "[movie]\r\n动作片=/films/action\r\nComedy=/films/comedy/\r\n"
                                    "科幻=/films/科幻=经典\r\n[movie end]\r\n";

} // namespace

using LayoutTest = WindowFixture;

TEST_F(LayoutTest, PlacesSizesAndCaptionsFollowTheTable)
{
    open(kThreeCategories);
    EXPECT_EQ(window->size(), QSize(1012, 712));
    EXPECT_TRUE(window->windowFlags() & Qt::FramelessWindowHint);

    struct Expect {
        const char *name;
        QRect pixels;
    };
    const Expect places[] = {
        {"Command7", {624, 48, 57, 25}}, {"Text1", {480, 50, 129, 21}},
        {"List3", {624, 80, 377, 592}},  {"ExplorerList1", {152, 81, 848, 590}},
        {"Label20", {920, 24, 65, 33}},  {"Label19", {856, 680, 137, 17}},
        {"Image9", {696, 24, 153, 56}},  {"Label18", {16, 640, 129, 17}},
        {"Label2", {16, 128, 129, 17}},  {"Image4", {0, 672, 1014, 40}},
        {"Image2", {0, 0, 1015, 81}},
    };
    for (const Expect &e : places)
        EXPECT_EQ(find<QWidget>(QString::fromLatin1(e.name))->geometry(), e.pixels) << e.name;
    // The first category button is a pixel smaller each way than the other seventeen.
    EXPECT_EQ(label(1)->size(), QSize(128, 16));

    EXPECT_EQ(find<QPushButton>(QStringLiteral("Command7"))->text(), QStringLiteral("搜  索"));
    EXPECT_EQ(find<QPushButton>(QStringLiteral("Command1"))->text(),
              QStringLiteral("隐藏搜索列表"));
    EXPECT_EQ(find<QLineEdit>(QStringLiteral("Text1"))->text(), QStringLiteral("输入影片名称"));
    EXPECT_EQ(find<WindowlessLabel>(QStringLiteral("Label24"))->caption(),
              QString(63, QLatin1Char('.')));
    EXPECT_EQ(find<WindowlessLabel>(QStringLiteral("Label22"))->caption(),
              QString(24, QLatin1Char('.')));
    EXPECT_EQ(find<WindowlessLabel>(QStringLiteral("Label19"))->caption(),
              QStringLiteral("2009-03-26 08:28:28"));
    EXPECT_EQ(label(7)->caption(), QStringLiteral("Label7"));
    EXPECT_EQ(find<QTimer>(QStringLiteral("Timer1"))->interval(), 333);
    EXPECT_TRUE(find<QTimer>(QStringLiteral("Timer1"))->isActive());
    EXPECT_EQ(find<QTimer>(QStringLiteral("Timer2"))->interval(), 500);
    EXPECT_FALSE(find<QTimer>(QStringLiteral("Timer2"))->isActive());
}

TEST_F(LayoutTest, ColoursFontsAndVisibility)
{
    open(kThreeCategories);
    auto *exitLabel = find<WindowlessLabel>(QStringLiteral("Label20"));
    EXPECT_EQ(exitLabel->foreColor(), QColor(0x80, 0, 0));
    EXPECT_EQ(exitLabel->font().pixelSize(), 29); // 21.75 pt at 96 dpi
    EXPECT_TRUE(exitLabel->font().bold());
    auto *clock = find<WindowlessLabel>(QStringLiteral("Label19"));
    EXPECT_EQ(clock->foreColor(), QColor(255, 0, 0));
    EXPECT_FALSE(clock->isTransparent());
    EXPECT_EQ(resolveColor(clock->backColorValue(), clock->palette()), QColor(0, 0, 0));
    EXPECT_EQ(clock->font().pixelSize(), 14); // 10.5 pt
    EXPECT_EQ(find<WindowlessLabel>(QStringLiteral("Label24"))->foreColor(),
              QColor(0x80, 0xFF, 0xFF));
    EXPECT_EQ(window->palette().color(QPalette::Window), QColor(0xC0, 0xC0, 0xFF));
    // Category buttons follow the desktop's button-text colour.
    EXPECT_EQ(label(1)->foreColor(), window->palette().color(QPalette::ButtonText));

    // The results list, its toggle and the busy picture wait for a search; the category
    // buttons beyond the file's three stay hidden too.
    for (const char *hidden : {"Command1", "List3", "Image9"})
        EXPECT_TRUE(find<QWidget>(QString::fromLatin1(hidden))->isHidden()) << hidden;
    for (const ControlEntry &spec : form1Layout()) {
        const QString name = QString::fromUtf16(spec.name);
        if (spec.kind == ControlKind::Timer)
            continue;
        // The file's three categories have shown their buttons.
        const bool shownButton =
            name.startsWith(QLatin1String("Label")) && name.mid(5).toInt() <= 3;
        EXPECT_EQ(find<QWidget>(name)->isHidden(), spec.hidden && !shownButton)
            << name.toStdString();
        EXPECT_EQ(find<QWidget>(name)->isEnabled(), !spec.disabled) << name.toStdString();
    }
}

TEST_F(LayoutTest, WindowedControlsLieAboveWindowlessOnesInTableOrder)
{
    open(kThreeCategories);
    const int list3 = stackIndex(find<QWidget>(QStringLiteral("List3")));
    const int view = stackIndex(find<QWidget>(QStringLiteral("ExplorerList1")));
    const int rights = stackIndex(find<QWidget>(QStringLiteral("Label25")));
    const int top = stackIndex(find<QWidget>(QStringLiteral("Image2")));
    const int logo = stackIndex(find<QWidget>(QStringLiteral("Image5")));
    const int title = stackIndex(find<QWidget>(QStringLiteral("Image1")));
    const int band = stackIndex(find<QWidget>(QStringLiteral("Image6")));
    EXPECT_GT(list3, view);  // the shown results list covers the view
    EXPECT_GT(view, rights); // every windowed control above every windowless one
    EXPECT_GT(logo, title);  // the logo in front of the banner's left end
    EXPECT_GT(band, top);    // the top picture behind everything, the border band too
    EXPECT_LT(top, stackIndex(find<QWidget>(QStringLiteral("Image4"))));
}

TEST_F(LayoutTest, FocusOrderStartsAtTheFolderViewAndSkipsHiddenControls)
{
    open(kThreeCategories, /*show=*/true);
    const QStringList expected = {QStringLiteral("Command2"), QStringLiteral("Command3"),
                                  QStringLiteral("Command4"), QStringLiteral("Command5"),
                                  QStringLiteral("Command6"), QStringLiteral("Text1"),
                                  QStringLiteral("Command7")};
    QWidget *view = find<QWidget>(QStringLiteral("ExplorerList1"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::focusWidget() != nullptr; }));
    EXPECT_TRUE(view->isAncestorOf(QApplication::focusWidget()) ||
                QApplication::focusWidget() == view);
    QStringList seen;
    for (QWidget *w = view->nextInFocusChain(); w != view && seen.size() < 200;
         w = w->nextInFocusChain()) {
        if (w->parentWidget() == window.get() && w->isVisible() && w->isEnabled() &&
            w->focusPolicy() & Qt::TabFocus)
            seen << w->objectName();
    }
    EXPECT_EQ(seen, expected);
}

TEST_F(LayoutTest, AboutWindowIsBorderlessAndOneRowShorterThanItsPicture)
{
    open(kThreeCategories);
    std::unique_ptr<FormWindow> about(createAboutWindow(nullptr));
    EXPECT_EQ(about->objectName(), QStringLiteral("Form2"));
    EXPECT_EQ(about->size(), QSize(320, 219));
    EXPECT_EQ(about->picture().size(), QSize(320, 220));
    EXPECT_TRUE(about->windowFlags() & Qt::FramelessWindowHint);
    auto *text = about->findChild<WindowlessLabel *>(QStringLiteral("Label1"));
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->caption(), QStringLiteral("共亨目录搜索模式非加速版"));
    EXPECT_EQ(text->geometry(), QRect(152, 88, 153, 17));
}

using StartupTest = WindowFixture;

TEST_F(StartupTest, LoadsCategoriesAndPlacesTheBorderBands)
{
    open(kThreeCategories);
    for (int n = 1; n <= 18; ++n) {
        EXPECT_TRUE(label(n)->isTransparent()) << n;
        EXPECT_EQ(label(n)->isHidden(), n > 3) << n;
    }
    EXPECT_EQ(label(1)->caption(), QStringLiteral("动作片"));
    EXPECT_EQ(label(3)->caption(), QStringLiteral("科幻"));
    EXPECT_TRUE(window->history()->paths().isEmpty());
    // The third button opens its folder, "=" and all.
    QTest::mouseClick(label(3), Qt::LeftButton);
    EXPECT_EQ(window->history()->paths(), QStringList{QStringLiteral("/films/科幻=经典")});
    EXPECT_EQ(find<FolderView>(QStringLiteral("ExplorerList1"))->viewMode(), ViewMode::LargeIcons);

    EXPECT_EQ(find<QWidget>(QStringLiteral("Image3"))->geometry(), QRect(0, 7, 12, 698));
    EXPECT_EQ(find<QWidget>(QStringLiteral("Image7"))->geometry(), QRect(1000, 7, 12, 698));
    EXPECT_EQ(find<QWidget>(QStringLiteral("Image6"))->geometry(), QRect(7, 0, 998, 12));
    EXPECT_EQ(find<QWidget>(QStringLiteral("Image8"))->geometry(), QRect(7, 700, 998, 12));
}

TEST_F(StartupTest, MissingCategoryFileIsCreatedEmptyAndShowsNoButton)
{
    const QString ini = tree.path(QStringLiteral("movie.ini"));
    window = std::make_unique<MainWindow>();
    QString error;
    ASSERT_TRUE(window->load(ini, &error));
    EXPECT_TRUE(QFileInfo::exists(ini));
    EXPECT_EQ(QFileInfo(ini).size(), 0);
    for (int n = 1; n <= 18; ++n)
        EXPECT_TRUE(label(n)->isHidden());
}

TEST_F(StartupTest, UnreadableCategoryFileStopsStartUpWithAMessage)
{
    // A folder in the file's place cannot be read, not even by root.
    const QString ini = tree.mkdir(QStringLiteral("movie.ini"));
    window = std::make_unique<MainWindow>();
    QString error;
    EXPECT_FALSE(window->load(ini, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("movie.ini"))) << error.toStdString();
}

using MouseRoutingTest = WindowFixture;

TEST_F(MouseRoutingTest, OnlyBareSurfaceReachesTheWindowsOwnMouseMove)
{
    open(kThreeCategories, /*show=*/true);
    QSignalSpy surface(window.get(), &FormWindow::surfaceMouseMoved);
    auto *top = find<WindowlessPicture>(QStringLiteral("Image2"));
    QSignalSpy topMoves(top, &WindowlessControl::mouseMoved);
    auto *rights = find<WindowlessLabel>(QStringLiteral("Label25"));
    QSignalSpy rightsMoves(rights, &WindowlessControl::mouseMoved);

    moveTo(label(2));
    moveTo(rights);
    moveTo(find<QWidget>(QStringLiteral("Image4")));
    moveTo(find<QWidget>(QStringLiteral("Command7")));
    EXPECT_EQ(surface.count(), 0);
    EXPECT_EQ(rightsMoves.count(), 1);
    EXPECT_EQ(topMoves.count(), 0); // the label in front keeps the move

    // Between two category buttons lies bare surface.
    QTest::mouseMove(window.get(), QPoint(60, 120));
    EXPECT_EQ(surface.count(), 1);
    moveTo(top, QPoint(780, 20));
    EXPECT_EQ(topMoves.count(), 1);
    EXPECT_EQ(surface.count(), 1);
}
