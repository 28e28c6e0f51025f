#include "app/CommandLine.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <array>
#include <cstdio>

#include "app/Version.h"
#include "serial/PortNames.h"
#include "settings/ToolPlaces.h"
#include "text/QtText.h"

namespace zk4 {
namespace {

struct OptionRow {
    std::array<const char*, 2> names;  // the short name may be empty
    const char* valueName;             // nullptr for a flag
    const char* description;
};

// The tool's own options, in the order --help lists them. Texts are translated when printed.
constexpr std::array<OptionRow, 3> kOptions = {{
    {{"h", "help"}, nullptr, QT_TRANSLATE_NOOP("main", "Show this help and exit.")},
    {{"v", "version"}, nullptr, QT_TRANSLATE_NOOP("main", "Show the version and exit.")},
    {{"", "trace"},
     QT_TRANSLATE_NOOP("main", "file"),
     QT_TRANSLATE_NOOP("main", "Write every byte sent and received, with its time, to <file>.")},
}};

// QGuiApplication's and QApplication's own options: accepted here, taken out by QApplication.
constexpr std::array<const char*, 15> kQtOptionsWithValue = {
    "platform",        "platformpluginpath",
    "platformtheme",   "plugin",
    "qwindowgeometry", "geometry",
    "qwindowtitle",    "title",
    "qwindowicon",     "icon",
    "session",         "display",
    "style",           "stylesheet",
    "qmljsdebugger"};
constexpr std::array<const char*, 3> kQtFlags = {"reverse", "testability", "widgetcount"};

constexpr int kOptionColumn = 22;  // where option descriptions start, as OptionHelp lays them out

// Every text given here is marked with QT_TRANSLATE_NOOP("main", …) where it is written, so
// that lupdate finds it.
QString TrMain(const char* text) {
    return QCoreApplication::translate("main", text);
}

QString Indented(const QString& text) {
    return WrapWords(text, QStringLiteral("  "), 2);
}

QString OptionLine(const OptionRow& row) {
    return OptionHelp(OptionNames(row.names), row.valueName ? TrMain(row.valueName) : QString(),
                      TrMain(row.description));
}

// Three rows of ten ports, each with the devices the serial layer gives them without links.
QString PortTable() {
    QString table;
    for (int first = 1; first <= 21; first += 10) {
        const int last = first + 9;
        const QString ports = QStringLiteral("%1 - %2").arg(QString::fromStdString(ComName(first)),
                                                            QString::fromStdString(ComName(last)));
        table += QStringLiteral("  %1  %2 - %3\n")
                     .arg(ports.leftJustified(kOptionColumn - 4),
                          QString::fromStdString(DeviceForPort(first, {})),
                          QString::fromStdString(DeviceForPort(last, {})));
    }
    return table;
}

QString HelpText(const QString& program, const QString& executablePath, const QString& configDir) {
    const auto native = [](const QString& path) {
        return QStringLiteral("    ") + QDir::toNativeSeparators(path) + QLatin1Char('\n');
    };
    const ToolPlaces places = FindToolPlaces(QFile::encodeName(executablePath).toStdString(),
                                             QFile::encodeName(configDir).toStdString());
    const QString beside = QFile::decodeName(places.settingsBeside.c_str());

    QString text =
        TrMain(QT_TRANSLATE_NOOP("main", "Usage: %1 [options]")).arg(program) + QLatin1Char('\n');
    text +=
        WrapWords(TrMain(QT_TRANSLATE_NOOP("main",
                                           "Finds a ZK4 vehicle-bus interface on a serial port, "
                                           "identifies it, shows its live values and changes its "
                                           "settings.")),
                  {}, 0);
    text += QLatin1Char('\n') + TrMain(QT_TRANSLATE_NOOP("main", "Options:")) + QLatin1Char('\n');
    for (const OptionRow& row : kOptions) {
        text += OptionLine(row);
    }

    const QString file = QFileInfo(beside).fileName();
    text += QLatin1Char('\n') + TrMain(QT_TRANSLATE_NOOP("main", "Settings:")) + QLatin1Char('\n');
    if (places.installed) {
        text += Indented(
            TrMain(QT_TRANSLATE_NOOP("main",
                                     "%1 remembers the port last used. This copy is installed "
                                     "(%2 in a folder bin beside share/%3), so it keeps the file "
                                     "in the user's configuration folder, never beside itself:"))
                .arg(file, program, QLatin1String(kDataFolderName.data(), kDataFolderName.size())));
    } else {
        text += Indented(
            TrMain(QT_TRANSLATE_NOOP("main",
                                     "%1 remembers the port last used. This copy is portable (an "
                                     "installed copy is %2 in a folder bin beside share/%3 and "
                                     "keeps the file in the user's configuration folder). It "
                                     "keeps the file beside the executable when that folder can "
                                     "be written, or when the file there can be read and "
                                     "written:"))
                .arg(file, program, QLatin1String(kDataFolderName.data(), kDataFolderName.size())));
        text += native(beside);
        text += Indented(
            TrMain(QT_TRANSLATE_NOOP("main", "otherwise in the user's configuration folder:")));
    }
    text += native(QFile::decodeName(places.settingsInConfig.c_str()));

    text +=
        QLatin1Char('\n') + TrMain(QT_TRANSLATE_NOOP("main", "Port links:")) + QLatin1Char('\n');
    text += Indented(TrMain(QT_TRANSLATE_NOOP(
        "main",
        "A link ports/COMn names the device of port COMn and wins over the table below. The "
        "first of these folders that holds the link counts:")));
    for (const std::string& folder : places.portsFolders) {
        text += native(QFile::decodeName(folder.c_str()));
    }

    text += QLatin1Char('\n') + TrMain(QT_TRANSLATE_NOOP("main", "Ports without a link:")) +
            QLatin1Char('\n');
    text += PortTable();
    return text;
}

void Print(std::FILE* stream, const QString& text) {
    std::fputs(text.toLocal8Bit().constData(), stream);
}

}  // namespace

CommandLine ReadCommandLine(const QStringList& arguments) {
    QCommandLineParser parser;
    // One dash or two for every option, as QApplication reads its own.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    for (const OptionRow& row : kOptions) {
        parser.addOption(row.valueName != nullptr ? QCommandLineOption(OptionNames(row.names), {},
                                                                       QLatin1String(row.valueName))
                                                  : QCommandLineOption(OptionNames(row.names)));
    }
    for (const char* name : kQtOptionsWithValue) {
        parser.addOption(QCommandLineOption(QLatin1String(name), {}, QStringLiteral("value")));
    }
    for (const char* name : kQtFlags) {
        parser.addOption(QCommandLineOption(QLatin1String(name)));
    }

