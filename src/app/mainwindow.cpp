#include "app/mainwindow.h"

#include "app/controlroles.h"
#include "app/emptycataloguenotice.h"
#include "app/layouts.h"
#include "app/navigationhistory.h"
#include "app/viewmodebuttons.h"
#include "catalog/categorybuttons.h"
#include "catalog/categoryfile.h"
#include "folderview/folderview.h"
#include "search/searchcontroller.h"
#include "search/searchindex.h"
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
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

namespace moviecat {

namespace {

// The folder view's width beside the search results, and without them.
constexpr int kNarrowViewTwips = 7080;
constexpr int kIndexStatusTwips = 300;
constexpr int kWideViewTwips = 12720;

// Only a scroll area may set its viewport's margins; naming the member through a class
// of our own makes it callable on the results list.
struct ViewportMargins : QAbstractScrollArea {
    using QAbstractScrollArea::setViewportMargins;
};

// The line that says where the results come from, along the lower edge of the results
// list. It is the list's sibling, so that a screen reader finds it, and follows the list:
// shown only with it, and while it shows, the list's lines give up that strip (above a
// horizontal scroll bar, if any), so it hides none of them.
class ResultsSourceLine : public QLabel {
public:
    ResultsSourceLine(QListView *results, int height)
        : QLabel(results->parentWidget()), m_results(results)
    {
        resize(results->width(), height);
        results->installEventFilter(this);
        results->viewport()->installEventFilter(this);
    }

    void setVisible(bool visible) override
    {
        m_wanted = visible;
        QLabel::setVisible(visible && !m_results->isHidden());
    }

protected:
    void showEvent(QShowEvent *event) override
    {
        QLabel::showEvent(event);
        reserveStrip(height());
    }
    void hideEvent(QHideEvent *event) override
    {
        QLabel::hideEvent(event);
        reserveStrip(0);
    }
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        switch (event->type()) {
        case QEvent::Show:
        case QEvent::Hide:
            if (watched == m_results)
                QLabel::setVisible(m_wanted && !m_results->isHidden());
            break;
        case QEvent::Move:
        case QEvent::Resize:
            followViewport();
            break;
        default:
            break;
        }
        return QLabel::eventFilter(watched, event);
    }

private:
    void reserveStrip(int strip)
    {
        constexpr auto setMargins = static_cast<void (QAbstractScrollArea::*)(int, int, int, int)>(
            &ViewportMargins::setViewportMargins);
        (m_results->*setMargins)(0, 0, 0, strip);
        followViewport();
    }
    void followViewport()
    {
        const QWidget *lines = m_results->viewport();
        const QPoint below = lines->mapTo(parentWidget(), QPoint(0, lines->height()));
        setGeometry(below.x(), below.y(), lines->width(), height());
        raise();
    }

    QListView *m_results;
    bool m_wanted = false;
};

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
    setObjectName(role::mainForm());
    setWindowTitle(QStringLiteral("moviecat"));
    setFixedSize(kForm1Width, kForm1Height);
    setBackColor(ole::kPaleBlue);

    LayoutFactories factories;
    factories.folderView = [](QWidget *parent) {
        return new FolderView(parent);
    };
    buildLayout(this, form1Layout(), factories);

    createBrowsing();
    createCategories();
    createSearch();
    createStatusLine();
    createChrome();
    wireFeatures();
    describeForAccessibility();
}

void MainWindow::wireFeatures()
{
    // Every folder the view shows comes through the history: a category or a picked
    // result starts it over, an opened entry adds to it, Back takes one off.
    connect(m_categories, &CategoryButtons::categoryChosen, this, &MainWindow::showCategory);
    connect(m_search, &SearchController::picked, m_history, &NavigationHistory::restart);
    connect(m_view, &FolderView::itemOpened, this, &MainWindow::enterOpenedFolder);
    connect(control<QPushButton>(this, role::backButton()), &QPushButton::clicked, m_history,
            &NavigationHistory::back);
    connect(m_view, &FolderView::backRequested, m_history, &NavigationHistory::back);
    connect(m_history, &NavigationHistory::currentChanged, m_view, &FolderView::setPath);
    connect(m_history, &NavigationHistory::currentChanged, m_status, &StatusLine::setCurrentPath);

    // The results list narrows the view beside it.
    connect(m_search, &SearchController::finished, this, &MainWindow::showResultsBesideView);
    connect(m_search, &SearchController::instantResults, this, &MainWindow::showResultsBesideView);
    connect(m_search, &SearchController::resultsToggled, this, &MainWindow::fitViewToResults);

    connect(m_view, &FolderView::problem, this, &MainWindow::showProblem);
    connect(m_search, &SearchController::problem, this, &MainWindow::showProblem);
    connect(m_search, &SearchController::foldersSkipped, this, &MainWindow::showSkippedFolders);
    // Any button, as soon as it goes down; the search helper is stopped and the scratch
    // folder removed as the window goes away.
    connect(control<WindowlessLabel>(this, role::exitLabel()), &WindowlessLabel::mousePressed, qApp,
            &QCoreApplication::quit, Qt::QueuedConnection);
}

void MainWindow::createBrowsing()
{
    m_view = control<FolderView>(this, role::folderView());
    m_history = new NavigationHistory(this);
    std::array<QAbstractButton *, role::viewModeButtonCount> modes{};
    for (int i = 0; i < role::viewModeButtonCount; ++i)
        modes[size_t(i)] = control<QPushButton>(this, role::viewModeButton(i));
    connectViewModeButtons(modes, m_view);
}

