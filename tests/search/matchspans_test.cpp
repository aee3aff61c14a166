// The part of a folder name drawn in bold: where the search's own folding and wildcards
// matched, never a span the search would not match.
#include "search/matchspans.h"

#include "match/pattern.h"
#include "ui/filenames.h"

#include <gtest/gtest.h>

using moviecat::FileNames;
using moviecat::MatchSpans;

namespace {

TEST(MatchSpans, BoldTheCharactersTheSearchMatched)
{
    using Spans = QList<MatchSpans::Span>;
    struct Case {
        QString name;
        const char *text;
        Spans spans;
    };
    const QString gbk = FileNames::fromBytes("\xB5\xE7\xD3\xB0"); // 电影 as GBK bytes
    const QList<Case> cases = {
        {QStringLiteral("The Dragon"), "dragon", {{4, 6}}},
        {QStringLiteral("The Dragon"), "DRAGON", {{4, 6}}},
        {QStringLiteral("Café Society"), "CAFÉ", {{0, 4}}},
        {QStringLiteral("Cafe\u0301 Society"), "café", {{0, 5}}}, // decomposed name
        {QStringLiteral("Amélie"), "Ame\u0301l", {{0, 4}}},       // decomposed text
        {QStringLiteral("Café"), "cafe", {}},                     // never splits an accent
        {QStringLiteral("한국 영화"), "국", {{1, 1}}},            // a syllable folds to jamo
        {gbk, "影", {{1, 1}}},                                    // read as GBK
        {QStringLiteral("Die Hard"), "d?e", {{0, 1}, {2, 1}}},    // literal pieces only
        {QStringLiteral("Heat and Heat"), "heat*heat", {{0, 4}, {9, 4}}},
        {QStringLiteral("Ronin"), "heat", {}},
        {QStringLiteral("ＤＲＡＧＯＮ"), "ｄｒａｇｏｎ", {{0, 6}}},
        // The search keeps full-width letters apart from ASCII ones (canonical folding only).
        {QStringLiteral("The Dragon"), "ＤＲＡＧＯＮ", {}}, // full-width, case folded
    };
    for (const Case &c : cases) {
        const QString text = QString::fromUtf8(c.text);
        const Spans spans = MatchSpans::find(FileNames::readable(c.name), text);
        EXPECT_EQ(spans, c.spans) << c.name.toStdString() << " / " << c.text;
        // Bold exactly where the search itself finds the name.
        const moviecat::match::Pattern pattern("*" + std::string(c.text) + "*");
        EXPECT_EQ(!spans.isEmpty(), pattern.matches(FileNames::toBytes(c.name).toStdString()))
            << c.name.toStdString() << " / " << c.text;
    }
}

} // namespace
