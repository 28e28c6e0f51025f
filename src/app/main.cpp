// ZK4 Toolset: start-up. One modal dialog runs until the user ends it; then the process ends.
#include <QApplication>
#include <QFileInfo>

#include "app/Version.h"
#include "serial/Clock.h"
#include "serial/QtSerialPort.h"
#include "ui/MessageBox.h"
#include "ui/ToolsetDlg.h"

#if defined(Q_OS_UNIX)
#include <sys/socket.h>
#include <unistd.h>
#include <QSocketNotifier>
#include <csignal>

namespace {

int g_signalPipe[2] = {-1, -1};

void OnTerminate(int) {
    const char byte = 1;
    (void)!::write(g_signalPipe[1], &byte, 1);
}

// SIGTERM, SIGINT and SIGHUP end the dialog like its close box, so the port and its lock
// file are released as on any other ending.
void EndOnTerminationSignals(QDialog& dialog) {
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalPipe) != 0) {
        return;
    }
    auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, &dialog);
    QObject::connect(notifier, &QSocketNotifier::activated, &dialog, [&dialog] {
        char byte = 0;
        (void)!::read(g_signalPipe[0], &byte, 1);
        dialog.reject();
    });
    struct sigaction action {};
    action.sa_handler = OnTerminate;
    ::sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
        ::sigaction(signal, &action, nullptr);
    }
}

}  // namespace
#endif

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
#if defined(Q_OS_UNIX)
    EndOnTerminationSignals(dialog);
#endif
    dialog.DoModal();
    return 0;
}