void MainWindow::createCategories()
{
    m_categories = new CategoryButtons(categoryButtons(), this);
}

QLabel *MainWindow::createIndexStatus(QListView *results)
{
    auto *status = new ResultsSourceLine(results, twipsToPixels(kIndexStatusTwips));
    status->setObjectName(QStringLiteral("IndexStatus"));
    status->setAutoFillBackground(true);
    status->setBackgroundRole(QPalette::ToolTipBase);
    status->setForegroundRole(QPalette::ToolTipText);
    status->setIndent(4);
    return status;
}

void MainWindow::createSearch()
{
    SearchController::Controls search;
    search.searchBox = control<QLineEdit>(this, role::searchBox());
    search.searchButton = control<QPushButton>(this, role::searchButton());
    search.toggleButton = control<QPushButton>(this, role::resultsToggle());
    search.results = control<QListView>(this, role::resultsList());
    search.busyPicture = control<WindowlessPicture>(this, role::searchBusyPicture());
    search.poll = control<QTimer>(this, role::searchPollTimer());
    search.indexStatus = createIndexStatus(search.results);
    m_search = new SearchController(search, this);
}

void MainWindow::createStatusLine()
{
    m_status = new StatusLine({control<QTimer>(this, role::clockTimer()),
                               control<WindowlessLabel>(this, role::clockLabel()),
                               control<WindowlessLabel>(this, role::pathLabel())},
                              Clock{}, this);
}

// Hover highlighting, the label buttons and the about window.
void MainWindow::createChrome()
{
    const CategoryButtons::Buttons buttons = categoryButtons();
    auto *exitLabel = control<WindowlessLabel>(this, role::exitLabel());
    auto *rightsLabel = control<WindowlessLabel>(this, role::rightsLabel());
    HoverHighlight::Controls hover;
    hover.form = this;
    hover.categoryButtons = {buttons.begin(), buttons.end()};
    hover.topButtons = {exitLabel, rightsLabel};
    hover.topPicture = control<WindowlessPicture>(this, role::topPicture());
    new HoverHighlight(hover, this);
    for (WindowlessLabel *label : hover.categoryButtons + hover.topButtons)
        label->setActsAsButton(true);
    m_about = new AboutBox(
        rightsLabel, this, [this] { return createAboutWindow(this); }, this);
}

CategoryButtons::Buttons MainWindow::categoryButtons() const
{
    CategoryButtons::Buttons buttons;
    for (int i = 0; i < kCategoryCount; ++i)
        buttons[size_t(i)] = control<WindowlessLabel>(this, role::categoryButton(i));
    return buttons;
}

// What a screen reader (or the end-to-end client) needs to find its way: names for the
// windowed controls that have no caption of their own, and a description naming the role
// of each status label, whose accessible name is the text it shows.
void MainWindow::describeForAccessibility()
{
    control<QLineEdit>(this, role::searchBox())->setAccessibleName(tr("影片名称"));
    control<QListView>(this, role::resultsList())->setAccessibleName(tr("搜索结果"));
    m_view->setAccessibleName(tr("文件夹"));
    control<QWidget>(this, role::clockLabel())->setAccessibleDescription(tr("时钟"));
    control<QWidget>(this, role::categoryLabel())->setAccessibleDescription(tr("当前分类"));
    control<QWidget>(this, role::pathLabel())->setAccessibleDescription(tr("当前路径"));
}

void MainWindow::showCategory(const QString &name, const QString &path)
{
    m_history->restart(path);
    control<WindowlessLabel>(this, role::categoryLabel())->setCaption(name);
}

void MainWindow::enterOpenedFolder(const QString &name)
{
    m_history->enter(childFolder(m_view->path(), name));
}

void MainWindow::showResultsBesideView()
{
    m_view->setViewMode(ViewMode::List);
    fitViewToResults(true);
}

void MainWindow::fitViewToResults(bool resultsShown)
{
    const int twips = resultsShown ? kNarrowViewTwips : kWideViewTwips;
    m_view->resize(twipsToPixels(twips), m_view->height());
}

MainWindow::~MainWindow() = default;

bool MainWindow::load(const QString &categoryFileName, QString *error)
{
    m_view->setViewMode(ViewMode::LargeIcons);
    for (WindowlessLabel *button : categoryButtons())
        button->setTransparent(true);
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
        const CategoryButtons::Buttons buttons = categoryButtons();
        auto *notice = new EmptyCatalogueNotice(
            QDir::toNativeSeparators(QFileInfo(categoryFileName).absoluteFilePath()), m_view,
            {buttons.begin(), buttons.end()});
        connect(notice, &EmptyCatalogueNotice::problem, this, &MainWindow::showProblem);
    }
    // First in the focus order: the folder view has the keyboard when the window shows.
    m_view->setFocus();
    return true;
}

void MainWindow::showProblem(const QString &message)
{
    showMessage(message, {});
}

void MainWindow::showSkippedFolders(const QStringList &folders, const QDateTime &indexedAt)
{
    const int count = int(folders.size());
    const QString message =
        indexedAt.isValid()
            ? tr("搜索已完成，但有 %n 个文件夹未能搜索。没有响应的文件夹里的结果取自 %1 "
                 "的索引，在列表中以灰色标为离线。",
                 "", count)
                  .arg(SearchIndex::shownTime(indexedAt))
            : tr("搜索已完成，但有 %n 个文件夹未能搜索，结果中没有它们里面的影片。", "", count);
    showMessage(message, folders.join(QLatin1Char('\n')));
}

void MainWindow::showMessage(const QString &message, const QString &details)
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
    about->setObjectName(role::aboutForm());
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
