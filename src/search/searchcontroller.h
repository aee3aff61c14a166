#pragma once

#include "search/batchfile.h"
#include "search/offlineresults.h"
#include "search/searchindex.h"
#include "search/searchwords.h"

#include <QDateTime>
#include <QObject>
#include <QPointer>
#include <QProcess>
#include <QStringList>
#include <memory>

class QLabel;
class QLineEdit;
class QListView;
class QPushButton;
class QTimer;

namespace moviecat {

class BackgroundIndexer;
class ResultsList;
class SearchStateLine;
class TypingSearch;
struct WalkAnswer;
class ScratchFolder;
class WindowlessPicture;

// The search: writes a batch of DIR lines over every category folder, lets the helper
// process run it, and loads the matches into the results list when the batch file is
// gone. It touches only its own controls; the window follows its signals. The index
// answers first; the list's behaviour, the helper process, the background indexer and
// the wording of skipped folders each live beside it.
class SearchController : public QObject {
    Q_OBJECT
public:
    struct Controls {
        QLineEdit *searchBox = nullptr;           // Text1
        QPushButton *searchButton = nullptr;      // Command7
        QPushButton *toggleButton = nullptr;      // Command1
        QListView *results = nullptr;             // List3
        WindowlessPicture *busyPicture = nullptr; // Image9
        QTimer *poll = nullptr;                   // Timer2
        QLabel *indexStatus = nullptr;            // where the results come from; may be left out
    };

    explicit SearchController(const Controls &controls, QObject *parent = nullptr);
    // Stops a helper still running and removes the scratch folder.
    ~SearchController() override;

    // The category folders a search walks, in button order. Those without an index yet
    // are indexed in the background.
    void setCategoryPaths(const QStringList &paths);

    void launch();
    void poll();
    void pick(int row);
    void toggleResults();

    bool isBusy() const { return m_busy; }
    // The scratch folder in use, empty before the first search.
    QString scratchPath() const;
    // The helper process of the search under way, 0 when none runs.
    qint64 helperProcessId() const;
    // The helper indexing in the background, 0 when none runs.
    qint64 indexerProcessId() const;
    // The scratch files of the search under way or the last one.
    QString batchFile() const;
    QString resultFile() const;

signals:
    // The index answered the text typed or searched; the list shows its answer (while
    // the walk confirms it, for a search).
    void instantResults(const ResultPaths &results);
    // The results are loaded and the list is shown; the paths the helper wrote (the list
    // may hold offline rows from the index besides).
    void finished(const QStringList &results);
    // After finished: the folders the search left out, one line each (path and why), and
    // the time of the oldest index whose results stand in for some of them (invalid when
    // none does).
    void foldersSkipped(const QStringList &folders, const QDateTime &indexedAt);
    void picked(const QString &path); // the path's own bytes, as FileNames carries them
    // The toggle button showed or hid the results list.
    void resultsToggled(bool shown);
    // A search ended early or could not start; the text says why.
    void problem(const QString &message);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool prepareScratch(QString *why = nullptr);
    void showInstant(int search);
    void typed(const QString &text);
    void showTyped(const QString &text, const SearchIndex::Answer &answer);
    void abandonHelper();
    QString indexerBatchFile();
    void startHelper(int search);
    void takeHelperErrors();
    void finish(const QString &problemText = {});
    void showWalked(const WalkAnswer &walk, const QList<SkippedFolder> &skipped,
                    const QString &message);
    void abandonLaunch(const QString &message);

    Controls m_controls;
    QStringList m_categoryPaths;
    SearchIndex::Answer m_answer; // the index's answer to the latest search
    std::unique_ptr<ScratchFolder> m_scratch;
    QPointer<QProcess> m_helper;
    SearchIndex *m_index = nullptr;
    ResultsList *m_list = nullptr;
    std::unique_ptr<SearchStateLine> m_state;
    BackgroundIndexer *m_indexer = nullptr;
    TypingSearch *m_typing = nullptr;
    QByteArray m_helperErrors;
    SearchWords m_words; // what the latest search looks for
    int m_search = 0;    // the number of the latest search
    bool m_instantShown = false;
    bool m_helperStarted = false; // the walk of the latest search has begun
    bool m_walkRead = false;      // and its answer has been read
    bool m_busy = false;
    bool m_promptCleared = false;
};

} // namespace moviecat
