// The tool's command line. It is read before any window system is touched, so that --help,
// --version and a wrong option are answered without a display (over SSH, in a script).
#pragma once

#include <QString>
#include <QStringList>

namespace zk4 {

struct CommandLine {
    enum class Action { RunWindow, ShowHelp, ShowVersion, Refuse };
    Action action = Action::RunWindow;
    QString tracePath;  // --trace; empty: no trace
    // For Refuse, what is wrong: errorText (untranslated; translated when it is printed) with
    // errorArgument in place of its %1.
    const char* errorText = "%1";
    QString errorArgument;
};

// The arguments as the program was given them, its own name first. The options QApplication
// takes for itself (-platform, -style, -reverse ...) are accepted and left to it. Needs no
// application object.
CommandLine ReadCommandLine(const QStringList& arguments);

// Answers a command line that does not run the window: the help or the version on standard
// output (exit code 0), or the refusal with a hint to --help on standard error (exit code 2).
// `executablePath` names the program and tells where its files are looked for; `configDir` is
// the user's configuration folder for the tool. Needs a QCoreApplication, whose translators
// translate the texts, and never a QApplication.
int AnswerCommandLine(const CommandLine& commandLine, const QString& executablePath,
                      const QString& configDir);

}  // namespace zk4
