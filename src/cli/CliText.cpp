#include "cli/CliText.h"

#include <QCoreApplication>
#include <cstdio>

namespace zk4 {

QString TrCli(const char* source) {
    return QCoreApplication::translate(kCliContext, source);
}

QString TrCli(const UserText& text) {
    return Translate(kCliContext, text);
}

bool PrintOut(std::string_view utf8) {
    // Flushed at once: a script or `head` reading a pipe sees each line when it is written.
    return std::fwrite(utf8.data(), 1, utf8.size(), stdout) == utf8.size() &&
           std::fflush(stdout) == 0;
}

void PrintError(const QString& text) {
    std::fputs(QStringLiteral("zk4ctl: %1\n").arg(text).toUtf8().constData(), stderr);
    std::fflush(stderr);
}

}  // namespace zk4
