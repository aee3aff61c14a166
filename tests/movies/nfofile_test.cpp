#include "movies/nfofile.h"

#include <QElapsedTimer>
#include <QStringDecoder>
#include <QStringEncoder>

#include <gtest/gtest.h>

#include <ostream>

namespace moviecat {

void PrintTo(const MovieInfo &info, std::ostream *os)
{
    const auto number = [](const auto &value) {
        return value ? std::to_string(*value) : std::string("-");
    };
    *os << "{title \"" << info.title.toStdString() << "\", original \""
        << info.originalTitle.toStdString() << "\", year " << number(info.year) << ", rating "
        << number(info.rating) << ", minutes " << number(info.minutes) << ", plot \""
        << info.plot.toStdString() << "\"}";
}

namespace {

QString u8(const char *text)
{
    return QString::fromUtf8(text);
}

QByteArray movie(const QByteArray &body)
{
    return QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\" ?>\n<movie>\n") +
           body + "\n</movie>\n";
}

// The file cut off right after the first `marker`.
QByteArray cutAfter(const QByteArray &bytes, const char *marker)
{
    return bytes.first(bytes.indexOf(marker) + qstrlen(marker));
}

struct Expected {
    std::optional<int> year;
    std::optional<double> rating;
    std::optional<int> minutes;
    const char *title = "";
};

struct NfoCase {
    const char *name;
    QByteArray bytes;
    Expected expected;
};

void PrintTo(const NfoCase &c, std::ostream *os)
{
    *os << c.name;
}

class NfoParseTest : public testing::TestWithParam<NfoCase> {};

TEST_P(NfoParseTest, Values)
{
    const MovieInfo info = NfoFile::parse(GetParam().bytes);
    const Expected &expected = GetParam().expected;
    EXPECT_EQ(info.year, expected.year);
    ASSERT_EQ(info.rating.has_value(), expected.rating.has_value()) << testing::PrintToString(info);
    if (expected.rating) {
        EXPECT_DOUBLE_EQ(*info.rating, *expected.rating);
    }
    EXPECT_EQ(info.minutes, expected.minutes);
    EXPECT_EQ(info.title, u8(expected.title));
}

const char *const kodiRatings = R"(<title>Heat</title>
  <ratings>
    <rating name="themoviedb" max="10"><value>7.9</value><votes>6000</votes></rating>
    <rating name="imdb" max="10" default="true"><value>8.3</value><votes>650000</votes></rating>
  </ratings>
  <year>1995</year>
  <runtime>170</runtime>)";

