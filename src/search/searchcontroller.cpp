#include "search/searchcontroller.h"

#include "folderview/folderview.h"
#include "folderview/navigationhistory.h"
#include "search/batchfile.h"
#include "search/scratchfolder.h"
#include "ui/twips.h"
#include "ui/windowless.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>

namespace moviecat {

namespace {

constexpr int kNarrowViewTwips = 7080;
constexpr int kWideViewTwips = 12720;

bool flagSet(const QLineEdit *flag)
{
    return flag->text().toInt() != 0;
}

} // namespace

SearchController::SearchController(const Controls &controls, QObject *parent)
    : QObject(parent), m_controls(controls)
{
    m_controls.searchBox->installEventFilter(this);
    m_controls.results->viewport()->installEventFilter(this);
    m_controls.results->setUniformItemSizes(true); // a hundred thousand lines load at once
    connect(m_controls.searchButton, &QPushButton::clicked, this, &SearchController::launch);
    connect(m_controls.poll, &QTimer::timeout, this, &SearchController::poll);
    connect(m_controls.toggleButton, &QPushButton::clicked, this, &SearchController::toggleResults);
    // A pick is a mouse click on a line, or the selection moved by the keys.
    connect(m_controls.results, &QListWidget::itemClicked, this,
            [this](QListWidgetItem *item) { pick(m_controls.results->row(item)); });
    connect(m_controls.results, &QListWidget::currentRowChanged, this, [this](int row) {
        if (!m_pressOnResults)
            pick(row);
    });
}

SearchController::~SearchController()
{
    if (m_helper && m_helper->state() != QProcess::NotRunning) {
        m_helper->kill();
        if (!m_helper->waitForFinished(2000)) {
            // Stuck in the kernel on an unreachable share, it cannot be reaped yet; deleting
            // the QProcess would hold up the exit for another 30 s, so let it go instead.
            m_helper->setParent(nullptr);
            m_helper = nullptr;
            return;
        }
    }
    delete m_helper;
}

bool SearchController::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_controls.searchBox && event->type() == QEvent::MouseButtonPress) {
        // The first press clears the prompt; later presses leave the text alone.
        if (!flagSet(m_controls.promptFlag))
            m_controls.searchBox->setText(QString());
        m_controls.promptFlag->setText(QStringLiteral("1"));
    } else if (watched == m_controls.results->viewport()) {
        QListWidget *results = m_controls.results;
        if (event->type() == QEvent::MouseButtonPress) {
            m_pressOnResults = true;
            m_rowBeforePress = results->currentRow();
            m_pressedRow =
                results->indexAt(static_cast<QMouseEvent *>(event)->position().toPoint()).row();
        } else if (event->type() == QEvent::MouseButtonRelease) {
            m_pressOnResults = false; // the row changed at the press; the click picks it
            // A press dragged to another line (or off the lines) gives no click, yet the
            // highlight has moved: pick the line it now shows.
            const auto *mouse = static_cast<QMouseEvent *>(event);
            const int releasedRow = results->indexAt(mouse->position().toPoint()).row();
            const bool clickFollows = mouse->button() == Qt::LeftButton && releasedRow >= 0 &&
                                      releasedRow == m_pressedRow;
            if (!clickFollows && results->currentRow() != m_rowBeforePress)
                pick(results->currentRow());
        }
    }
    return QObject::eventFilter(watched, event);
}

bool SearchController::isBusy() const
{
    return flagSet(m_controls.busyFlag);
}

QString SearchController::scratchPath() const
{
    return m_scratch && m_scratch->isValid() ? m_scratch->path() : QString();
}

qint64 SearchController::helperProcessId() const
{
    return m_helper ? m_helper->processId() : 0;
}

