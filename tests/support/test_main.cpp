#include <QApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

// Every test binary shares this main: widget tests need a QApplication, and the
// pure tests do not mind having one.
int main(int argc, char **argv)
{
    // Whatever a test runs, the search helper among it, keeps its cache (the search index)
    // in a folder of its own, never in the user's.
    QTemporaryDir cache;
    if (!cache.isValid() || !qputenv("XDG_CACHE_HOME", cache.path().toUtf8()))
        return 1;
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
