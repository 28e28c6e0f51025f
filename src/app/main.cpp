// ZK4 Toolset: start-up. One modal dialog runs until the user ends it; then the process ends.
#include <QApplication>
#include <QFileInfo>

#include "app/Version.h"
#include "serial/Clock.h"
#include "serial/QtSerialPort.h"
#include "ui/MessageBox.h"
#include "ui/ToolsetDlg.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    // The application name stays the executable's name without extension ("ZK4"): it is the
    // title of every message box.
    QCoreApplication::setApplicationVersion(QStringLiteral(ZK4_VERSION_DOTTED));

    const QString executable = QCoreApplication::applicationFilePath();
    zk4::QtSerialPort serial(
        QFile::encodeName(QFileInfo(executable).absolutePath() + QStringLiteral("/ports"))
            .toStdString());
    zk4::SteadyClock clock;
    // The receive window lives as long as the process.
    static zk4::RxWindow rxWindow;

    CToolsetDlg dialog({serial, clock, zk4::ShowMessageBox, executable, rxWindow});
    dialog.DoModal();
    return 0;
}
