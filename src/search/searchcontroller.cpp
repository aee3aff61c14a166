#include "search/searchcontroller.h"

#include "search/batchfile.h"
#include "search/offlineresults.h"
#include "search/resultrows.h"
#include "search/scratchfolder.h"
#include "search/searchindex.h"
#include "ui/filenames.h"
#include "ui/windowless.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>
#include <cstdio>

namespace moviecat {

namespace {

// More than any real run writes; a flood beyond it is not kept.
constexpr qsizetype kMaxHelperErrors = 16 * 1024 * 1024;

// How long the walk waits at most for the index's answer to be shown.
constexpr int kIndexHeadStartMs = 250;

// A helper killed at the window's end that has not gone yet: one stuck in the kernel on
// an unreachable share cannot be reaped until the share answers, and one at idle priority
// may take a while to get the processor to die on a busy machine. Deleting its QProcess
// would wait up to 30 s for it; it is kept here instead, and deleted once it has gone.
void keepUntilGone(QProcess *helper)
{
    static auto *const kept = new QList<QPointer<QProcess>>;
    helper->setParent(nullptr);
    QObject::connect(helper, &QProcess::finished, helper, &QObject::deleteLater);
    kept->removeAll(nullptr);
    kept->append(helper);
}

} // namespace

SearchController::SearchController(const Controls &controls, QObject *parent)
    : QObject(parent), m_controls(controls), m_index(new SearchIndex(this)),
      m_rows(new ResultRows(controls.results, this))
{
    // The paths' own bytes stay for a pick. A line only the index vouches for is greyed
    // and says since when; one whose name is not in the system's encoding says so.
    m_rows->setDecorate([this](QListWidgetItem *item, int row) {
        const QString &path = m_rows->paths().at(row);
        QStringList notes;
        const auto offline = m_offline.constFind(path);
        if (offline != m_offline.cend()) {
            notes << tr("离线，最后见于 %1").arg(SearchIndex::shownTime(*offline));
            item->setForeground(
                m_controls.results->palette().color(QPalette::Disabled, QPalette::Text));
        }
        if (const QString note = FileNames::encodingNote(path); !note.isEmpty())
            notes << note;
        if (notes.isEmpty())
            return;
        const QString note = notes.join(tr("；"));
        item->setToolTip(note);
        item->setData(Qt::AccessibleDescriptionRole, note);
    });
    connect(m_index, &SearchIndex::refreshed, this, &SearchController::indexInBackground);
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
        if (!m_pressOnResults && !m_restoring)
            pick(row);
    });
    if (m_controls.indexStatus) {
        m_controls.indexStatus->hide();
        m_controls.indexStatus->setAccessibleName(tr("搜索结果来源"));
    }
}

SearchController::~SearchController()
{
    // The helpers of earlier searches that have not gone yet are children too.
    const QList<QProcess *> helpers = findChildren<QProcess *>(Qt::FindDirectChildrenOnly);
    for (QProcess *helper : helpers) {
        helper->disconnect(this);
        if (helper->state() != QProcess::NotRunning)
            helper->kill();
    }
    // Killed, they go at once, or are let go.
    const QDeadlineTimer deadline(250);
    for (QProcess *helper : helpers) {
        if (helper->state() != QProcess::NotRunning &&
            !helper->waitForFinished(int(deadline.remainingTime())))
            keepUntilGone(helper);
    }
}

void SearchController::setCategoryPaths(const QStringList &paths)
{
    m_categoryPaths = paths;
    m_index->refresh(m_categoryPaths);
}

bool SearchController::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_controls.searchBox && event->type() == QEvent::MouseButtonPress) {
        // The first press clears the prompt; later presses leave the text alone.
        if (!m_promptCleared)
            m_controls.searchBox->setText(QString());
        m_promptCleared = true;
    } else if (watched == m_controls.results->viewport()) {
        filterResultsMouse(event);
    }
    return QObject::eventFilter(watched, event);
}

