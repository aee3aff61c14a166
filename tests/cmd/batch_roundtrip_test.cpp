// Batches written by SearchBatch, run by the real helper: quoting must bring every
// path and text through the command line unchanged.
#include "helperrun.h"
#include "helpers.h"
#include "search/batchfile.h"
#include "temptree.h"

#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

using moviecat::SearchBatch;
using moviecat::test::resultLines;
using moviecat::test::runHelper;
using moviecat::test::TempTree;

namespace {

TEST(BatchRoundTrip, SpecialCharactersInPathsAndTextsArriveIntact)
{
    TempTree tree;
    const QString scratch = tree.mkdir(QStringLiteral("scratch dir & 50%"));
    const QString resultFile = scratch + QStringLiteral("/list.txt");
    const QString batchFile = scratch + QStringLiteral("/list.bat");
    const QStringList categoryNames = {QStringLiteral("A & B"),   QStringLiteral("100% 好"),
                                       QStringLiteral("x^y"),     QStringLiteral("p|q <l> g"),
                                       QStringLiteral("a,b;c=d"), QStringLiteral("plain")};
    const QStringList movies = {
        QStringLiteral("Tom & Jerry (1990)"), QStringLiteral("50% off"),
        QStringLiteral("%PATH% movie"),       QStringLiteral("caret^name"),
        QStringLiteral("pipe|name"),          QStringLiteral("Tom and Jerry")};
    QStringList categories;
    for (const QString &name : categoryNames) {
        categories << tree.mkdir(name);
        for (const QString &movie : movies)
            tree.mkdir(name + QLatin1Char('/') + movie);
    }

    auto search = [&](const QString &text) {
        QFile::remove(resultFile);
        QFile batch(batchFile);
        EXPECT_TRUE(batch.open(QIODevice::WriteOnly));
        batch.write(SearchBatch::compose(categories, text, resultFile, batchFile));
        batch.close();
        const auto run = runHelper(batchFile);
        EXPECT_EQ(run.exitCode, 0) << run.standardError.constData();
        EXPECT_FALSE(QFileInfo::exists(batchFile));
        return moviecat::test::utf8List(resultLines(resultFile));
    };
    auto expect = [&](const QStringList &names) {
        QStringList lines;
        for (const QString &category : categories) {
            for (const QString &name : names)
                lines << category + QLatin1Char('/') + name;
        }
        return lines;
    };

    EXPECT_EQ(search(QStringLiteral("Tom & Jerry")),
              expect({QStringLiteral("Tom & Jerry (1990)")}));
    EXPECT_EQ(search(QStringLiteral("50%")), expect({QStringLiteral("50% off")}));
    EXPECT_EQ(search(QStringLiteral("%PATH%")), expect({QStringLiteral("%PATH% movie")}));
    EXPECT_EQ(search(QStringLiteral("t^n")), expect({QStringLiteral("caret^name")}));
    EXPECT_EQ(search(QStringLiteral("e|n")), expect({QStringLiteral("pipe|name")}));
    // * and ? typed into the box stay wildcards.
    EXPECT_EQ(search(QStringLiteral("tom*jerry")),
              expect({QStringLiteral("Tom & Jerry (1990)"), QStringLiteral("Tom and Jerry")}));
    // An empty box finds every folder.
    EXPECT_EQ(search(QString()).size(), categories.size() * movies.size());
}

TEST(BatchRoundTrip, NoCategoriesGiveAnEmptyResultAndStillDeleteTheBatch)
{
    TempTree tree;
    const QString resultFile = tree.writeFile(QStringLiteral("s/list.txt"));
    const QString batchFile =
        tree.writeFile(QStringLiteral("s/list.bat"),
                       SearchBatch::compose({}, QStringLiteral("x"), resultFile,
                                            tree.path(QStringLiteral("s/list.bat"))));
    const auto run = runHelper(batchFile);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_FALSE(QFileInfo::exists(batchFile));
    EXPECT_TRUE(resultLines(resultFile).isEmpty());
}

} // namespace
