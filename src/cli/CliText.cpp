#include "cli/CliText.h"

#include <QCoreApplication>
#include <cstdio>

namespace zk4 {

QString TrCli(const char* source) {
    return QCoreApplication::translate(kCliContext, source);
}

namespace {

QString Filled(const QString& translated, const UserText& text) {
    const QByteArray pattern = translated.toUtf8();
    return QString::fromStdString(
        FillPlaces(std::string_view(pattern.constData(), static_cast<std::size_t>(pattern.size())),
                   text.args));
}

}  // namespace

QString TrCli(const UserText& text) {
    return Filled(TrCli(text.source), text);
}

QString TrText(const UserText& text) {
    return Filled(QCoreApplication::translate(kTextContext, text.source), text);
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
