#pragma once

#include "app/mainwindow.h"
#include "temptree.h"
#include "ui/layout.h"
#include "ui/windowless.h"

#include <QApplication>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>

namespace moviecat::test {

// The real main window, loaded from a category file in a scratch folder.
class WindowFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        static bool configured = false;
        if (!configured) {
            configureApplication(*qApp);
            configured = true;
        }
    }

    // Writes movie.ini (UTF-8) and loads the window from it.
    void open(const QByteArray &categoryFile, bool show = false)
    {
        const QString ini = tree.writeFile(QStringLiteral("movie.ini"), categoryFile);
        window = std::make_unique<MainWindow>();
        QString error;
        ASSERT_TRUE(window->load(ini, &error)) << error.toStdString();
        if (show) {
            window->centreOn();
            window->show();
            ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        }
    }

    template <typename T> T *find(const QString &name) const
    {
        T *found = window->findChild<T *>(name);
        EXPECT_NE(found, nullptr) << name.toStdString();
        return found;
    }
    WindowlessLabel *label(int number) const
    {
        return find<WindowlessLabel>(QStringLiteral("Label%1").arg(number));
    }

    // Moves the real pointer path: through the window, so the front-most control gets it.
    void moveTo(QWidget *widget, QPoint local = {3, 3}) const
    {
        QTest::mouseMove(window.get(), widget->mapTo(window.get(), local));
        QCoreApplication::processEvents();
    }

    TempTree tree;
    std::unique_ptr<MainWindow> window;
};

} // namespace moviecat::test
