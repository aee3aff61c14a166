#include "catalog/categoryfile.h"
#include "temptree.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

#include <iostream>

namespace moviecat {
namespace {

QString nativeName(const QString &fileName)
{
    return QDir::toNativeSeparators(fileName);
}

QByteArray contents(const QString &fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return "(unreadable)";
    return file.readAll();
}

class LoadCategoryFileTest : public testing::Test {
protected:
    test::TempTree m_tree;
    QString m_fileName = m_tree.path(QStringLiteral("movie.ini"));
};

TEST_F(LoadCategoryFileTest, MissingFileIsCreatedEmpty)
{
    const CategoryLoad load = loadCategoryFile(m_fileName);
    EXPECT_TRUE(load.ok) << load.error.toStdString();
    EXPECT_TRUE(load.file.categories.isEmpty());
    const QFileInfo created(m_fileName);
    EXPECT_TRUE(created.isFile());
    EXPECT_EQ(created.size(), 0);
}

TEST_F(LoadCategoryFileTest, ExistingFileIsReadAndNeverWritten)
{
    const QByteArray bytes("[movie]\r\nA=D:\\a\r\n");
    m_tree.writeFile(QStringLiteral("movie.ini"), bytes);
    const QDateTime modified = QFileInfo(m_fileName).lastModified();

    const CategoryLoad load = loadCategoryFile(m_fileName);
    EXPECT_TRUE(load.ok) << load.error.toStdString();
    EXPECT_EQ(load.file.pathList(), QStringList({QStringLiteral("D:\\a")}));
    EXPECT_EQ(contents(m_fileName), bytes);
    EXPECT_EQ(QFileInfo(m_fileName).lastModified(), modified);
}

TEST_F(LoadCategoryFileTest, ReadOnlyFileIsRead)
{
    const QByteArray bytes("[movie]\nA=1\n");
    m_tree.writeFile(QStringLiteral("movie.ini"), bytes);
    ASSERT_TRUE(QFile::setPermissions(m_fileName, QFileDevice::ReadOwner));

    const CategoryLoad load = loadCategoryFile(m_fileName);
    EXPECT_TRUE(load.ok) << load.error.toStdString();
    EXPECT_EQ(load.file.categories.size(), 1);
    EXPECT_EQ(contents(m_fileName), bytes);
}

TEST_F(LoadCategoryFileTest, FolderInItsPlaceIsAnError)
{
    m_tree.mkdir(QStringLiteral("movie.ini"));
    const CategoryLoad load = loadCategoryFile(m_fileName);
    EXPECT_FALSE(load.ok);
    EXPECT_TRUE(load.error.contains(nativeName(m_fileName))) << load.error.toStdString();
    EXPECT_TRUE(load.error.contains(QStringLiteral("文件夹"))) << load.error.toStdString();
}

TEST_F(LoadCategoryFileTest, FileThatCannotBeCreatedIsAnError)
{
    const QString fileName = m_tree.path(QStringLiteral("gone/movie.ini"));
    const CategoryLoad load = loadCategoryFile(fileName);
    EXPECT_FALSE(load.ok);
    EXPECT_TRUE(load.error.contains(nativeName(fileName))) << load.error.toStdString();
    EXPECT_TRUE(load.error.contains(QStringLiteral("创建"))) << load.error.toStdString();
}

TEST_F(LoadCategoryFileTest, LinkToMissingFileIsAnErrorAndCreatesNothing)
{
    const QString target = m_tree.path(QStringLiteral("elsewhere.ini"));
    ASSERT_TRUE(QFile::link(target, m_fileName));
    const CategoryLoad load = loadCategoryFile(m_fileName);
    EXPECT_FALSE(load.ok);
    EXPECT_TRUE(load.error.contains(nativeName(m_fileName))) << load.error.toStdString();
    EXPECT_TRUE(load.error.contains(nativeName(target))) << load.error.toStdString();
    EXPECT_FALSE(QFileInfo::exists(target));
}

TEST_F(LoadCategoryFileTest, UnreadableFileIsAnError)
{
    m_tree.writeFile(QStringLiteral("movie.ini"), "[movie]\nA=1\n");
    ASSERT_TRUE(QFile::setPermissions(m_fileName, {}));

    QString fileName = m_fileName;
    QFile probe(m_fileName);
    if (probe.open(QIODevice::ReadOnly)) {
        // Permissions do not stop root. A file that opens but fails to read still
        // exercises the failure path for everyone.
        std::cout << "[   NOTE   ] permissions do not stop reads here; reading "
                     "/proc/self/mem instead\n";
        fileName = QStringLiteral("/proc/self/mem");
        ASSERT_TRUE(QFileInfo(fileName).isFile()) << "no /proc here to fall back on";
    }

    const CategoryLoad load = loadCategoryFile(fileName);
    EXPECT_FALSE(load.ok);
    EXPECT_TRUE(load.error.contains(nativeName(fileName))) << load.error.toStdString();
    EXPECT_TRUE(load.file.categories.isEmpty());
}

} // namespace
} // namespace moviecat
