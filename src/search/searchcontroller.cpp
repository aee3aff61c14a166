#include "search/searchcontroller.h"

#include "search/backgroundindexer.h"
#include "search/helperprocess.h"
#include "search/offlineresults.h"
#include "search/resultslist.h"
#include "search/scratchfolder.h"
#include "search/skippedwording.h"
#include "search/stateline.h"
#include "search/typingsearch.h"
#include "search/walkanswer.h"
#include "ui/windowless.h"

#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QTimer>
#include <cstdio>

namespace moviecat {

namespace {

// More than any real run writes; a flood beyond it is not kept.
constexpr qsizetype kMaxHelperErrors = 16 * 1024 * 1024;

// How long the walk waits at most for the index's answer to be shown.
constexpr int kIndexHeadStartMs = 250;

} // namespace

SearchController::SearchController(const Controls &controls, QObject *parent)
    : QObject(parent), m_controls(controls), m_index(new SearchIndex(this)),
      m_list(new ResultsList(controls.results, this)),
      m_state(std::make_unique<SearchStateLine>(controls.results, controls.indexStatus)),
      m_indexer(new BackgroundIndexer([this] { return indexerBatchFile(); }, this)),
      m_typing(new TypingSearch(
          [this](const QString &text, SearchIndex::Abandoned abandoned, TypingSearch::Done done) {
              const SearchWords w = SearchWords::read(text);
              m_index->query(m_categoryPaths, w.pattern(), std::move(done), w.folderFilter(),
                             std::move(abandoned));
          },
          this))
{
    connect(m_index, &SearchIndex::refreshed, m_indexer, &BackgroundIndexer::index);
    connect(m_index, &SearchIndex::checked, m_indexer, &BackgroundIndexer::freshen);
    connect(m_indexer, &BackgroundIndexer::indexed, this,
            [this] { m_index->refresh(m_categoryPaths); });
    connect(m_list, &ResultsList::picked, this, &SearchController::picked);
    m_controls.searchBox->installEventFilter(this);
    connect(m_controls.searchButton, &QPushButton::clicked, this, &SearchController::launch);
    connect(m_controls.searchBox, &QLineEdit::returnPressed, this, &SearchController::launch);
    connect(m_controls.searchBox, &QLineEdit::textChanged, this, &SearchController::typed);
    connect(m_typing, &TypingSearch::answered, this, &SearchController::showTyped);
    connect(m_controls.poll, &QTimer::timeout, this, &SearchController::poll);
    connect(m_controls.toggleButton, &QPushButton::clicked, this, &SearchController::toggleResults);
}

SearchController::~SearchController()
{
    // The helpers of earlier searches that have not gone yet are children too.
    HelperProcess::endAll(findChildren<QProcess *>());
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
    }
    return QObject::eventFilter(watched, event);
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
    return m_indexer->processId();
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
    m_typing->stop();
    if (!prepareScratch())
        return;

    ++m_search;
    m_words = SearchWords::read(text);
    m_busy = true;
    m_instantShown = false;
    m_controls.toggleButton->hide();
    m_controls.busyPicture->show();
    m_helperStarted = false;
    m_walkRead = false;
    m_list->clear();
    m_answer = {};
    m_state->clear();
    m_state->setWordProblems(m_words.problems());

