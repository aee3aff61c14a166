#include "app/mainwindow.h"

#include "app/emptycataloguenotice.h"
#include "app/layouts.h"
#include "catalog/categorybuttons.h"
#include "catalog/categoryfile.h"
#include "folderview/folderview.h"
#include "folderview/navigationhistory.h"
#include "folderview/viewmodebuttons.h"
#include "search/searchcontroller.h"
#include "ui/aboutbox.h"
#include "ui/fonts.h"
#include "ui/hover.h"
#include "ui/statusline.h"
#include "ui/twips.h"
#include "ui/windowless.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QIcon>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

namespace moviecat {

namespace {

// The folder view's width beside the search results, and without them.
constexpr int kNarrowViewTwips = 7080;
constexpr int kWideViewTwips = 12720;

// What a screen reader (or the end-to-end client) needs to find its way: names for the
// windowed controls that have no caption of their own, and a description naming the role
// of each status label, whose accessible name is the text it shows.
void describeForAccessibility(QWidget *form)
{
    control<QLineEdit>(form, QStringLiteral("Text1"))
        ->setAccessibleName(QStringLiteral("影片名称"));
    control<QListWidget>(form, QStringLiteral("List3"))
        ->setAccessibleName(QStringLiteral("搜索结果"));
    control<QWidget>(form, QStringLiteral("ExplorerList1"))
        ->setAccessibleName(QStringLiteral("文件夹"));
    control<QWidget>(form, QStringLiteral("Label19"))
        ->setAccessibleDescription(QStringLiteral("时钟"));
    control<QWidget>(form, QStringLiteral("Label22"))
        ->setAccessibleDescription(QStringLiteral("当前分类"));
    control<QWidget>(form, QStringLiteral("Label24"))
        ->setAccessibleDescription(QStringLiteral("当前路径"));
}

} // namespace

void configureApplication(QApplication &app)
{
    QApplication::setApplicationName(QStringLiteral("moviecat"));
    QApplication::setApplicationVersion(QStringLiteral("1.00"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/moviecat.ico")));
    installFontSubstitutes();
    installWindowlessAccessibility();
    // Pixel-sized so the fixed layout reads the same whatever the screen's setting.
    QFont font = app.font();
    font.setPixelSize(12);
    app.setFont(font);
}

MainWindow::MainWindow(QWidget *parent) : FormWindow(parent)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("moviecat"));
    setFixedSize(kForm1Width, kForm1Height);
    setBackColor(ole::kPaleBlue);

    LayoutFactories factories;
    factories.folderView = [](QWidget *parent) {
        return new FolderView(parent);
    };
    buildLayout(this, form1Layout(), factories);

    m_view = control<FolderView>(this, QStringLiteral("ExplorerList1"));
    m_history =
        new NavigationHistory(control<QListWidget>(this, QStringLiteral("List1")), m_view, this);
    connect(m_view, &FolderView::itemOpened, m_history, &NavigationHistory::enter);
    connect(m_view, &FolderView::problem, this,
            [this](const QString &message) { showProblem(message); });
    connect(control<QPushButton>(this, QStringLiteral("Command2")), &QPushButton::clicked,
            m_history, &NavigationHistory::back);
    connectViewModeButtons({control<QPushButton>(this, QStringLiteral("Command3")),
                            control<QPushButton>(this, QStringLiteral("Command4")),
                            control<QPushButton>(this, QStringLiteral("Command5")),
                            control<QPushButton>(this, QStringLiteral("Command6"))},
                           m_view);

    CategoryButtons::Controls categories;
    for (int i = 0; i < kCategoryCount; ++i)
        categories.buttons[size_t(i)] =
            control<WindowlessLabel>(this, QStringLiteral("Label%1").arg(i + 1));
    categories.pathList = control<QListWidget>(this, QStringLiteral("List2"));
    categories.categoryLabel = control<WindowlessLabel>(this, QStringLiteral("Label22"));
    categories.view = m_view;
    categories.history = m_history;
    m_categories = new CategoryButtons(categories, this);

    setUpSearch();

    new StatusLine({control<QTimer>(this, QStringLiteral("Timer1")),
                    control<WindowlessLabel>(this, QStringLiteral("Label19")),
                    control<WindowlessLabel>(this, QStringLiteral("Label24")),
                    control<QListWidget>(this, QStringLiteral("List1"))},
                   Clock{}, this);

    auto *exitLabel = control<WindowlessLabel>(this, QStringLiteral("Label20"));
    auto *rightsLabel = control<WindowlessLabel>(this, QStringLiteral("Label25"));
    HoverHighlight::Controls hover;
    hover.form = this;
    hover.categoryButtons = {categories.buttons.begin(), categories.buttons.end()};
    hover.topButtons = {exitLabel, rightsLabel};
    hover.topPicture = control<WindowlessPicture>(this, QStringLiteral("Image2"));
    new HoverHighlight(hover, this);
    for (WindowlessLabel *label : hover.categoryButtons + hover.topButtons)
        label->setActsAsButton(true);
    describeForAccessibility(this);

    m_about = new AboutBox(
        rightsLabel, this, [this] { return createAboutWindow(this); }, this);
    // Any button, as soon as it goes down; the search helper is stopped and the scratch
    // folder removed as the window goes away.
    connect(exitLabel, &WindowlessLabel::mousePressed, qApp, &QCoreApplication::quit,
            Qt::QueuedConnection);
}

MainWindow::~MainWindow() = default;

void MainWindow::setUpSearch()
{
    SearchController::Controls search;
    search.searchBox = control<QLineEdit>(this, QStringLiteral("Text1"));
    search.searchButton = control<QPushButton>(this, QStringLiteral("Command7"));
    search.toggleButton = control<QPushButton>(this, QStringLiteral("Command1"));
    search.results = control<QListWidget>(this, QStringLiteral("List3"));
    search.busyPicture = control<WindowlessPicture>(this, QStringLiteral("Image9"));
    search.poll = control<QTimer>(this, QStringLiteral("Timer2"));
    m_search = new SearchController(search, this);
    connect(m_search, &SearchController::picked, this, [this](const QString &path) {
        m_view->setPath(path);
        m_history->restart(path);
    });
    connect(m_search, &SearchController::finished, this, [this] {
        m_view->setViewMode(ViewMode::List);
        setViewWidthTwips(kNarrowViewTwips);
    });
    connect(m_search, &SearchController::resultsToggled, this,
            [this](bool shown) { setViewWidthTwips(shown ? kNarrowViewTwips : kWideViewTwips); });
    connect(m_search, &SearchController::problem, this,
            [this](const QString &message) { showProblem(message); });
    connect(m_search, &SearchController::foldersSkipped, this, [this](const QStringList &folders) {
        showProblem(tr("搜索已完成，但有 %n 个文件夹未能搜索，结果中没有它们里面的影片。", "",
                       int(folders.size())),
                    folders.join(QLatin1Char('\n')));
    });
}

void MainWindow::setViewWidthTwips(int twips)
{
    m_view->resize(twipsToPixels(twips), m_view->height());
}

bool MainWindow::load(const QString &categoryFileName, QString *error)
{
    m_view->setViewMode(ViewMode::LargeIcons);
    for (int i = 1; i <= kCategoryCount; ++i)
        control<WindowlessLabel>(this, QStringLiteral("Label%1").arg(i))->setTransparent(true);
    placeBorderBands();

    const CategoryLoad loaded = loadCategoryFile(categoryFileName);
    if (!loaded.ok) {
        if (error)
            *error = loaded.error;
        return false;
    }
    m_categories->apply(loaded.file);
    m_search->setCategoryPaths(loaded.file.pathList());
    // A first start meets an empty file: say what it needs rather than show an empty window.
    if (loaded.file.categories.isEmpty()) {
        QList<WindowlessLabel *> buttons;
        for (int i = 1; i <= kCategoryCount; ++i)
            buttons << control<WindowlessLabel>(this, QStringLiteral("Label%1").arg(i));
        auto *notice = new EmptyCatalogueNotice(
            QDir::toNativeSeparators(QFileInfo(categoryFileName).absoluteFilePath()), m_view,
            buttons);
        connect(notice, &EmptyCatalogueNotice::problem, this,
                [this](const QString &message) { showProblem(message); });
    }
    // First in the focus order: the folder view has the keyboard when the window shows.
    m_view->setFocus();
    return true;
}

void MainWindow::showProblem(const QString &message, const QString &details)
{
    // Not modal: the window, the clock and a running search carry on behind it.
    auto *box = new QMessageBox(QMessageBox::Warning, QStringLiteral("moviecat"), message,
                                QMessageBox::Ok, this);
    if (!details.isEmpty())
        box->setDetailedText(details);
    box->setObjectName(QStringLiteral("problemMessage"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    box->show();
}

FormWindow *createAboutWindow(QWidget *owner)
{
    auto *about = new FormWindow(owner);
    about->setObjectName(QStringLiteral("Form2"));
    about->setWindowTitle(QStringLiteral("moviecat"));
    about->setFixedSize(kForm2Width, kForm2Height);
    about->setPicture(QPixmap(QStringLiteral(":/pictures/about.jpg")));
    buildLayout(about, form2Layout());
    return about;
}

void MainWindow::placeBorderBands()
{
    // Fixed places, 180 twips thick along the four inner edges; the corners stay open.
    struct Band {
        const char16_t *name;
        int height, left, top, width;
    };
    static constexpr Band bands[] = {
        {u"Image3", 10470, 0, 105, 180},
        {u"Image7", 10470, 15000, 105, 180},
        {u"Image6", 180, 105, 0, 14970},
        {u"Image8", 180, 105, 10500, 14970},
    };
    for (const Band &band : bands)
        control<QWidget>(this, QString::fromUtf16(band.name))
            ->setGeometry(twipsRect(band.left, band.top, band.width, band.height));
}

} // namespace moviecat
