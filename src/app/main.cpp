// ZK4 Toolset: start-up. One modal dialog runs until the user ends it; then the process ends.
#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTimer>
#include <memory>

#include "app/Version.h"
#include "serial/Clock.h"
#include "serial/QtSerialPort.h"
#include "serial/TracingSerialPort.h"
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

// SIGTERM, SIGINT and SIGHUP end the tool like its close box, so the port, its lock file and
// the trace are released as on any other ending, even while a message box or the About box
// runs its own loop: those boxes are closed first, then the dialog.
void EndOnTerminationSignals(QDialog& dialog) {
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalPipe) != 0) {
        return;
    }
    auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, &dialog);
    QObject::connect(notifier, &QSocketNotifier::activated, &dialog, [&dialog] {
        char byte = 0;
        (void)!::read(g_signalPipe[0], &byte, 1);
        for (QWidget* window : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QDialog*>(window);
            if (box != nullptr && box != &dialog && box->isVisible()) {
                box->reject();
            }
        }
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
    // Every message box is titled with the executable's file name without its extension, as
    // the file is called, not as it was started (through a link, say).
    const QString executable = QCoreApplication::applicationFilePath();
    QCoreApplication::setApplicationName(QFileInfo(executable).completeBaseName());
    QCoreApplication::setApplicationVersion(QStringLiteral(ZK4_VERSION_DOTTED));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Finds a ZK4 vehicle-bus interface on a serial port, identifies it, shows its live "
        "values and changes its settings."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption traceOption(
        QStringLiteral("trace"),
        QStringLiteral("Write every byte sent and received, with its time, to <file>."),
        QStringLiteral("file"));
    parser.addOption(traceOption);
    parser.process(app);

    // An installed copy keeps its settings and port links in the user's configuration folder.
    const QString configDir =
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
        QStringLiteral("/ZK4");
    zk4::QtSerialPort serial(zk4::PortsFolders(executable, configDir));
    zk4::SerialPort* port = &serial;
    std::unique_ptr<zk4::TracingSerialPort> trace;
    QString traceError;
    if (parser.isSet(traceOption)) {
        auto opened = zk4::TracingSerialPort::OpenTrace(
            serial, QFile::encodeName(parser.value(traceOption)).toStdString());
        trace = std::move(opened.port);
        if (trace) {
            port = trace.get();
        } else {
            traceError = QString::fromLocal8Bit(opened.error.c_str()) +
                         QStringLiteral("\nThe tool runs without a trace.");
        }
    }

    zk4::SteadyClock clock;
    // The receive window lives as long as the process.
    static zk4::RxWindow rxWindow;

    CToolsetDlg dialog({*port, clock, zk4::ShowMessageBox, executable, configDir, rxWindow});
#if defined(Q_OS_UNIX)
    EndOnTerminationSignals(dialog);
#endif
    if (!traceError.isEmpty()) {
        dialog.TellLater(traceError);
    }
    dialog.DoModal();
    return 0;
}
