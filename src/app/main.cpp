// ZK4 Toolset: start-up. One modal dialog runs until the user ends it; then the process ends.
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QTimer>
#include <clocale>
#include <memory>

#include "app/CommandLine.h"
#include "app/Language.h"
#include "app/StopSignals.h"
#include "app/Version.h"
#include "serial/Clock.h"
#include "serial/QtSerialPort.h"
#include "serial/TracingSerialPort.h"
#include "settings/ToolPlaces.h"
#include "settings/UserConfig.h"
#include "text/QtText.h"
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

// Names the application, reads numbers in the C locale and speaks the user's language: the
// same for the window and for the answers on the command line. Every message box is titled
// with the executable's file name without its extension, as the file is called, not as it was
// started (through a link, say).
zk4::ToolPlaces StartApplication() {
    // Qt takes the user's locale for the C library too; the data exchange's printf formats and
    // the settings' numbers must keep their decimal point whatever the language.
    std::setlocale(LC_NUMERIC, "C");
    const QString executable = QCoreApplication::applicationFilePath();
    QCoreApplication::setApplicationName(QFileInfo(executable).completeBaseName());
    QCoreApplication::setApplicationVersion(QStringLiteral(ZK4_VERSION_DOTTED));
    zk4::ToolPlaces places =
        zk4::FindToolPlaces(QFile::encodeName(executable).toStdString(), zk4::UserConfigFolder());
    zk4::LoadTranslations(QFile::decodeName(places.translationsFolder.c_str()));
    return places;
}

}  // namespace

int main(int argc, char* argv[]) {
    // The options are read before any window system is touched: --help, --version and a wrong
    // option are answered without a display.
    const zk4::CommandLine commandLine = zk4::ReadCommandLine(ArgumentsOf(argc, argv));
    if (commandLine.action != zk4::CommandLine::Action::RunWindow) {
        const QCoreApplication app(argc, argv);
        StartApplication();
        // Read again with the translators in place, so that Qt's own reason for a refusal is
        // in the user's language too.
        return zk4::AnswerCommandLine(zk4::ReadCommandLine(ArgumentsOf(argc, argv)),
                                      QCoreApplication::applicationFilePath(),
                                      QFile::decodeName(zk4::UserConfigFolder().c_str()));
    }

    QApplication app(argc, argv);
    const zk4::ToolPlaces places = StartApplication();
    const QString executable = QCoreApplication::applicationFilePath();
    const QString configDir = QFile::decodeName(zk4::UserConfigFolder().c_str());
    zk4::QtSerialPort serial(places.portsFolders);
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
            traceError = zk4::Tr(opened.error) + QLatin1Char('\n') +
                         QCoreApplication::translate("main", "The tool runs without a trace.");
        }
    }

    zk4::SteadyClock clock;
    // The receive window lives as long as the process.
    static zk4::RxWindow rxWindow;

    CToolsetDlg dialog({*port, clock, zk4::ShowMessageBox, executable, configDir, rxWindow});
    // SIGTERM, SIGINT and SIGHUP end the tool like its close box, so the port, its lock file and
    // the trace are released as on any other ending, even while a message box or the About box
    // runs its own loop: those boxes are closed first, then the dialog.
    zk4::StopOnSignals(&dialog, [&dialog] {
        for (QWidget* window : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QDialog*>(window);
            if (box != nullptr && box != &dialog && box->isVisible()) {
                box->reject();
            }
        }
        dialog.reject();
    });
    if (!traceError.isEmpty()) {
        dialog.TellLater(traceError);
    }
    dialog.DoModal();
    return 0;
}
