// ZK4 Toolset: start-up. One modal dialog runs until the user ends it; then the process ends.
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTimer>
#include <memory>

#include "app/CommandLine.h"
#include "app/TerminationSignals.h"
#include "app/Version.h"
#include "serial/Clock.h"
#include "serial/QtSerialPort.h"
#include "serial/TracingSerialPort.h"
#include "settings/ToolPlaces.h"
#include "ui/MessageBox.h"
#include "ui/ToolsetDlg.h"

namespace {

// The arguments as QCoreApplication reads them on POSIX systems: in the locale's encoding.
QStringList ArgumentsOf(int argc, char* argv[]) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        arguments << QString::fromLocal8Bit(argv[i]);
    }
    return arguments;
}

// Every message box is titled with the executable's file name without its extension, as the
// file is called, not as it was started (through a link, say).
void NameApplication() {
    const QString executable = QCoreApplication::applicationFilePath();
    QCoreApplication::setApplicationName(QFileInfo(executable).completeBaseName());
    QCoreApplication::setApplicationVersion(QStringLiteral(ZK4_VERSION_DOTTED));
}

// An installed copy keeps its settings and port links in the user's configuration folder.
QString ConfigDir() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/ZK4");
}

}  // namespace

int main(int argc, char* argv[]) {
    // The options are read before any window system is touched: --help, --version and a wrong
    // option are answered without a display.
    const zk4::CommandLine commandLine = zk4::ReadCommandLine(ArgumentsOf(argc, argv));
    if (commandLine.action != zk4::CommandLine::Action::RunWindow) {
        const QCoreApplication app(argc, argv);
        NameApplication();
        return zk4::AnswerCommandLine(commandLine, QCoreApplication::applicationFilePath(),
                                      ConfigDir());
    }

    QApplication app(argc, argv);
    NameApplication();
    const QString executable = QCoreApplication::applicationFilePath();
    const QString configDir = ConfigDir();
    zk4::QtSerialPort serial(zk4::FindToolPlaces(QFile::encodeName(executable).toStdString(),
                                                 QFile::encodeName(configDir).toStdString())
                                 .portsFolders);
    zk4::SerialPort* port = &serial;
    std::unique_ptr<zk4::TracingSerialPort> trace;
    QString traceError;
    if (!commandLine.tracePath.isEmpty()) {
        auto opened = zk4::TracingSerialPort::OpenTrace(
            serial, QFile::encodeName(commandLine.tracePath).toStdString());
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
    zk4::EndOnTerminationSignals(dialog);
    if (!traceError.isEmpty()) {
        dialog.TellLater(traceError);
    }
    dialog.DoModal();
    return 0;
}
