// Answering the text as it is typed: one query at a time, the newest text next, and
// never the answer to a text typed over. The worker is held: each query waits here
// until the test answers it.
#include "search/typingsearch.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

using moviecat::SearchIndex;
using moviecat::TypingSearch;

namespace {

struct HeldWorker {
    QStringList asked;
    QList<SearchIndex::Abandoned> abandoned; // of each query asked
    QList<TypingSearch::Done> waiting;

    TypingSearch::Query query()
    {
        return [this](const QString &text, SearchIndex::Abandoned given, TypingSearch::Done done) {
            asked << text;
            abandoned << std::move(given);
            waiting << std::move(done);
        };
    }
    // Answers the oldest query still held with one line naming its text.
    void answerNext()
    {
        SearchIndex::Answer answer;
        answer.paths << QStringList{QStringLiteral("/films/") +
                                    asked.at(asked.size() - waiting.size())};
        waiting.takeFirst()(answer);
    }
};

QStringList strings(const std::vector<const char *> &texts)
{
    QStringList out;
    for (const char *text : texts)
        out << QString::fromUtf8(text);
    return out;
}

QStringList shownTexts(const QSignalSpy &answers)
{
    QStringList texts;
    for (const QList<QVariant> &answer : answers)
        texts << answer.at(0).toString() + QLatin1Char('=') +
                     answer.at(1).value<SearchIndex::Answer>().paths.toStringList().join(
                         QLatin1Char(','));
    return texts;
}

TEST(TypingSearch, TypingFasterThanTheWorkerNeverShowsAnOlderTextsAnswer)
{
    struct Case {
        const char *name;
        std::vector<const char *> typed; // each a text change; "!" a search launched
        std::vector<const char *> asked; // what reached the worker, in order
        std::vector<const char *> shown; // text=answer, as shown
        std::vector<bool> abandoned;     // of each query asked, once all are answered
    };
    const QList<Case> cases = {
        {"one text, answered", {"d"}, {"d"}, {"d=/films/d"}, {false}},
        {"typed over while held: only the newest is asked next",
         {"d", "dr", "dra", "drag"},
         {"d", "drag"},
         {"drag=/films/drag"},
         {true, false}},
        {"emptied while held: nothing is asked, the empty list is shown",
         {"d", "dr", ""},
         {"d"},
         {"="},
         {true}},
        {"a search launched while held: the typed answer never comes",
         {"d", "!"},
         {"d"},
         {},
         {true}},
    };
    qRegisterMetaType<SearchIndex::Answer>();
    for (const Case &c : cases) {
        HeldWorker worker;
        TypingSearch typing(worker.query());
        QSignalSpy answers(&typing, &TypingSearch::answered);
        for (const QString &text : strings(c.typed)) {
            if (text == QLatin1String("!"))
                typing.stop();
            else
                typing.type(text);
        }
        EXPECT_LE(worker.waiting.size(), 1) << c.name << ": one query at a time";
        while (!worker.waiting.isEmpty())
            worker.answerNext();
        EXPECT_EQ(worker.asked, strings(c.asked)) << c.name;
        EXPECT_EQ(shownTexts(answers), strings(c.shown)) << c.name;
        std::vector<bool> abandoned;
        for (const SearchIndex::Abandoned &asked : worker.abandoned)
            abandoned.push_back(asked());
        EXPECT_EQ(abandoned, c.abandoned) << c.name << ": a query typed over may stop";
    }
}

} // namespace
