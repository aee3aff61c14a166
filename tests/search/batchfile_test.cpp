// The search batch's lines: plain for ordinary names, quoted where the command
// interpreter would split or redirect, refused where no quoting helps.
#include "search/batchfile.h"

#include <gtest/gtest.h>

using moviecat::SearchBatch;

namespace {

const QString result = QStringLiteral("/run/user/1000/moviecat-x/list.txt");

TEST(SearchBatchLines, OrdinaryPathsAndNamesGiveThePlainLine)
{
    EXPECT_EQ(
        SearchBatch::dirLine(QStringLiteral("/media/Films"), QStringLiteral("abc"), result),
        QStringLiteral("DIR /media/Films/*abc* /ad /s /b >>/run/user/1000/moviecat-x/list.txt"));
    // A path that already ends in the separator gets no second one.
    EXPECT_EQ(SearchBatch::dirLine(QStringLiteral("/media/"), QStringLiteral("abc"), result),
              QStringLiteral("DIR /media/*abc* /ad /s /b >>/run/user/1000/moviecat-x/list.txt"));
    EXPECT_EQ(SearchBatch::dirLine(QStringLiteral("/"), QString(), result),
              QStringLiteral("DIR /** /ad /s /b >>/run/user/1000/moviecat-x/list.txt"));
    EXPECT_EQ(
        SearchBatch::dirLine(QStringLiteral("/片库/华语"), QStringLiteral("无间道"), result),
        QStringLiteral("DIR /片库/华语/*无间道* /ad /s /b >>/run/user/1000/moviecat-x/list.txt"));
    // Wildcards typed into the box are the user's: left as they are.
    EXPECT_EQ(SearchBatch::dirLine(QStringLiteral("/m"), QStringLiteral("a?c*d"), result),
              QStringLiteral("DIR /m/*a?c*d* /ad /s /b >>/run/user/1000/moviecat-x/list.txt"));
    EXPECT_EQ(SearchBatch::delLine(QStringLiteral("/run/x/list.bat")),
              QStringLiteral("DEL /Q /run/x/list.bat"));
}

TEST(SearchBatchLines, QuotesArgumentsTheInterpreterWouldSplitOrRedirect)
{
    EXPECT_EQ(SearchBatch::dirLine(QStringLiteral("/m/My Films"), QStringLiteral("abc"), result),
              QStringLiteral("DIR \"/m/My Films/*abc*\" /ad /s /b >>") + result);
    EXPECT_EQ(SearchBatch::dirLine(QStringLiteral("/m"), QStringLiteral("100% & more"), result),
              QStringLiteral("DIR \"/m/*100%% & more*\" /ad /s /b >>") + result);
    for (const char *special : {"&", "|", "<", ">", "^", "%", ",", ";", "=", "\t", " "}) {
        const QString line =
            SearchBatch::dirLine(QStringLiteral("/m"), QString::fromLatin1(special), result);
        EXPECT_TRUE(line.startsWith(QStringLiteral("DIR \"/m/*"))) << line.toStdString();
    }
    EXPECT_EQ(SearchBatch::dirLine(QStringLiteral("/m"), QStringLiteral("x"),
                                   QStringLiteral("/tmp/my dir/list.txt")),
              QStringLiteral("DIR /m/*x* /ad /s /b >>\"/tmp/my dir/list.txt\""));
    EXPECT_EQ(SearchBatch::delLine(QStringLiteral("/tmp/a%b/list.bat")),
              QStringLiteral("DEL /Q \"/tmp/a%%b/list.bat\""));
}

TEST(SearchBatchLines, RefusesQuotesAndControlCharacters)
{
    EXPECT_FALSE(SearchBatch::refusal(QStringLiteral("Tom & Jerry 100% <x>")).has_value());
    EXPECT_FALSE(SearchBatch::refusal(QString()).has_value());
    EXPECT_FALSE(SearchBatch::refusal(QStringLiteral("输入影片名称")).has_value());
    EXPECT_TRUE(SearchBatch::refusal(QStringLiteral("say \"hi\"")).has_value());
    EXPECT_TRUE(SearchBatch::refusal(QStringLiteral("line\nbreak")).has_value());
    EXPECT_TRUE(SearchBatch::refusal(QStringLiteral("tab\there")).has_value());
    EXPECT_TRUE(SearchBatch::refusal(QString(QChar(0x85))).has_value());
    const auto message = SearchBatch::pathRefusal(QStringLiteral("/m/\"quoted\""));
    ASSERT_TRUE(message.has_value());
    EXPECT_TRUE(message->contains(QStringLiteral("/m/\"quoted\"")));
}

TEST(SearchBatchCompose, WritesAtMost301DirLinesThenDelWithCrLf)
{
    QStringList paths;
    for (int i = 0; i < 305; ++i)
        paths << QStringLiteral("/m/%1").arg(i);
    const QByteArray batch =
        SearchBatch::compose(paths, QStringLiteral("影"), result, QStringLiteral("/r/list.bat"));
    const QList<QByteArray> lines = batch.split('\n');
    ASSERT_EQ(lines.size(), 303); // 301 DIR, DEL, and the empty rest after the last CR LF
    EXPECT_EQ(lines.first(), "DIR /m/0/*\xE5\xBD\xB1* /ad /s /b >>" + result.toUtf8() + "\r");
    EXPECT_EQ(lines.at(300), "DIR /m/300/*\xE5\xBD\xB1* /ad /s /b >>" + result.toUtf8() + "\r");
    EXPECT_EQ(lines.at(301), "DEL /Q /r/list.bat\r");
    EXPECT_TRUE(lines.last().isEmpty());
    EXPECT_EQ(batch.count("\r\n"), 302);

    EXPECT_EQ(SearchBatch::compose({}, QStringLiteral("x"), result, QStringLiteral("/r/list.bat")),
              QByteArray("DEL /Q /r/list.bat\r\n"));
}

TEST(SearchBatchResults, EveryLineIsOneEntryWhateverItsEnding)
{
    EXPECT_EQ(SearchBatch::resultLines(""), QStringList());
    EXPECT_EQ(SearchBatch::resultLines("/a\r\n\r\n/影\n/c"),
              (QStringList{QStringLiteral("/a"), QString(), QStringLiteral("/影"),
                           QStringLiteral("/c")}));
    // A lone CR inside a name is part of it; only the one before LF ends the line.
    EXPECT_EQ(SearchBatch::resultLines("/x\ry\r\n"), QStringList{QStringLiteral("/x\ry")});
}

TEST(SearchBatchResults, PathsThatAreNotUtf8KeepTheirBytesBothWays)
{
    // GBK names, a Latin-1 byte, half a GBK character at the end of a line.
    const QByteArray gbk = "/m/\xB6\xAF\xD7\xF7\xC6\xAC/dragon \xC1\xFA";
    const QByteArray latin1 = "/m/Caf\xE9 Dragon";
    const QByteArray half = "/m/Half \xC1";
    const QStringList lines = SearchBatch::resultLines(gbk + "\r\n" + latin1 + "\r\n" + half);
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(SearchBatch::encode(lines.at(0)), gbk);
    EXPECT_EQ(SearchBatch::encode(lines.at(1)), latin1);
    EXPECT_EQ(SearchBatch::encode(lines.at(2)), half);
    // A category path kept that way reaches the helper's DIR line with its bytes.
    EXPECT_EQ(SearchBatch::compose({lines.at(1)}, QStringLiteral("x"), QStringLiteral("/r/l.txt"),
                                   QStringLiteral("/r/l.bat")),
              "DIR \"/m/Caf\xE9 Dragon/*x*\" /ad /s /b >>/r/l.txt\r\nDEL /Q /r/l.bat\r\n");
}

} // namespace

