#pragma once

#include "folderview/folderview.h"
#include "helpers.h"
#include "temptree.h"

#include <QModelIndex>
#include <QStringList>
#include <gtest/gtest.h>
#include <memory>

class QAbstractItemView;
class QListView;
class QTreeView;

namespace moviecat::test {

// A shown folder view over a scratch tree, with helpers that act as the user.
class FolderViewTest : public ::testing::Test {
protected:
    void SetUp() override;

    QListView *iconView() const;
    QTreeView *detailsView() const;
    // The inner view the user sees in the current mode.
    QAbstractItemView *shownView() const;

    // Names the user sees, in order; waits until count entries have loaded.
    QStringList waitForNames(int count) const;
    QStringList shownNames() const;
    // The entry called name in the shown folder, once it is laid out on screen.
    QModelIndex waitForEntry(const QString &name) const;

    void doubleClick(const QString &name) const;
    void pressEnterOn(const QString &name) const;

    TempTree tree;
    std::unique_ptr<FolderView> view;
};

} // namespace moviecat::test