void SearchController::filterResultsMouse(QEvent *event)
{
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
        const bool clickFollows =
            mouse->button() == Qt::LeftButton && releasedRow >= 0 && releasedRow == m_pressedRow;
        if (!clickFollows && results->currentRow() != m_rowBeforePress)
            pick(results->currentRow());
    }
}

QString SearchController::scratchPath() const
{
    return m_scratch && m_scratch->isValid() ? m_scratch->path() : QString();
}

qint64 SearchController::helperProcessId() const
{
    // Not while it is still starting: until then the process is not the helper yet.
    return m_helper && m_helper->state() == QProcess::Running ? m_helper->processId() : 0;
}

qint64 SearchController::indexerProcessId() const
{
    return m_indexer ? m_indexer->processId() : 0;
}

QString SearchController::batchFile() const
{
    return m_scratch ? m_scratch->batchFile(m_search) : QString();
}

QString SearchController::resultFile() const
{
    return m_scratch ? m_scratch->resultFile(m_search) : QString();
}

void SearchController::launch()
{
    const QString text = m_controls.searchBox->text();
    if (const std::optional<QString> refusal = SearchBatch::refusal(text)) {
        emit problem(*refusal);
        return;
    }
    // A new search never waits for the one under way: its walk is abandoned. The helper
    // of one that has ended may still be on its way out, and its end, arriving before
    // the new helper has started, must not be taken for the new search's.
    abandonHelper();
    if (!prepareScratch())
        return;

    ++m_search;
    m_busy = true;
    m_instantShown = false;
    m_controls.toggleButton->hide();
    m_controls.busyPicture->show();
    m_helperStarted = false;
    m_rows->clear();
    m_offline.clear();
    m_answer = {};
    setIndexStatus(QString());

    QStringList leftOut;
    if (!writeBatch(text, &leftOut))
        return;
    // The index answers first: the walk keeps both cores busy, so it starts once the
    // answer is in the list and painted, or after a moment where the index is slow.
    const int search = m_search;
    m_index->query(m_categoryPaths, text, [this, search](const SearchIndex::Answer &answer) {
        if (search != m_search)
            return;
        // Kept for the walk's end: it stands in for the folders the walk has to give up.
        m_answer = answer;
        if (answer.any)
            showInstant(search, answer.paths, answer.walked);
        QTimer::singleShot(0, this, [this, search] { startHelper(search); });
    });
    QTimer::singleShot(kIndexHeadStartMs, this, [this, search] { startHelper(search); });
    if (!leftOut.isEmpty())
        emit problem(tr("以下分类文件夹未列入本次搜索：\n%1").arg(leftOut.join(QLatin1Char('\n'))));
}

// Without a place to tell, a failure is said through problem().
bool SearchController::prepareScratch(QString *why)
{
    // A temporary-files cleaner may have swept the idle folder away; every later search
    // would fail to create its files in it.
    if (m_scratch && !QFileInfo::exists(m_scratch->path()))
        m_scratch.reset();
    if (!m_scratch)
        m_scratch = std::make_unique<ScratchFolder>();
    if (m_scratch->isValid())
        return true;
    const QString error = m_scratch->errorString();
    m_scratch.reset();
    if (why)
        *why = error;
    else
        emit problem(tr("无法建立存放搜索文件的文件夹：%1").arg(error));
    return false;
}

// An empty result file, then the batch over every category that can be searched.
bool SearchController::writeBatch(const QString &text, QStringList *leftOut)
{
    QFile result(m_scratch->resultFile(m_search));
    if (!result.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        abandonLaunch(tr("无法创建 %1：%2").arg(result.fileName(), result.errorString()));
        return false;
    }
    result.close();

    QStringList paths;
    for (const QString &path : m_categoryPaths.mid(0, SearchBatch::maxCategories)) {
        if (const std::optional<QString> why = SearchBatch::pathRefusal(path))
            *leftOut << *why;
        else
            paths << path;
    }
    QFile batch(m_scratch->batchFile(m_search));
    const QByteArray bytes = SearchBatch::compose(paths, text, m_scratch->resultFile(m_search),
                                                  m_scratch->batchFile(m_search));
    if (!batch.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        batch.write(bytes) != bytes.size() || !batch.flush()) {
        const QString why = batch.errorString();
        batch.close();
        batch.remove();
        abandonLaunch(tr("无法写入 %1：%2").arg(batch.fileName(), why));
        return false;
    }
    batch.close();
    return true;
}

