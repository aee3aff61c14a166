// Name matching and listing order of the helper, checked against QtCore's Unicode data.
#include "match/folding.h"
#include "match/pattern.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <gtest/gtest.h>

using moviecat::match::matchForm;
using moviecat::match::nonStarterBit;
using moviecat::match::orderKey;
using moviecat::match::Pattern;

namespace {

std::u32string formOf(const QString &text)
{
    std::u32string form;
    matchForm(text.toStdString(), form);
    for (char32_t &cp : form)
        cp &= ~nonStarterBit;
    return form;
}

std::u32string qtForm(const QString &text)
{
    const QList<uint> ucs4 = text.normalized(QString::NormalizationForm_D)
                                 .toCaseFolded()
                                 .normalized(QString::NormalizationForm_D)
                                 .toUcs4();
    return std::u32string(ucs4.begin(), ucs4.end());
}

// The generated tables against Qt's own decomposition and folding, over the scripts
// users name movies in and the awkward cases of canonical ordering.
TEST(MatchForm, AgreesWithQtCaseFoldingAndDecomposition)
{
    const QStringList samples = {
        QStringLiteral("Amélie ÉTÉ Ça Où Ñandú Straße ẞ Größe Øre Åse"),
        QStringLiteral("ΑΒΓΔ ἀρχή ᾼ ᾳ Ὠιδή ΌΣΟΣ ς ϐ ϑ ΐ"),
        QStringLiteral("Москва ЁЖИК Ґанок Їжак Ўсё"),
        QStringLiteral("Tiếng Việt Ệ ệ ự"),
        QStringLiteral("한국 영화 각"),
        QStringLiteral("電影 电影 映画 ｱﾆﾒ Ｆｕｌｌ"),
        QStringLiteral("Ω Ω K Å ǅ ǈ Ǳ"),
        QStringLiteral("a\u0323\u0302 a\u0302\u0323 e\u0345\u0301 \u1E9B\u0323"),
        QStringLiteral("Ա Ֆ Ⴀ Ꭰ 𐐀 𞤀"),
    };
    for (const QString &sample : samples)
        EXPECT_EQ(formOf(sample), qtForm(sample)) << sample.toStdString();
}

TEST(MatchForm, MarksNonStartersAndEscapesInvalidBytes)
{
    std::u32string form;
    matchForm("e\xCC\x81", form);
    ASSERT_EQ(form.size(), 2u);
    EXPECT_EQ(form[1], 0x301u | nonStarterBit);
    matchForm("a\xFF\xC3", form);
    EXPECT_EQ(form, std::u32string({U'a', 0xDCFF, 0xDCC3}));
}

struct PatternCase {
    const char *pattern;
    const char *name;
    bool matches;
};

class PatternMatching : public ::testing::TestWithParam<PatternCase> {};

TEST_P(PatternMatching, Matches)
{
    const PatternCase &c = GetParam();
    EXPECT_EQ(Pattern(c.pattern).matches(c.name), c.matches)
        << "pattern " << c.pattern << " name " << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PatternMatching,
    ::testing::Values(PatternCase{"*love*", "Lovely Bones", true},
                      PatternCase{"*love*", "Glove", true}, PatternCase{"*love*", "Lov", false},
                      PatternCase{"**", "anything", true}, PatternCase{"*", ".hidden", true},
                      PatternCase{"", "x", false}, PatternCase{"abc", "ABC", true},
                      PatternCase{"abc", "abcd", false}, PatternCase{"a?c", "abc", true},
                      PatternCase{"a?c", "ac", false}, PatternCase{"*a*b*c*", "xaxbxcx", true},
                      PatternCase{"*a*b*c*", "cba", false}, PatternCase{"*aab", "aaab", true},
                      PatternCase{"*é*", "CAFE\xCC\x81", true}, PatternCase{"*e*", "é", false},
                      PatternCase{"caf?", "cafe\xCC\x81", true},
                      PatternCase{"caf??", "cafe\xCC\x81", false},
                      PatternCase{"*ΣΟΦΊΑ*", "σοφία", true}, PatternCase{"*ς*", "Σ", true},
                      PatternCase{"*ё*", "ЁЛКА", true}, PatternCase{"*电影*", "老电影", true},
                      PatternCase{"*电影*", "电 影", false}, PatternCase{"*\xFF*", "a\xFF", true},
                      PatternCase{"*a*", "\xFF", false}, PatternCase{"*ß*", "SS", false},
                      PatternCase{"*각*", "\xE1\x84\x80\xE1\x85\xA1\xE1\x86\xA8", true},
                      // A Hangul syllable is one character: "하" is not part of "한",
                      // whether the name holds it composed or as jamo.
                      PatternCase{"*하*", "한국", false},
                      PatternCase{"*하*", "\xE1\x84\x92\xE1\x85\xA1\xE1\x86\xAB", false},
                      PatternCase{"*한*", "대한민국", true}, PatternCase{"?국", "한국", true},
                      PatternCase{"??국", "한국", false}));

// Names that are not UTF-8 match as they read: GBK as GBK, a byte that reads as nothing
// as no character the user can type.
INSTANTIATE_TEST_SUITE_P(NotUtf8, PatternMatching,
                         ::testing::Values(PatternCase{"*龙*", "dragon \xC1\xFA", true},
                                           PatternCase{"*DRAGON ?", "dragon \xC1\xFA", true},
                                           PatternCase{"*caf*", "Caf\xE9 Dragon", true},
                                           PatternCase{"*x*", "Caf\xE9 Dragon", false},
                                           PatternCase{"*é*", "Caf\xE9", false},
                                           // Valid as UTF-8 (é) and as GBK (茅): UTF-8 wins.
                                           PatternCase{"*茅*", "caf\xC3\xA9", false},
                                           PatternCase{"*É*", "caf\xC3\xA9", true}));

// Listing order: as an NTFS folder keeps names, by upper case in UTF-16 order.
TEST(OrderKey, SortsLikeAnNtfsFolder)
{
    auto before = [](const char *a, const char *b) {
        std::vector<uint32_t> ka;
        std::vector<uint32_t> kb;
        orderKey(a, ka);
        orderKey(b, kb);
        return ka < kb;
    };
    EXPECT_TRUE(before("apple", "Banana"));
    EXPECT_TRUE(before("Zebra", "_under")); // '_' comes after the upper case letters
    EXPECT_TRUE(before("abc", "abcd"));
    EXPECT_TRUE(before("élan", "zoo") == false);             // É (U+00C9) after Z
    EXPECT_TRUE(before("ωmega", "Яблоко"));                  // Ω U+03A9 before Я U+042F
    EXPECT_TRUE(before("\xF0\x9F\x8E\xAC", "\xEF\xBC\xA1")); // U+1F3AC before U+FF21
    std::vector<uint32_t> a;
    std::vector<uint32_t> b;
    orderKey("Mañana", a);
    orderKey("MAÑANA", b);
    EXPECT_EQ(a, b);
}

} // namespace
