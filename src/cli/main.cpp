// zk4ctl: the ZK4 link on the command line, for scripts, workshop benches and SSH sessions.
// Qt Core only: it needs no display.
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <clocale>
#include <cstdio>

#include "app/Language.h"
#include "app/StopSignals.h"
#include "app/Version.h"
#include "cli/CliOptions.h"
#include "cli/CliText.h"
#include "cli/Commands.h"
#include "settings/UserConfig.h"

int main(int argc, char* argv[]) {
    const QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("zk4ctl"));
    QCoreApplication::setApplicationVersion(QStringLiteral(ZK4_VERSION_DOTTED));
    zk4::IgnoreBrokenPipe();
    std::setlocale(LC_NUMERIC, "C");  // Qt took the user's locale; numbers keep their point

    // zk4ctl lives beside ZK4 and finds the window's files as ZK4 in its folder would; the
    // configuration folder is the window's too.
    const QString executable =
        QFileInfo(QCoreApplication::applicationFilePath()).absolutePath() + QStringLiteral("/ZK4");
    const zk4::ToolPlaces places =
        zk4::FindToolPlaces(QFile::encodeName(executable).toStdString(), zk4::UserConfigFolder());
    zk4::LoadTranslations(QFile::decodeName(places.translationsFolder.c_str()));

    const zk4::CliRequest request = zk4::ReadCliArguments(QCoreApplication::arguments());
    switch (request.action) {
        case zk4::CliRequest::Action::ShowHelp:
            zk4::PrintOut(zk4::CliHelpText(places.settingsFile).toStdString());
            return zk4::kExitDone;
        case zk4::CliRequest::Action::ShowVersion:
            zk4::PrintOut("zk4ctl " ZK4_VERSION_DOTTED "\n");
            return zk4::kExitDone;
        case zk4::CliRequest::Action::Refuse:
            zk4::PrintError(zk4::TrCli(request.refusal) + QLatin1Char('\n') +
                            zk4::TrCli(QT_TRANSLATE_NOOP("zk4ctl", "Try 'zk4ctl --help'.")));
            return zk4::kExitUsage;
        case zk4::CliRequest::Action::Run:
            break;
    }
    return zk4::RunCommand(request.options, places);
}
