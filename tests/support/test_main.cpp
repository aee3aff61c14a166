#include <QTemporaryDir>
#include <gtest/gtest.h>

// Every test binary shares this main: widget tests need a QApplication, and the
// pure tests do not mind having one. Under ThreadSanitizer only the Qt-free libraries'
// tests are built, and their main makes only a QCoreApplication: no GUI platform, so no
// thread of Debian's Qt (which is not built for ThreadSanitizer) runs beside the tests.
#ifdef MOVIECAT_TEST_CORE_APPLICATION
#include <QCoreApplication>
using TestApplication = QCoreApplication;
#else
#include <QApplication>
using TestApplication = QApplication;
#endif

int main(int argc, char **argv)
{
    // Whatever a test runs, the search helper among it, keeps its cache (the search index)
    // in a folder of its own, never in the user's.
    QTemporaryDir cache;
    if (!cache.isValid() || !qputenv("XDG_CACHE_HOME", cache.path().toUtf8()))
        return 1;
    TestApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
