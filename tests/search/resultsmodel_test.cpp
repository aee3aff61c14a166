// The results list over its model: an answer of any size as one reset, each line read
// as the user reads it, offline lines greyed and described, and the current and top
// lines kept where a new answer replaces the one shown.
#include "search/matchspans.h"
#include "search/resultslist.h"
#include "search/resultsmodel.h"
#include "search/searchindex.h"
#include "ui/filenames.h"

#include "helpers.h"

#include <QAbstractItemModelTester>
#include <QBrush>
#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QListView>
#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace moviecat;

namespace {

const QDateTime sunday = QDateTime::fromSecsSinceEpoch(1'796'000'000);

QStringList pathsCalled(const QString &stem, int count)
{
    QStringList paths;
    for (int i = 0; i < count; ++i)
        paths << QStringLiteral("/films/%1 %2").arg(stem).arg(i, 6, 10, QLatin1Char('0'));
    return paths;
}

// An index answer, the walk's answer that replaces it, and a query given up (nothing),
// each one reset under the model checker; every role of a line asked for.
TEST(ResultsModel, AnswersReplaceEachOtherWholeAndEachLineSaysWhatItIs)
{
    ResultsModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    QSignalSpy resets(&model, &QAbstractItemModel::modelReset);

    const QString gbk = FileNames::fromBytes("/films/\xB5\xE7\xD3\xB0"); // 电影 in GBK
    const QString plain = QStringLiteral("/films/Heat");
    const QString gone = QStringLiteral("/nas/Heat 2");
    const QStringList index = pathsCalled(QStringLiteral("Heat"), 134'633);
    model.setPaths(index);
    EXPECT_EQ(model.rowCount(), 134'633);
    model.setPaths({plain, gbk, gone}, {{gone, sunday}});
    ASSERT_EQ(model.rowCount(), 3);

    const QColor grey = QGuiApplication::palette().color(QPalette::Disabled, QPalette::Text);
    const QString offlineNote =
        QStringLiteral("离线，最后见于 %1").arg(SearchIndex::shownTime(sunday));
    struct Line {
        QString path, shown, note;
        bool greyed;
    };
    const QList<Line> lines = {
        {plain, plain, {}, false},
        {gbk, QStringLiteral("/films/电影"), QStringLiteral("名称不是 UTF-8 编码，按 GBK 显示"),
         false},
        {gone, gone, offlineNote, true},
    };
    for (int row = 0; row < lines.size(); ++row) {
        const Line &line = lines.at(row);
        const QModelIndex at = model.index(row, 0);
        EXPECT_EQ(at.data().toString(), line.shown) << row;
        EXPECT_EQ(at.data(ResultsModel::PathRole).toString(), line.path) << row;
        EXPECT_EQ(at.data(Qt::ToolTipRole).toString(), line.note) << row;
        EXPECT_EQ(at.data(Qt::AccessibleDescriptionRole).isNull(), line.note.isEmpty()) << row;
        EXPECT_EQ(at.data(Qt::ForegroundRole).isValid(), line.greyed) << row;
        if (line.greyed) {
            EXPECT_EQ(at.data(Qt::ForegroundRole).value<QBrush>().color(), grey);
        }
    }

    model.setPaths({});
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_EQ(resets.size(), 3);
}

// A line too long for the list gives its full path in its tooltip and description,
// before what else it says; one that fits says only that.
TEST(ResultsModel, ALineCutByTheListGivesItsFullPath)
{
    ResultsModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    const QString fits = QStringLiteral("/films/Heat");
    const QString cut = QStringLiteral("/films/Action/Die Hard (1988)/Extras");
    const QString cutOffline = QStringLiteral("/nas/Action/Die Hard (1988)/Extras");
    model.setPaths({fits, cut, cutOffline}, {{cutOffline, sunday}});
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    const QFontMetrics metrics{QFont()};
    model.setTextWidth(metrics, metrics.horizontalAdvance(fits));
    EXPECT_EQ(changed.size(), 1);

    const QString offlineNote =
        QStringLiteral("离线，最后见于 %1").arg(SearchIndex::shownTime(sunday));
    const QStringList said = {QString(), cut, cutOffline + QLatin1Char('\n') + offlineNote};
    for (int row = 0; row < said.size(); ++row) {
        EXPECT_EQ(model.index(row).data(Qt::ToolTipRole).toString(), said.at(row)) << row;
        EXPECT_EQ(model.index(row).data(Qt::AccessibleDescriptionRole).toString(), said.at(row));
    }
}

// The text's match is marked in the last name of each line only, at its place in the
// line shown; a new text marks anew.
TEST(ResultsModel, TheMatchIsMarkedInTheLastNameOfEachLine)
{
    using Spans = QList<MatchSpans::Span>;
    ResultsModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    model.setPaths({QStringLiteral("/films/Heat/Extras"), QStringLiteral("/films/Heat/Heat 2")});
    model.setMatchText(QStringLiteral("heat"));
    const auto spans = [&model](int row) {
        return model.index(row).data(ResultsModel::SpansRole).value<Spans>();
    };
    EXPECT_EQ(spans(0), Spans{});
    EXPECT_EQ(spans(1), (Spans{{12, 4}}));
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    model.setMatchText(QStringLiteral("2"));
    EXPECT_EQ(changed.size(), 1);
    EXPECT_EQ(spans(1), (Spans{{17, 1}}));
}

// A new answer keeps the current line and the top line on their paths wherever they
// moved, without picking anything; a line the user then selects is picked.
TEST(ResultsList, ANewAnswerKeepsTheCurrentAndTopPathsAndPicksNothing)
{
    QListView view;
    view.resize(300, 200);
    ResultsList list(&view);
    QSignalSpy picks(&list, &ResultsList::picked);
    // Beyond the rows a large answer lays out before its first paint.
    const QStringList index = pathsCalled(QStringLiteral("Heat"), 10'000);
    list.replace(index);
    view.show();
    const QModelIndex last = view.model()->index(index.size() - 1, 0);
    for (int turn = 0; turn < 100 && !view.visualRect(last).isValid(); ++turn)
        QCoreApplication::processEvents();
    view.scrollTo(view.model()->index(9200, 0), QAbstractItemView::PositionAtTop);
    view.setCurrentIndex(view.model()->index(9205, 0));
    ASSERT_EQ(picks.size(), 1);
    EXPECT_EQ(picks.takeFirst().at(0).toString(), index.at(9205));

    QStringList walked = pathsCalled(QStringLiteral("Alien"), 500) + index;
    list.replace(walked);
    EXPECT_EQ(view.currentIndex().data().toString(), index.at(9205));
    EXPECT_EQ(view.indexAt(QPoint(0, 0)).data().toString(), index.at(9200));
    EXPECT_TRUE(picks.isEmpty());
    EXPECT_EQ(test::itemTexts(&view).size(), walked.size());

    // Gone from the new answer: no current line, nothing picked.
    list.replace(pathsCalled(QStringLiteral("Ronin"), 3));
    EXPECT_FALSE(view.currentIndex().isValid());
    EXPECT_TRUE(picks.isEmpty());
}

} // namespace
