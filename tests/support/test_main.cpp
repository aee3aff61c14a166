#include <QApplication>
#include <gtest/gtest.h>

// Every test binary shares this main: widget tests need a QApplication, and the
// pure tests do not mind having one.
int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