void SearchController::startHelper(int search)
{
    if (search != m_search || !m_busy || m_helperStarted)
        return;
    m_helperStarted = true;
    if (m_helper)
        letGo(m_helper);
    m_helperErrors.clear();
    m_helper = new QProcess(this);
    m_helper->setProgram(CommandInterpreter::program());
    m_helper->setArguments(CommandInterpreter::arguments(m_scratch->batchFile(m_search)));
    m_helper->setStandardOutputFile(QProcess::nullDevice());
    m_helper->setStandardInputFile(QProcess::nullDevice());
    // Its complaints say which folders it left out; they still reach our own stderr.
    connect(m_helper, &QProcess::readyReadStandardError, this, &SearchController::takeHelperErrors);
    // Done the moment it ends; the poll stays for a helper that cannot end.
    connect(m_helper, &QProcess::finished, this, &SearchController::poll);
    connect(m_helper, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            poll();
    });
    m_helper->start();
    m_controls.poll->start();
}

// The last search's helper may still be on its way out after deleting its batch, or held
// for good by a call on a dead share, which not even a kill ends. Deleting a running
// QProcess would kill it and wait for it here, on the GUI thread, and its end would be
// taken for the new search's; so it is killed, no longer listened to, and deleted once
// it has gone.
void SearchController::letGo(QProcess *helper)
{
    helper->disconnect(this);
    if (helper->state() == QProcess::NotRunning) {
        delete helper;
        return;
    }
    connect(helper, &QProcess::finished, helper, &QObject::deleteLater);
    helper->kill();
}

void SearchController::takeHelperErrors()
{
    if (!m_helper)
        return;
    const QByteArray bytes = m_helper->readAllStandardError();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
    if (m_helperErrors.size() < kMaxHelperErrors)
        m_helperErrors += bytes;
}

void SearchController::abandonLaunch(const QString &message)
{
    m_controls.busyPicture->hide();
    m_controls.toggleButton->show();
    m_busy = false;
    emit problem(message);
}

void SearchController::poll()
{
    if (!m_busy)
        return;
    if (QFile::exists(m_scratch->batchFile(m_search))) {
        // The batch deletes itself as its last act; a helper that is gone while the file
        // is still there will never signal, so the search ends with what it wrote.
        if (m_helper && m_helper->state() == QProcess::NotRunning) {
            takeHelperErrors();
            QString why;
            if (m_helper->error() == QProcess::FailedToStart)
                why =
                    tr("无法启动搜索程序 %1：%2").arg(m_helper->program(), m_helper->errorString());
            else if (const std::optional<QString> detail =
                         SearchBatch::resultsUnwritten(m_helperErrors))
                why = tr("搜索结果未能全部写入（%1）；列表中是已写入的结果。").arg(*detail);
            else
                why = tr("搜索程序未完成便已停止；列表中是它已找到的结果。");
            QFile::remove(m_scratch->batchFile(m_search));
            finish(why);
        }
        return;
    }
    finish();
}

