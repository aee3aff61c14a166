#pragma once

#include "search/searchindex.h"

#include <QObject>
#include <QString>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>

namespace moviecat {

// Answers the text in the search box as it is typed, from the loaded indexes alone (no
// helper runs). One query at a time goes to a worker: a text typed meanwhile waits for
// it, replacing any text that was waiting, and the answer to a text typed over is
// dropped, so an older text's answer is never shown. A query typed over stops early.
class TypingSearch : public QObject {
    Q_OBJECT
public:
    using Done = std::function<void(const SearchIndex::Answer &)>;
    // Asks the indexes for a text; done runs on this thread with their answer. The worker
    // may stop early once abandoned says a newer text has been typed.
    using Query =
        std::function<void(const QString &text, SearchIndex::Abandoned abandoned, Done done)>;

    explicit TypingSearch(Query query, QObject *parent = nullptr);

    // The box now holds this text; an empty one is answered at once, with nothing.
    void type(const QString &text);
    // Nothing typed so far is answered any more (a search of the text has begun).
    void stop();

signals:
    void answered(const QString &text, const SearchIndex::Answer &answer);

private:
    void ask(const QString &text);

    Query m_query;
    // Counts the texts typed; an answer to an earlier count is dropped. The worker reads it.
    std::shared_ptr<std::atomic<quint64>> m_typed = std::make_shared<std::atomic<quint64>>(0);
    bool m_asking = false;
    std::optional<QString> m_waiting;
};

} // namespace moviecat
