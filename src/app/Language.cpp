#include "app/Language.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace zk4 {
namespace {

bool EnglishAsked() {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const QString value = qEnvironmentVariable(name);
        if (!value.isEmpty()) {
            return value == QLatin1String("C") || value.startsWith(QLatin1String("C.")) ||
                   value == QLatin1String("POSIX");
        }
    }
    return false;
}

bool Install(const QLocale& locale, const QString& name, const QString& folder) {
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (translator->load(locale, name, QStringLiteral("_"), folder)) {
        QCoreApplication::installTranslator(translator);
        return true;
    }
    delete translator;
    return false;
}

}  // namespace

void LoadTranslations(const QString& folder) {
    if (EnglishAsked()) {
        return;
    }
    const QLocale locale = QLocale::system();
    if (!Install(locale, QStringLiteral("zk4"), folder)) {
        return;  // Qt's texts in a language the rest of the window does not speak would jar
    }
    if (!Install(locale, QStringLiteral("qtbase"),
                 QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        Install(locale, QStringLiteral("qtbase"), folder);
    }
}

}  // namespace zk4