void SearchController::launch()
{
    if (isBusy())
        return;
    const QString text = m_controls.searchBox->text();
    if (const std::optional<QString> refusal = SearchBatch::refusal(text)) {
        emit problem(*refusal);
        return;
    }
    // A temporary-files cleaner may have swept the idle folder away; every later search
    // would fail to create its files in it.
    if (m_scratch && !QFileInfo::exists(m_scratch->path()))
        m_scratch.reset();
    if (!m_scratch)
        m_scratch = std::make_unique<ScratchFolder>();
    if (!m_scratch->isValid()) {
        const QString why = m_scratch->errorString();
        m_scratch.reset();
        emit problem(tr("Cannot make a folder for the search files: %1").arg(why));
        return;
    }

    m_controls.busyFlag->setText(QStringLiteral("1"));
    m_controls.toggleButton->hide();
    m_controls.busyPicture->show();
    m_controls.results->clear();

    QFile result(m_scratch->resultFile());
    if (!result.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        abandonLaunch(tr("Cannot create %1: %2").arg(result.fileName(), result.errorString()));
        return;
    }
    result.close();

    QStringList paths;
    QStringList leftOut;
    QListWidget *pathList = m_controls.pathList;
    for (int i = 0; i < pathList->count() && i < SearchBatch::maxCategories; ++i) {
        pathList->setCurrentRow(i);
        const QString path = pathList->currentItem()->text();
        if (const std::optional<QString> why = SearchBatch::pathRefusal(path))
            leftOut << *why;
        else
            paths << path;
    }
    QFile batch(m_scratch->batchFile());
    const QByteArray bytes =
        SearchBatch::compose(paths, text, m_scratch->resultFile(), m_scratch->batchFile());
    if (!batch.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        batch.write(bytes) != bytes.size() || !batch.flush()) {
        const QString why = batch.errorString();
        batch.close();
        batch.remove();
        abandonLaunch(tr("Cannot write %1: %2").arg(batch.fileName(), why));
        return;
    }
    batch.close();

    delete m_helper;
    m_helper = new QProcess(this);
    m_helper->setProgram(CommandInterpreter::program());
    m_helper->setArguments(CommandInterpreter::arguments(m_scratch->batchFile()));
    m_helper->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_helper->setStandardOutputFile(QProcess::nullDevice());
    m_helper->setStandardInputFile(QProcess::nullDevice());
    m_helper->start();
    m_controls.poll->start();
    if (!leftOut.isEmpty())
        emit problem(tr("Some category folders are left out of this search:\n%1")
                         .arg(leftOut.join(QLatin1Char('\n'))));
}

void SearchController::abandonLaunch(const QString &message)
{
    m_controls.busyPicture->hide();
    m_controls.toggleButton->show();
    m_controls.busyFlag->setText(QStringLiteral("0"));
    emit problem(message);
}

void SearchController::poll()
{
    if (QFile::exists(m_scratch->batchFile())) {
        // The batch deletes itself as its last act; a helper that is gone while the file
        // is still there will never signal, so the search ends with what it wrote.
        if (m_helper && m_helper->state() == QProcess::NotRunning) {
            const QString why = m_helper->error() == QProcess::FailedToStart
                                    ? tr("The search helper %1 could not be started: %2")
                                          .arg(m_helper->program(), m_helper->errorString())
                                    : tr("The search helper stopped before it finished; the "
                                         "list shows what it had found.");
            QFile::remove(m_scratch->batchFile());
            finish(why);
        }
        return;
    }
    finish();
}

void SearchController::finish(const QString &problemText)
{
    m_controls.poll->stop();
    QString message = problemText;
    QFile result(m_scratch->resultFile());
    if (result.open(QIODevice::ReadOnly)) {
        const QByteArray bytes = result.readAll();
        result.close();
        m_controls.results->addItems(SearchBatch::resultLines(bytes));
        // Marks "no current row" as chosen, so that keyboard focus arriving in the list
        // does not make the first line current, which would pick it unasked.
        m_controls.results->setCurrentIndex(QModelIndex());
    } else if (message.isEmpty()) {
        message = tr("The search results could not be read (%1): %2")
                      .arg(result.fileName(), result.errorString());
    }
    QFile::remove(m_scratch->resultFile());

    m_controls.results->show();
    m_controls.view->setViewMode(ViewMode::List);
    setViewWidthTwips(kNarrowViewTwips);
    m_controls.toggleButton->show();
    m_controls.busyPicture->hide();
    m_controls.busyFlag->setText(QStringLiteral("0"));
    if (!message.isEmpty())
        emit problem(message);
}

void SearchController::pick(int row)
{
    QListWidget *results = m_controls.results;
    if (row < 0 || row >= results->count())
        return;
    m_controls.view->setPath(results->item(row)->text());
    m_controls.history->restart(results->item(row)->text());
}

void SearchController::toggleResults()
{
    // Follows the list's visibility, never the caption.
    if (m_controls.results->isHidden()) {
        m_controls.toggleButton->setText(QStringLiteral("隐藏搜索列表"));
        m_controls.results->show();
        setViewWidthTwips(kNarrowViewTwips);
    } else {
        m_controls.toggleButton->setText(QStringLiteral("显示搜索列表"));
        m_controls.results->hide();
        setViewWidthTwips(kWideViewTwips);
    }
}

void SearchController::setViewWidthTwips(int twips)
{
    m_controls.view->resize(twipsToPixels(twips), m_controls.view->height());
}

} // namespace moviecat