void SearchController::finish(const QString &problemText)
{
    m_controls.poll->stop();
    // A helper left stuck on a dead share has written all it will write; take what is
    // still in the pipe without waiting.
    if (m_helper && m_helper->state() == QProcess::Running) {
        m_helper->setReadChannel(QProcess::StandardError);
        m_helper->waitForReadyRead(0);
    }
    takeHelperErrors();
    QString message = problemText;
    QStringList lines;
    QFile result(m_scratch->resultFile(m_search));
    if (result.open(QIODevice::ReadOnly)) {
        const QByteArray bytes = result.readAll();
        result.close();
        lines = SearchBatch::resultLines(bytes);
    } else if (message.isEmpty()) {
        message = tr("无法读取搜索结果（%1）：%2").arg(result.fileName(), result.errorString());
    }
    // The walk's answer is the one that stands, whatever the index said; only below the
    // folders it had to give up does the index still speak, marked as such.
    const QList<SkippedFolder> skipped = SearchBatch::skippedFolders(m_helperErrors);
    m_helperErrors.clear();
    QStringList givenUp;
    for (const SkippedFolder &folder : skipped) {
        if (folder.reason == SkipReason::NotAnswering)
            givenUp << folder.path;
    }
    const OfflineResults::Rows rows = OfflineResults::merge(lines, m_answer, givenUp);
    replaceResults(rows.paths, rows.offline);
    QFile::remove(m_scratch->resultFile(m_search));
    if (!rows.offline.isEmpty())
        setIndexStatus(tr("%n 个结果离线，取自 %1 的索引；其余已核对", "", int(rows.offline.size()))
                           .arg(SearchIndex::shownTime(rows.oldest)));
    else
        setIndexStatus(m_instantShown ? tr("已核对") : QString());
    // The walk has written the indexes anew.
    m_index->refresh(m_categoryPaths);

    m_controls.results->show();
    m_controls.toggleButton->show();
    m_controls.busyPicture->hide();
    m_busy = false;
    emit finished(lines);
    if (!message.isEmpty())
        emit problem(message);
    reportSkipped(skipped);
}

void SearchController::showInstant(int search, const QStringList &paths, const QDateTime &walked)
{
    // Too late: a newer search has begun, or the walk has answered already.
    if (search != m_search || !m_busy)
        return;
    m_instantShown = true;
    replaceResults(paths);
    m_controls.results->show();
    setIndexStatus(tr("索引结果（%1），正在核对…").arg(SearchIndex::shownTime(walked)));
    emit instantResults(paths);
}

// The list becomes these paths; the line that was current and the line at the top stay
// where the same paths still are.
void SearchController::replaceResults(const QStringList &paths,
                                      const QHash<QString, QDateTime> &offline)
{
    if (paths == m_rows->paths() && offline == m_offline)
        return;
    QListWidget *results = m_controls.results;
    const QString currentPath = m_rows->paths().value(results->currentRow());
    const QListWidgetItem *top = results->itemAt(0, 0);
    const QString topPath = top ? m_rows->paths().value(results->row(top)) : QString();

    m_restoring = true;
    m_offline = offline;
    m_rows->show(paths);
    // Marks "no current row" as chosen, so that keyboard focus arriving in the list
    // does not make the first line current, which would pick it unasked.
    results->setCurrentIndex(QModelIndex());
    if (!currentPath.isEmpty()) {
        if (const int row = int(paths.indexOf(currentPath)); row >= 0) {
            m_rows->loadThrough(row);
            results->setCurrentRow(row);
        }
    }
    if (!topPath.isEmpty()) {
        if (const int row = int(paths.indexOf(topPath)); row >= 0) {
            // The screen below it too, so that no blank shows before the next slice.
            m_rows->loadThrough(row + ResultRows::firstRows);
            results->scrollToItem(results->item(row), QAbstractItemView::PositionAtTop);
        }
    }
    m_restoring = false;
}

void SearchController::setIndexStatus(const QString &text)
{
    m_controls.results->setAccessibleDescription(text);
    if (!m_controls.indexStatus)
        return;
    m_controls.indexStatus->setText(text);
    m_controls.indexStatus->setAccessibleDescription(text);
    m_controls.indexStatus->setVisible(!text.isEmpty());
}

