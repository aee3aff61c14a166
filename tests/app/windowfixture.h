#pragma once

#include "app/mainwindow.h"
#include "helpers.h"
#include "temptree.h"
#include "ui/layout.h"
#include "ui/windowless.h"

#include <QAbstractItemView>
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

    // Double-clicks the named entry of the folder view once it is on screen, as a user
    // opening it would.
    void openInView(const QString &name) const
    {
        auto *view = window->findChild<QAbstractItemView *>();
        QAbstractItemView *shown = nullptr;
        QModelIndex entry;
        const bool found = QTest::qWaitFor(
            [&] {
                for (QAbstractItemView *v : window->findChildren<QAbstractItemView *>()) {
                    if (!v->isVisible() || v->parentWidget() == window.get())
                        continue;
                    const QModelIndexList hits = v->model()->match(
                        v->rootIndex().isValid() ? v->model()->index(0, 0, v->rootIndex())
                                                 : v->model()->index(0, 0),
                        Qt::DisplayRole, name, 1, Qt::MatchExactly);
                    if (!hits.isEmpty() && v->visualRect(hits.first()).isValid()) {
                        shown = v;
                        entry = hits.first();
                        return true;
                    }
                }
                return false;
            },
            5000);
        ASSERT_TRUE(found) << "no entry " << name.toStdString() << " in the folder view";
        (void)view;
        const QPoint at = shown->visualRect(entry).center();
        QTest::mouseClick(shown->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(shown->viewport(), Qt::LeftButton, {}, at);
    }

    TempTree tree;
    std::unique_ptr<MainWindow> window;
};

} // namespace moviecat::test