const NfoCase nfoCases[] = {
    // The forms media managers write.
    {"KodiNewRatingsTakesTheDefault", movie(kodiRatings), {1995, 8.3, 170, "Heat"}},
    {"RatingsWithoutDefaultTakesTheFirst",
     movie("<ratings><rating name=\"a\"><value>6.5</value></rating>"
           "<rating name=\"b\"><value>9</value></rating></ratings>"),
     {{}, 6.5, {}}},
    {"OldRatingElement", movie("<rating>7.4</rating><year>2001</year>"), {2001, 7.4, {}}},
    {"NewRatingsWinOverOld",
     movie("<rating>5</rating><ratings><rating max=\"10\"><value>8</value></rating></ratings>"),
     {{}, 8.0, {}}},
    {"MaxFiveScaled",
     movie("<ratings><rating max=\"5\"><value>4.5</value></rating></ratings>"),
     {{}, 9.0, {}}},
    {"MaxHundredScaled",
     movie("<ratings><rating max=\"100\" default=\"true\"><value>87</value></rating></ratings>"),
     {{}, 8.7, {}}},
    {"OldRatingWithMax", movie("<rating max=\"100\">64</rating>"), {{}, 6.4, {}}},
    {"UnratedZeroIsNoRating", movie("<rating>0.000000</rating>"), {}},
    {"PremieredOnly", movie("<premiered>2008-07-18</premiered>"), {2008, {}, {}}},
    {"ReleaseDateOnly", movie("<releasedate>1984-10-26</releasedate>"), {1984, {}, {}}},
    {"YearWinsOverPremiered",
     movie("<premiered>2009-01-01</premiered><year>2008</year>"),
     {2008, {}, {}}},
    {"RuntimeFromStreamDetails",
     movie("<fileinfo><streamdetails><audio><durationinseconds>1</durationinseconds></audio>"
           "<video><codec>h264</codec><durationinseconds>8520</durationinseconds></video>"
           "<video><durationinseconds>60</durationinseconds></video>"
           "</streamdetails></fileinfo>"),
     {{}, {}, 142}},
    {"RuntimeWinsOverStreamDetails",
     movie("<fileinfo><streamdetails><video><durationinseconds>60</durationinseconds>"
           "</video></streamdetails></fileinfo><runtime>142</runtime>"),
     {{}, {}, 142}},
    {"BlanksAroundValues", movie("<year> 1999 </year><runtime>\n136\n</runtime>"), {1999, {}, 136}},
    {"Utf8BomAndChineseTitle",
     "\xef\xbb\xbf<?xml version=\"1.0\" encoding=\"UTF-8\"?><movie><title>无间道</title>"
     "<year>2002</year></movie>",
     {2002, {}, {}, "无间道"}},
    {"NoDeclaration", "<movie><title>A</title><runtime>90</runtime></movie>", {{}, {}, 90, "A"}},
    {"UrlAfterTheDocument",
     movie("<title>A</title><year>1990</year>") + "https://www.imdb.com/title/tt0099685/\n",
     {1990, {}, {}, "A"}},
    {"UnknownElementsSkipped",
     movie("<thumb aspect=\"poster\">x</thumb><actor><name>B</name><year>1</year></actor>"
           "<set><name>S</name></set><year>1977</year>"),
     {1977, {}, {}}},
    // What is not a movie's .nfo.
    {"UrlOnly", "https://www.themoviedb.org/movie/949\n", {}},
    {"Empty", "", {}},
    {"OtherRoot", "<tvshow><title>T</title><year>2005</year></tvshow>", {}},
    {"PlainText", "Heat (1995)\nDirected by Michael Mann\n", {}},
    // Damaged files keep what was complete before the damage.
    {"TruncatedInAnElement",
     cutAfter(movie("<year>1995</year><runtime>170</runtime>"), "<runtime>17"),
     {1995, {}, {}}},
    {"TruncatedAfterAnElement",
     cutAfter(movie("<year>1995</year><title>Heat</title>"), "</title>"),
     {1995, {}, {}, "Heat"}},
    {"BrokenTagStopsReading",
     movie("<year>1995</year><runtime 170</runtime><title>H</title>"),
     {1995, {}, {}}},
    {"UndeclaredEntity", movie("<title>A &nbsp; B</title><year>1995</year>"), {}},
    {"EntityBomb",
     "<?xml version=\"1.0\"?>\n<!DOCTYPE movie [\n <!ENTITY a \"aaaaaaaaaa\">\n"
     " <!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">\n"
     " <!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\">\n"
     " <!ENTITY d \"&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;\">\n"
     " <!ENTITY e \"&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;\">\n"
     " <!ENTITY f \"&e;&e;&e;&e;&e;&e;&e;&e;&e;&e;\">\n"
     " <!ENTITY g \"&f;&f;&f;&f;&f;&f;&f;&f;&f;&f;\">\n"
     " <!ENTITY h \"&g;&g;&g;&g;&g;&g;&g;&g;&g;&g;\">\n"
     "]>\n<movie><title>&h;</title><year>1995</year></movie>",
     {}},
    {"ExternalEntity",
     "<?xml version=\"1.0\"?><!DOCTYPE movie [<!ENTITY x SYSTEM \"file:///etc/passwd\">]>"
     "<movie><title>&x;</title></movie>",
     {}},
    // Values that make no sense are no values; the others stay.
    {"YearZero", movie("<year>0</year><runtime>100</runtime>"), {{}, {}, 100}},
    {"YearTooFar", movie("<year>99999</year><title>A</title>"), {{}, {}, {}, "A"}},
    {"YearNotANumber", movie("<year>nineteen</year>"), {}},
    {"BadYearFallsBackToPremiered",
     movie("<year>0</year><premiered>1999-03-31</premiered>"),
     {1999, {}, {}}},
    {"PremieredNotADate", movie("<premiered>2008-13-45</premiered>"), {}},
    {"RatingNotANumber", movie("<rating>abc</rating><year>2000</year>"), {2000, {}, {}}},
    {"RatingHuge", movie("<rating>1e308</rating>"), {}},
    {"RatingInfinite", movie("<rating>inf</rating>"), {}},
    {"RatingAboveMax", movie("<ratings><rating max=\"5\"><value>7</value></rating></ratings>"), {}},
    {"RatingMaxZero", movie("<ratings><rating max=\"0\"><value>0</value></rating></ratings>"), {}},
    {"RatingMaxNotANumber",
     movie("<ratings><rating max=\"ten\"><value>7</value></rating></ratings>"),
     {}},
    {"NegativeRuntime", movie("<runtime>-5</runtime>"), {}},
    {"RuntimeInSecondsByMistake", movie("<runtime>8520000</runtime>"), {}},
    {"HugeDuration",
     movie("<fileinfo><streamdetails><video><durationinseconds>9223372036854775807"
           "</durationinseconds></video></streamdetails></fileinfo>"),
     {}},
};