// The helper of the search under way is let go without waiting; it has its own scratch
// files, so whatever it still writes goes nowhere near the next search.
void SearchController::abandonHelper()
{
    m_controls.poll->stop();
    if (m_helper) {
        letGo(m_helper);
        m_helper = nullptr;
    }
    if (m_scratch) {
        QFile::remove(m_scratch->batchFile(m_search));
        QFile::remove(m_scratch->resultFile(m_search));
    }
    m_helperErrors.clear();
    m_busy = false;
}

// Roots without an index are walked once by the helper at idle priority, which writes
// their indexes; searches meanwhile run as ever.
void SearchController::indexInBackground(const QStringList &roots)
{
#ifdef Q_OS_WIN
    Q_UNUSED(roots);
#else
    QStringList todo;
    for (const QString &root : roots) {
        if (!m_indexingTried.contains(root))
            todo << root;
    }
    if (todo.isEmpty() || m_indexer)
        return;
    m_indexingTried << todo;
    // Beside the searches' files under a name of its own; without a folder the roots
    // simply stay unindexed until a search walks them.
    QString why;
    if (!prepareScratch(&why))
        return;
    const QString batchFile = m_scratch->indexBatchFile();
    QFile batch(batchFile);
    const QByteArray bytes =
        SearchBatch::compose(todo, QString(), QStringLiteral("NUL"), batchFile);
    if (!batch.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        batch.write(bytes) != bytes.size() || !batch.flush())
        return;
    batch.close();
    m_indexer = new QProcess(this);
    m_indexer->setProgram(CommandInterpreter::program());
    m_indexer->setArguments(QStringList{QStringLiteral("--idle")} +
                            CommandInterpreter::arguments(batchFile));
    m_indexer->setStandardOutputFile(QProcess::nullDevice());
    m_indexer->setStandardInputFile(QProcess::nullDevice());
    // Its complaints are the next search's to tell.
    m_indexer->setStandardErrorFile(QProcess::nullDevice());
    connect(m_indexer, &QProcess::finished, this, [this] {
        m_indexer->deleteLater();
        m_indexer = nullptr;
        m_index->refresh(m_categoryPaths);
    });
    connect(m_indexer, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) {
            m_indexer->deleteLater();
            m_indexer = nullptr;
        }
    });
    m_indexer->start();
#endif
}

void SearchController::reportSkipped(const QList<SkippedFolder> &skipped)
{
    QStringList folders;
    QDateTime oldestIndex;
    for (const SkippedFolder &folder : skipped) {
        QString why;
        switch (folder.reason) {
        case SkipReason::Unreadable:
            why = tr("无法读取");
            break;
        case SkipReason::NotAnswering:
            why = tr("没有响应");
            break;
        case SkipReason::NameNotWritable:
            why = tr("名称无法写入结果");
            break;
        case SkipReason::LinkNotFollowed:
            why = tr("链接无法跟随");
            break;
        }
        if (!folder.detail.isEmpty())
            why = tr("%1：%2").arg(why, folder.detail);
        if (folder.reason == SkipReason::NotAnswering) {
            if (const QDateTime indexed = OfflineResults::indexedAt(folder.path, m_answer);
                indexed.isValid()) {
                why = tr("%1；结果取自 %2 的索引").arg(why, SearchIndex::shownTime(indexed));
                if (!oldestIndex.isValid() || indexed < oldestIndex)
                    oldestIndex = indexed;
            }
        }
        folders << tr("%1（%2）").arg(FileNames::readable(folder.path), why);
    }
    if (!folders.isEmpty())
        emit foldersSkipped(folders, oldestIndex);
}

void SearchController::pick(int row)
{
    QListWidget *results = m_controls.results;
    if (row < 0 || row >= results->count())
        return;
    emit picked(m_rows->paths().value(row));
}

void SearchController::toggleResults()
{
    // Follows the list's visibility, never the caption.
    const bool show = m_controls.results->isHidden();
    m_controls.toggleButton->setText(show ? QStringLiteral("隐藏搜索列表")
                                          : QStringLiteral("显示搜索列表"));
    m_controls.results->setVisible(show);
    emit resultsToggled(show);
}

} // namespace moviecat
