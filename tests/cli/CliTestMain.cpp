// main() for the command-line tests: an application object for QProcess, and no window system.
// The programs they start speak English, whatever language the developer's shell asks for.
#include <gtest/gtest.h>

#include <QCoreApplication>

int main(int argc, char** argv) {
    qputenv("LC_ALL", "C.UTF-8");
    qunsetenv("LANGUAGE");
    const QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
