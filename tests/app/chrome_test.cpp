// The window's chrome: the status line's clock and path, hover colours, the about
// window and Exit.
#include "windowfixture.h"

#include "ui/aboutbox.h"
#include "ui/colors.h"
#include "ui/form.h"

#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>

using namespace moviecat;

namespace {

class ChromeTest : public moviecat::test::WindowFixture {
protected:
    void openCatalogue()
    {
        tree.mkdir(QStringLiteral("a"));
        tree.mkdir(QStringLiteral("b/Heat (1995)"));
        open("[movie]\nA=" + tree.path(QStringLiteral("a")).toUtf8() +
                 "\nB=" + tree.path(QStringLiteral("b")).toUtf8() + "\n",
             /*show=*/true);
    }
    WindowlessLabel *named(const char *name) const
    {
        return find<WindowlessLabel>(QString::fromLatin1(name));
    }
    void waitForTick() const
    {
        QSignalSpy tick(find<QTimer>(QStringLiteral("Timer1")), &QTimer::timeout);
        ASSERT_TRUE(tick.wait(2000));
    }
};

TEST_F(ChromeTest, StatusLineFollowsTheHistoryWithinATick)
{
    openCatalogue();
    EXPECT_EQ(named("Label24")->caption(), QString(63, QLatin1Char('.')));
    waitForTick();
    // Nothing chosen yet: the path label empties, the category label keeps its dots.
    EXPECT_EQ(named("Label24")->caption(), QString());
    EXPECT_EQ(named("Label22")->caption(), QString(24, QLatin1Char('.')));
    EXPECT_TRUE(named("Label19")->caption().startsWith(QDate::currentDate().toString(Qt::ISODate)));

    QTest::mouseClick(label(2), Qt::LeftButton);
    EXPECT_EQ(named("Label24")->caption(), QString()); // the click itself does not write it
    waitForTick();
    EXPECT_EQ(named("Label24")->caption(), tree.path(QStringLiteral("b")));

    // Opening a folder and going back are followed the same way.
    openInView(QStringLiteral("Heat (1995)"));
    waitForTick();
    EXPECT_EQ(named("Label24")->caption(), tree.path(QStringLiteral("b/Heat (1995)")));
    QTest::mouseClick(find<QPushButton>(QStringLiteral("Command2")), Qt::LeftButton);
    waitForTick();
    EXPECT_EQ(named("Label24")->caption(), tree.path(QStringLiteral("b")));
}

TEST_F(ChromeTest, HoverColoursLightUpAndResetOnlyOverTheirOwnSurface)
{
    openCatalogue();
    const QColor buttonText = window->palette().color(QPalette::ButtonText);
    WindowlessLabel *exitLabel = named("Label20");
    WindowlessLabel *rights = named("Label25");

    moveTo(label(1));
    EXPECT_EQ(label(1)->foreColor(), QColor(0, 255, 0));
    EXPECT_EQ(label(2)->foreColor(), buttonText);
    moveTo(label(2));
    // Straight onto another control: the first stays lit until the bare surface.
    moveTo(find<QWidget>(QStringLiteral("Command2")));
    EXPECT_EQ(label(1)->foreColor(), QColor(0, 255, 0));
    QTest::mouseMove(window.get(), QPoint(60, 120));
    EXPECT_EQ(label(1)->foreColor(), buttonText);
    EXPECT_EQ(label(2)->foreColor(), buttonText);

    moveTo(exitLabel);
    moveTo(rights);
    EXPECT_EQ(exitLabel->foreColor(), QColor(255, 0, 0));
    EXPECT_EQ(rights->foreColor(), QColor(255, 0, 0));
    QTest::mouseMove(window.get(), QPoint(60, 120)); // bare surface does not reset them
    EXPECT_EQ(exitLabel->foreColor(), QColor(255, 0, 0));
    QTest::mouseMove(window.get(), QPoint(780, 20)); // the top picture does
    EXPECT_EQ(exitLabel->foreColor(), QColor(0x80, 0, 0));
    EXPECT_EQ(rights->foreColor(), QColor(0x80, 0, 0));

    // A click keeps the hover colour.
    moveTo(label(1));
    QTest::mouseClick(label(1), Qt::LeftButton);
    EXPECT_EQ(label(1)->foreColor(), QColor(0, 255, 0));
}

TEST_F(ChromeTest, AboutWindowOpensOnceHidesOverItsSurfaceAndReturnsWhereItWas)
{
    openCatalogue();
    EXPECT_EQ(window->findChild<FormWindow *>(QStringLiteral("Form2")), nullptr);
    WindowlessLabel *rights = named("Label25");
    QTest::mousePress(rights, Qt::RightButton);
    QTest::mouseRelease(rights, Qt::RightButton);
    QTest::mousePress(rights, Qt::LeftButton);
    QTest::mouseRelease(rights, Qt::LeftButton);
    EXPECT_EQ(window->findChildren<FormWindow *>(QStringLiteral("Form2")).size(), 1);
    FormWindow *about = window->aboutBox()->window();
    ASSERT_NE(about, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(about));
    const QPoint offCentre = about->geometry().center() - window->geometry().center();
    EXPECT_LE(offCentre.manhattanLength(), 2);

    // Straight to the about window: the two windows overlap on the test screen.
    QTest::mouseMove(about->windowHandle(), QPoint(160, 95)); // over its label
    EXPECT_TRUE(about->isVisible());
    QTest::mouseMove(about->windowHandle(), QPoint(10, 10));
    EXPECT_FALSE(about->isVisible());

    about->move(about->pos() + QPoint(40, 30));
    const QPoint moved = about->pos();
    QTest::mousePress(rights, Qt::MiddleButton);
    EXPECT_TRUE(about->isVisible());
    EXPECT_EQ(about->pos(), moved);
    EXPECT_EQ(window->aboutBox()->window(), about);
}

// The child half of the exit test below: a right-button press on "Exit" ends the event
// loop with a normal exit code.
TEST_F(ChromeTest, RightPressOnExitEndsTheEventLoop)
{
    openCatalogue();
    QTimer::singleShot(0, window.get(),
                       [this] { QTest::mousePress(named("Label20"), Qt::RightButton); });
    QTimer watchdog;
    watchdog.setSingleShot(true);
    bool timedOut = false;
    QObject::connect(&watchdog, &QTimer::timeout, [&] {
        timedOut = true;
        QCoreApplication::exit(3);
    });
    watchdog.start(5000);
    EXPECT_EQ(QCoreApplication::exec(), 0);
    EXPECT_FALSE(timedOut);
}

TEST_F(ChromeTest, ExitEndsTheProcessInAChild)
{
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--gtest_filter=ChromeTest.RightPressOnExitEndsTheEventLoop")});
    ASSERT_TRUE(child.waitForFinished(60000));
    EXPECT_EQ(child.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(child.exitCode(), 0) << child.readAllStandardError().toStdString();
    EXPECT_TRUE(child.readAllStandardOutput().contains("[  PASSED  ] 1 test"));
}

} // namespace
