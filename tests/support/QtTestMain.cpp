// main() for test programs that need a QApplication: offscreen unless a display is asked for.
// The programs they start speak English, whatever language the developer's shell asks for.
#include <gtest/gtest.h>
#include <QApplication>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    qputenv("LC_ALL", "C.UTF-8");
    qunsetenv("LANGUAGE");
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("ZK4"));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