    CommandLine result;
    if (!parser.parse(arguments)) {
        result.action = CommandLine::Action::Refuse;
        result.errorArgument = parser.errorText();  // Qt's own sentence
    } else if (!parser.positionalArguments().isEmpty()) {
        result.action = CommandLine::Action::Refuse;
        result.errorText = QT_TRANSLATE_NOOP("main", "Unexpected argument '%1'.");
        result.errorArgument = parser.positionalArguments().first();
    } else if (parser.isSet(QStringLiteral("trace")) &&
               parser.value(QStringLiteral("trace")).isEmpty()) {
        result.action = CommandLine::Action::Refuse;
        result.errorText = QT_TRANSLATE_NOOP("main", "%1 needs a file name.");
        result.errorArgument = QStringLiteral("--trace");
    } else if (parser.isSet(QStringLiteral("help"))) {
        result.action = CommandLine::Action::ShowHelp;
    } else if (parser.isSet(QStringLiteral("version"))) {
        result.action = CommandLine::Action::ShowVersion;
    } else {
        result.tracePath = parser.value(QStringLiteral("trace"));
    }
    return result;
}

int AnswerCommandLine(const CommandLine& commandLine, const QString& executablePath,
                      const QString& configDir) {
    const QString program = QFileInfo(executablePath).completeBaseName();
    switch (commandLine.action) {
        case CommandLine::Action::ShowHelp:
            Print(stdout, HelpText(program, executablePath, configDir));
            return 0;
        case CommandLine::Action::ShowVersion:
            Print(stdout, program + QStringLiteral(" " ZK4_VERSION_DOTTED "\n"));
            return 0;
        case CommandLine::Action::Refuse:
            Print(stderr,
                  QStringLiteral("%1: %2\n")
                          .arg(program,
                               TrMain(commandLine.errorText).arg(commandLine.errorArgument)) +
                      TrMain(QT_TRANSLATE_NOOP("main", "Try '%1 --help'.")).arg(program) +
                      QLatin1Char('\n'));
            return 2;
        case CommandLine::Action::RunWindow:
            break;
    }
    return 0;
}

}  // namespace zk4
