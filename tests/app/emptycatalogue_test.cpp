// A catalogue without categories explains itself in the folder view; one with categories
// looks exactly as before.
#include "urlcatcher.h"
#include "windowfixture.h"

#include "app/emptycataloguenotice.h"
#include "catalog/categoryfile.h"
#include "folderview/folderview.h"

#include <QDir>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QUrl>

using namespace moviecat;
using moviecat::test::UrlCatcher;
using moviecat::test::WindowFixture;

namespace {

struct EmptyCase {
    const char *name;
    const char *content; // nullptr: no file at all
};

class EmptyCatalogueFixture : public WindowFixture {
protected:
    // Loads from the relative name "movie.ini" with the scratch folder as the working
    // folder, as the program does, so the notice has to make the path absolute itself.
    void openFrom(const char *content)
    {
        if (content)
            tree.writeFile(QStringLiteral("movie.ini"), QByteArray(content));
        const QString before = QDir::currentPath();
        ASSERT_TRUE(QDir::setCurrent(tree.root()));
        window = std::make_unique<MainWindow>();
        QString error;
        const bool loaded = window->load(QStringLiteral("movie.ini"), &error);
        QDir::setCurrent(before);
        ASSERT_TRUE(loaded) << error.toStdString();
        window->centreOn();
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }

    EmptyCatalogueNotice *shownNotice() const
    {
        auto *notice = window->findChild<EmptyCatalogueNotice *>();
        return notice && notice->isVisible() ? notice : nullptr;
    }

    QString spokenText(const QWidget *notice) const
    {
        QStringList spoken;
        for (const QLabel *label : notice->findChildren<QLabel *>())
            spoken << label->accessibleName();
        return spoken.join(u'\n');
    }
};

class EmptyCatalogueTest : public EmptyCatalogueFixture,
                           public ::testing::WithParamInterface<EmptyCase> {};
using EmptyCatalogueWindowTest = EmptyCatalogueFixture;

} // namespace

TEST_P(EmptyCatalogueTest, NamesTheFileShowsAWellFormedLineAndOpensTheFile)
{
    openFrom(GetParam().content);
    EmptyCatalogueNotice *notice = shownNotice();
    ASSERT_NE(notice, nullptr);
    const QString file = tree.path(QStringLiteral("movie.ini"));
    EXPECT_EQ(notice->categoryFile(), file);

    // What a screen reader reads: the full path, unbroken, and the sample line.
    const QString spoken = spokenText(notice);
    EXPECT_TRUE(spoken.contains(file)) << spoken.toStdString();
    EXPECT_TRUE(spoken.contains(EmptyCatalogueNotice::exampleLine())) << spoken.toStdString();
    EXPECT_TRUE(notice->accessibleDescription().contains(file));

    // Copied into the file as shown, the sample makes one button that opens a folder.
    const CategoryFile sample =
        CategoryFile::parse((QStringLiteral("[movie]\n") + EmptyCatalogueNotice::exampleLine() +
                             QStringLiteral("\n[movie end]\n"))
                                .toUtf8());
    ASSERT_EQ(sample.categories.size(), 1);
    EXPECT_FALSE(sample.categories[0].caption.isEmpty());
    ASSERT_TRUE(sample.categories[0].path.has_value());
    EXPECT_TRUE(QDir::isAbsolutePath(*sample.categories[0].path));

    // Inside the folder view, on top of it.
    auto *view = find<FolderView>(QStringLiteral("ExplorerList1"));
    EXPECT_EQ(notice->parentWidget(), view);
    EXPECT_TRUE(view->rect().contains(notice->geometry()));

    UrlCatcher catcher;
    auto *open = notice->findChild<QPushButton *>(QStringLiteral("openCategoryFile"));
    ASSERT_NE(open, nullptr);
    QTest::mouseClick(open, Qt::LeftButton);
    EXPECT_EQ(catcher.opened, QList<QUrl>{QUrl::fromLocalFile(file)});
}

INSTANTIATE_TEST_SUITE_P(
    NoCategory, EmptyCatalogueTest,
    ::testing::Values(EmptyCase{"Missing", nullptr}, EmptyCase{"Empty", ""},
                      EmptyCase{"NoHeader", "动作片=/films/action\r\n[movie end]\r\n"},
                      EmptyCase{"EmptySection", "; 影片\r\n[movie]\r\n[movie end]\r\n"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(EmptyCatalogueWindowTest, CategoriesLeaveTheFolderViewAsItWas)
{
    openFrom("[movie]\r\n动作片=/films/action\r\n[movie end]\r\n");
    EXPECT_EQ(window->findChild<EmptyCatalogueNotice *>(), nullptr);
    EXPECT_TRUE(label(1)->isVisible());
}

TEST_F(EmptyCatalogueWindowTest, ADesktopThatCannotOpenTheFileIsReported)
{
    // The offscreen platform has no opener, as a desktop without xdg-open has none.
    openFrom("");
    QPushButton *open = shownNotice()->findChild<QPushButton *>();
    QTest::mouseClick(open, Qt::LeftButton);
    QMessageBox *box = nullptr;
    ASSERT_TRUE(QTest::qWaitFor([&] {
        box = window->findChild<QMessageBox *>(QStringLiteral("problemMessage"));
        return box && box->isVisible();
    }));
    EXPECT_TRUE(box->text().contains(tree.path(QStringLiteral("movie.ini"))))
        << box->text().toStdString();
    EXPECT_NE(shownNotice(), nullptr);
}

TEST(EmptyCatalogueNoticeTest, FollowsTheViewAndGoesOnACategoryClick)
{
    QWidget form;
    form.resize(900, 700);
    auto *view = new QWidget(&form);
    view->setGeometry(150, 80, 850, 590);
    auto *button = new WindowlessLabel(&form);
    button->setGeometry(10, 100, 128, 16);
    EmptyCatalogueNotice notice(QStringLiteral("/films/movie.ini"), view, {button});
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    ASSERT_TRUE(notice.isVisible());

    // A search narrows the view; the notice stays inside it.
    view->resize(470, 590);
    EXPECT_TRUE(view->rect().contains(notice.geometry())) << notice.geometry().width();
    EXPECT_GT(notice.width(), 300);

    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_FALSE(notice.isVisible());
}