    QStringList leftOut;
    if (const std::optional<QString> why =
            m_scratch->writeSearch(m_search, m_categoryPaths, m_words.pattern(), &leftOut)) {
        abandonLaunch(*why);
        return;
    }
    // The index answers first: the walk keeps both cores busy, so it starts once the
    // answer is in the list and painted, or after a moment where the index is slow.
    const int search = m_search;
    m_index->query(
        m_categoryPaths, m_words.pattern(),
        [this, search](const SearchIndex::Answer &answer) {
            if (search != m_search)
                return;
            // Kept for the walk's end: it stands in for the folders the walk gives up.
            m_answer = answer;
            if (answer.any)
                showInstant(search);
            QTimer::singleShot(0, this, [this, search] { startHelper(search); });
        },
        m_words.folderFilter());
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

// Without a folder the background indexer has no batch, and its roots stay unindexed
// until a search walks them.
QString SearchController::indexerBatchFile()
{
    QString why;
    return prepareScratch(&why) ? m_scratch->indexBatchFile() : QString();
}

void SearchController::startHelper(int search)
{
    if (search != m_search || !m_busy || m_helperStarted)
        return;
    m_helperStarted = true;
    if (m_helper)
        HelperProcess::letGo(m_helper, this);
    m_helperErrors.clear();
    m_helper =
        HelperProcess::create(m_scratch->batchFile(m_search), HelperProcess::Kind::Search, this);
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
    if (!m_busy || m_walkRead)
        return;
    if (QFile::exists(m_scratch->batchFile(m_search))) {
        // The batch deletes itself as its last act; a helper that is gone while the file
        // is still there will never signal, so the search ends with what it wrote.
        if (m_helper && m_helper->state() == QProcess::NotRunning) {
            takeHelperErrors();
            const QString why = HelperProcess::endedEarly(*m_helper, m_helperErrors);
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
    QByteArray bytes;
    QFile result(m_scratch->resultFile(m_search));
    if (result.open(QIODevice::ReadOnly))
        bytes = result.readAll();
    else if (message.isEmpty())
        message = tr("无法读取搜索结果（%1）：%2").arg(result.fileName(), result.errorString());
    result.close();
    // The walk's answer is the one that stands, whatever the index said; only below the
    // folders it had to give up does the index still speak, marked as such.
    const QList<SkippedFolder> skipped = SearchBatch::skippedFolders(m_helperErrors);
    m_helperErrors.clear();
    const QStringList givenUp = SearchBatch::notAnswering(skipped);
    m_indexer->setNotAnswering(givenUp);
    QFile::remove(m_scratch->resultFile(m_search));
    m_walkRead = true;
    // The words narrow the walk's answer as they narrowed the index's; the search stays
    // busy until it is shown.
    const int search = m_search;
    WalkAnswer::make(bytes, m_answer, givenUp, m_words, *m_index, m_categoryPaths, m_list->paths(),
                     this, [this, search, skipped, message](const WalkAnswer &walk) {
                         if (search == m_search && m_busy)
                             showWalked(walk, skipped, message);
                     });
}

void SearchController::showWalked(const WalkAnswer &walk, const QList<SkippedFolder> &skipped,
                                  const QString &message)
{
    const OfflineResults::Rows &rows = walk.rows;
    if (!walk.asShown)
        m_list->replace(rows.paths, rows.offline, m_words.pattern());
    m_state->walked(rows.paths.size(), rows.offline.size(), rows.oldest, m_instantShown);
    // The walk has written the indexes anew.
    m_index->refresh(m_categoryPaths);

    m_controls.results->show();
    m_controls.toggleButton->show();
    m_controls.busyPicture->hide();
    m_busy = false;
    emit finished(walk.lines);
    if (!message.isEmpty())
        emit problem(message);
    if (const SkippedWording::Lines said = SkippedWording::describe(skipped, m_answer);
        !said.folders.isEmpty())
        emit foldersSkipped(said.folders, said.oldestIndex);
}

void SearchController::showInstant(int search)
{
    // Too late: a newer search has begun, or the walk has answered already.
    const auto current = [this, search] {
        return search == m_search && m_busy && !m_walkRead;
    };
    if (!current())
        return;
    m_words.afterFolderFilter().keepOnWorker<SearchIndex::Answer>(
        m_answer, this, [this, current](const SearchIndex::Answer &shown) {
            if (!current())
                return;
            m_instantShown = true;
            m_list->replace(shown.paths, {}, m_words.pattern());
            m_controls.results->show();
            m_state->confirming(shown);
            emit instantResults(shown.paths);
        });
}

// Each change of the text asks the loaded indexes alone; no helper starts. A search
// under way answers an older text, so its walk is let go.
void SearchController::typed(const QString &text)
{
    if (m_busy) {
        abandonHelper();
        m_controls.busyPicture->hide();
        m_controls.toggleButton->show();
    }
    m_typing->type(text);
}

void SearchController::showTyped(const QString &text, const SearchIndex::Answer &answer)
{
    if (m_busy)
        return;
    const SearchWords words = SearchWords::read(text);
    words.afterFolderFilter().keepOnWorker<SearchIndex::Answer>(
        answer, this, [this, text, words](const SearchIndex::Answer &shown) {
            // A newer text, or a search, came while the words narrowed the answer.
            if (m_busy || m_controls.searchBox->text() != text)
                return;
            m_list->replace(shown.paths, {}, words.pattern());
            m_state->setWordProblems(words.problems());
            if (text.isEmpty()) {
                m_state->clear();
                return;
            }
            m_controls.results->show();
            m_state->typed(shown);
            emit instantResults(shown.paths);
        });
}

// The helper of the search under way is let go without waiting; it has its own scratch
// files, so whatever it still writes goes nowhere near the next search.
void SearchController::abandonHelper()
{
    m_controls.poll->stop();
    if (m_helper) {
        HelperProcess::letGo(m_helper, this);
        m_helper = nullptr;
    }
    if (m_scratch) {
        QFile::remove(m_scratch->batchFile(m_search));
        QFile::remove(m_scratch->resultFile(m_search));
    }
    m_helperErrors.clear();
    m_busy = false;
}

void SearchController::pick(int row)
{
    m_list->pick(row);
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