namespace {

// The seam between the helper and the window: whatever the helper writes about a folder
// it left out is read back as the same reason, path and detail, among its other lines.
TEST(SearchBatchSkipped, EveryReasonTheHelperWritesIsReadBackAsThatReason)
{
    const char *const paths[] = {"/m/a: b/c", "/mnt/nas/华语", "/m/x (y): z", "/m/x ( (z)"};
    const char *const details[] = {"", "Permission denied"};
    for (const moviecat::SkipReason reason : moviecat::allSkipReasons) {
        for (const char *path : paths) {
            for (const char *detail : details) {
                SCOPED_TRACE(moviecat::skippedLine(reason, path, detail));
                const QByteArray errors =
                    "File Not Found\n" +
                    QByteArray::fromStdString(moviecat::skippedLine(reason, path, detail)) +
                    "\r\n'ECHOX' is not recognized as an internal or external command,\n";
                const QList<moviecat::SkippedFolder> skipped = SearchBatch::skippedFolders(errors);
                ASSERT_EQ(skipped.size(), 1);
                EXPECT_EQ(skipped[0], (moviecat::SkippedFolder{QString::fromUtf8(path), reason,
                                                               QString::fromUtf8(detail)}));
                EXPECT_FALSE(SearchBatch::resultsUnwritten(errors));
            }
        }
    }
}

TEST(SearchBatchSkipped, FoldersAreNamedOnceAndOnOneLine)
{
    using moviecat::SkipReason;
    const QByteArray errors = QByteArray::fromStdString(
        moviecat::skippedLine(SkipReason::NameNotWritable, "/m/x\ny",
                              "the name holds a line break") +
        "\n" + moviecat::skippedLine(SkipReason::NotAnswering, "/n") + "\n" +
        moviecat::skippedLine(SkipReason::Unreadable, "/n", "gone)"));
    EXPECT_EQ(errors.count('\n'), 2);
    const QList<moviecat::SkippedFolder> skipped = SearchBatch::skippedFolders(errors);
    ASSERT_EQ(skipped.size(), 2);
    EXPECT_EQ(skipped[0].path, QStringLiteral("/m/x\\ny"));
    EXPECT_EQ(skipped[1],
              (moviecat::SkippedFolder{QStringLiteral("/n"), SkipReason::NotAnswering, QString()}));
}

TEST(SearchBatchSkipped, AResultFileNotWrittenWholeIsToldApartFromSkippedFolders)
{
    const QByteArray errors = "File Not Found\n" +
                              QByteArray::fromStdString(moviecat::resultsUnwrittenLine(
                                  "/run/x/list.txt", "No space left on device")) +
                              "\n";
    EXPECT_EQ(SearchBatch::resultsUnwritten(errors), QStringLiteral("No space left on device"));
    EXPECT_TRUE(SearchBatch::skippedFolders(errors).isEmpty());
    EXPECT_FALSE(SearchBatch::resultsUnwritten("File Not Found\r\n"));
}

} // namespace
