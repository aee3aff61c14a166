// Names as bytes: the exact round trip through UTF-16, and the readable form, checked
// against QtCore's own UTF-8 and GBK decoders.
#include "base/names.h"

#include <QByteArray>
#include <QString>
#include <QStringDecoder>
#include <QUtf8StringView>
#include <gtest/gtest.h>

#include <random>

using moviecat::NameEncoding;

namespace {

std::string bytesOf(const QByteArray &bytes)
{
    return std::string(bytes.constData(), size_t(bytes.size()));
}

// Bytes to UTF-16 and back must give the same bytes; where the bytes are UTF-8 the
// text must be what Qt reads, and where they are not, Qt must agree.
void expectExactRoundTrip(std::string_view bytes)
{
    const std::u16string text = moviecat::escapedText(bytes);
    ASSERT_EQ(moviecat::escapedBytes(text), bytes)
        << QByteArray(bytes.data(), qsizetype(bytes.size())).toHex().constData();
    const QByteArrayView view(bytes.data(), qsizetype(bytes.size()));
    const bool valid = moviecat::isValidUtf8(bytes);
    ASSERT_EQ(valid, QUtf8StringView(view).isValidUtf8()) << view.toByteArray().toHex().constData();
    if (valid) {
        ASSERT_EQ(text, QString::fromUtf8(view).toStdU16String());
    }
}

TEST(NameBytes, EveryOneAndTwoByteStringRoundTrips)
{
    for (int a = 0; a < 256; ++a) {
        expectExactRoundTrip(std::string(1, char(a)));
        for (int b = 0; b < 256; ++b)
            expectExactRoundTrip(std::string{char(a), char(b)});
    }
}

TEST(NameBytes, RandomLongerStringsRoundTrip)
{
    std::mt19937 random(20);
    // Mostly bytes that start or continue UTF-8 sequences, so that valid characters,
    // broken ones and surrogate encodings all turn up.
    const std::string alphabet =
        "a/ \x7F\x80\x8F\x90\xA0\xBF\xC0\xC2\xDF\xE0\xED\xEF\xF0\xF4\xF5\xFF";
    for (int round = 0; round < 100000; ++round) {
        const size_t length = 3 + random() % 30;
        std::string bytes;
        for (size_t i = 0; i < length; ++i)
            bytes += round % 2 ? alphabet[random() % alphabet.size()] : char(random() & 0xFF);
        expectExactRoundTrip(bytes);
        if (HasFatalFailure())
            return;
    }
}

TEST(NameBytes, OtherTextComesBackAsUtf8)
{
    // Surrogate pairs whose low half lies in the escape range are characters, not bytes.
    const std::u16string pair = {0xD800, 0xDC80};
    EXPECT_EQ(moviecat::escapedBytes(pair), "\xF0\x90\x82\x80");
    EXPECT_EQ(moviecat::escapedText("\xF0\x90\x82\x80"), pair);
    // A lone surrogate outside the escapes names no byte.
    EXPECT_EQ(moviecat::escapedBytes(std::u16string{u'a', 0xD800, u'b', 0xDC10}), "a\xEF\xBF\xBD"
                                                                                  "b\xEF\xBF\xBD");
}

TEST(NameReading, EveryGbkPairReadsAsQtReadsIt)
{
    QStringDecoder gbk("GBK", QStringConverter::Flag::Stateless);
    ASSERT_TRUE(gbk.isValid());
    int pairs = 0;
    for (int lead = 0x81; lead <= 0xFE; ++lead) {
        for (int trail = 0x40; trail <= 0xFE; ++trail) {
            const std::string bytes = std::string("x") + char(lead) + char(trail);
            expectExactRoundTrip(bytes);
            if (moviecat::isValidUtf8(bytes))
                continue; // UTF-8 wins
            NameEncoding encoding = NameEncoding::Utf8;
            const std::string readable = moviecat::readableName(bytes, &encoding);
            const QString qt = gbk.decode(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
            const bool qtReads = qt.size() == 2 && qt.at(1) != QChar(0xFFFD) &&
                                 !(qt.at(1).unicode() >= 0xE000 && qt.at(1).unicode() <= 0xF8FF);
            if (qtReads) {
                ++pairs;
                ASSERT_EQ(encoding, NameEncoding::Gbk) << lead << ' ' << trail;
                ASSERT_EQ(readable, bytesOf(qt.toUtf8()));
            } else {
                ASSERT_EQ(encoding, NameEncoding::Undecodable) << lead << ' ' << trail;
                ASSERT_NE(readable.find("\\x"), std::string::npos) << readable;
            }
        }
    }
    // GBK's characters, less the pairs that are also UTF-8.
    EXPECT_GT(pairs, 19000);
}

struct ReadableCase {
    const char *name;
    const char *bytes;
    const char *readable;
    NameEncoding encoding;
};

class ReadableName : public ::testing::TestWithParam<ReadableCase> {};

TEST_P(ReadableName, ShowsEveryByte)
{
    const ReadableCase &c = GetParam();
    NameEncoding encoding = NameEncoding::Utf8;
    EXPECT_EQ(moviecat::readableName(c.bytes, &encoding), c.readable);
    EXPECT_EQ(encoding, c.encoding);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReadableName,
    ::testing::Values(
        ReadableCase{"Utf8", "Plain Dragon", "Plain Dragon", NameEncoding::Utf8},
        ReadableCase{"Gbk", "dragon \xC1\xFA", "dragon 龙", NameEncoding::Gbk},
        ReadableCase{"GbkFolder", "\xB6\xAF\xD7\xF7\xC6\xAC", "动作片", NameEncoding::Gbk},
        ReadableCase{"Latin1", "Caf\xE9 Dragon", "Caf\\xE9 Dragon", NameEncoding::Undecodable},
        // Valid in both: é in UTF-8, 茅 in GBK.
        ReadableCase{"Utf8Wins", "Caf\xC3\xA9", "Café", NameEncoding::Utf8},
        ReadableCase{"HalfGbkAtEnd", "dragon \xC1", "dragon \\xC1", NameEncoding::Undecodable},
        ReadableCase{"GbkThenHalf", "\xB6\xAF\xD7\xF7\xC6\xAC\xC1", "动作片\\xC1",
                     NameEncoding::Undecodable},
        ReadableCase{"Utf8ThenStrayByte", "Caf\xC3\xA9\xE9", "Café\\xE9",
                     NameEncoding::Undecodable},
        ReadableCase{"ControlInUtf8", "a\nb\x7F", "a\\x0Ab\\x7F", NameEncoding::Utf8},
        ReadableCase{"C1Control", "a\xC2\x85", "a\\xC2\\x85", NameEncoding::Utf8},
        ReadableCase{"ControlInGbk", "\xC1\xFA\t", "龙\\x09", NameEncoding::Gbk},
        ReadableCase{"EuroByte", "\x80", "€", NameEncoding::Gbk},
        ReadableCase{"UserDefinedGbk", "\xAA\xA1", "\\xAA\\xA1", NameEncoding::Undecodable},
        ReadableCase{"NeitherAtAll", "\xFF\xFE", "\\xFF\\xFE", NameEncoding::Undecodable},
        ReadableCase{"Empty", "", "", NameEncoding::Utf8}),
    [](const ::testing::TestParamInfo<ReadableCase> &info) { return info.param.name; });

TEST(ReadablePath, ReadsEachPartInItsOwnEncoding)
{
    NameEncoding encoding = NameEncoding::Utf8;
    // A UTF-8 category holding a GBK folder: read as one string neither would decode.
    EXPECT_EQ(moviecat::readablePath("/媒体/\xB6\xAF\xD7\xF7\xC6\xAC/", &encoding),
              "/媒体/动作片/");
    EXPECT_EQ(encoding, NameEncoding::Gbk);
    EXPECT_EQ(moviecat::readablePath("/\xB6\xAF/Caf\xE9", &encoding), "/动/Caf\\xE9");
    EXPECT_EQ(encoding, NameEncoding::Undecodable);
    EXPECT_EQ(moviecat::readablePath("/srv/films", &encoding), "/srv/films");
    EXPECT_EQ(encoding, NameEncoding::Utf8);
}

TEST(DecodeName, UndecodableBytesStayApartFromEveryCharacter)
{
    std::u32string chars;
    EXPECT_EQ(moviecat::decodeName("Caf\xE9", chars), NameEncoding::Undecodable);
    EXPECT_EQ(chars, (std::u32string{U'C', U'a', U'f', 0xDCE9}));
    chars = U"x";
    EXPECT_EQ(moviecat::decodeName("\xC1\xFA", chars), NameEncoding::Gbk);
    EXPECT_EQ(chars, U"x龙"); // appends
}

} // namespace