INSTANTIATE_TEST_SUITE_P(Table, NfoParseTest, testing::ValuesIn(nfoCases),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(NfoFileTest, TooltipTextsAndTheirLimits)
{
    const QString plot = u8("第一行。\n") + QString(2000, u'x');
    const MovieInfo info =
        NfoFile::parse(movie("<title> 英雄 </title><originaltitle>Hero</originaltitle><plot>" +
                             plot.toUtf8() + "</plot>"));
    EXPECT_EQ(info.title, u8("英雄"));
    EXPECT_EQ(info.originalTitle, u8("Hero"));
    EXPECT_EQ(info.plot, plot.first(NfoFile::plotKept));
}

TEST(NfoFileTest, GbkDeclaredDocumentIsDecoded)
{
    QStringEncoder gbk("GBK");
    ASSERT_TRUE(gbk.isValid()) << "Qt without ICU cannot read GBK";
    const QByteArray bytes = "<?xml version=\"1.0\" encoding=\"GBK\"?>\r\n<movie><title>" +
                             QByteArray(gbk.encode(u8("霸王别姬"))) +
                             "</title><year>1993</year></movie>\r\n";
    const MovieInfo info = NfoFile::parse(bytes);
    EXPECT_EQ(info.title, u8("霸王别姬"));
    EXPECT_EQ(info.year, 1993);
}

TEST(NfoFileTest, OversizedFileIsNotReadAndBadInputIsQuick)
{
    // A valid document padded past the limit: refused as a whole, and at once.
    const QByteArray big =
        movie("<year>1995</year><plot>" + QByteArray(2 * 1024 * 1024, 'p') + "</plot>");
    QElapsedTimer timer;
    timer.start();
    EXPECT_TRUE(NfoFile::parse(big).isEmpty());
    // Just within the limit it reads.
    const QByteArray fits =
        movie("<year>1995</year><plot>" + QByteArray(NfoFile::maxSize - 200, 'p') + "</plot>");
    ASSERT_LE(fits.size(), NfoFile::maxSize);
    EXPECT_EQ(NfoFile::parse(fits).year, 1995);
    // Deep nesting within the limit neither recurses nor hangs.
    const QByteArray deep = "<movie>" + QByteArray("<a>").repeated(200000) + "1";
    EXPECT_TRUE(NfoFile::parse(deep).isEmpty());
    // A hang or a blow-up, not speed: the sanitizer build on a busy machine takes seconds.
    EXPECT_LT(timer.elapsed(), 60000);
}

TEST(NfoFileTest, PicksTheMovieFoldersNfo)
{
    const auto pick = [](std::initializer_list<const char *> names) {
        QStringList list;
        for (const char *name : names)
            list.append(u8(name));
        return NfoFile::pick(list);
    };
    EXPECT_EQ(pick({"Heat.mkv", "Heat.nfo", "MOVIE.NFO", "poster.jpg"}), u8("MOVIE.NFO"));
    EXPECT_EQ(pick({"extras.nfo", "Heat (1995).nfo", "Heat (1995).mkv"}), u8("Heat (1995).nfo"));
    EXPECT_EQ(pick({"poster.jpg", "release.nfo"}), u8("release.nfo"));
    EXPECT_EQ(pick({"a.nfo", "b.nfo", "poster.jpg"}), QString());
    EXPECT_EQ(pick({"poster.jpg", ".nfo", "Heat.mkv"}), QString());
    EXPECT_EQ(pick({}), QString());
    EXPECT_EQ(NfoFile::besideVideo(u8("Heat (1995).mkv")), u8("Heat (1995).nfo"));
    EXPECT_EQ(NfoFile::besideVideo(u8("a.b.c.avi")), u8("a.b.c.nfo"));
}

TEST(NfoFileTest, YearFromAName)
{
    EXPECT_EQ(yearFromName(u"Heat (1995)"), 1995);
    EXPECT_EQ(yearFromName(u"英雄 [2002]"), 2002);
    EXPECT_EQ(yearFromName(u"Metropolis (1927) "), 1927);
    EXPECT_EQ(yearFromName(u"2001 A Space Odyssey"), std::nullopt);
    EXPECT_EQ(yearFromName(u"Heat (1995) Director's Cut"), 1995);
    EXPECT_EQ(yearFromName(u"Heat.1995.1080p.BluRay"), 1995);
    EXPECT_EQ(yearFromName(u"Video (1080)"), std::nullopt);
    EXPECT_EQ(yearFromName(u"Far (2101)"), std::nullopt);
    EXPECT_EQ(yearFromName(u"(1900)"), 1900);
    EXPECT_EQ(yearFromName(u"英雄（2002）"), 2002);
    EXPECT_EQ(yearFromName(u"(19x5)"), std::nullopt);
    EXPECT_EQ(yearFromName(u""), std::nullopt);
}

} // namespace
} // namespace moviecat
