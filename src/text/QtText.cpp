#include "text/QtText.h"

#include <QCoreApplication>

namespace zk4 {

QString Utf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString Latin1(std::string_view bytes) {
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

std::string Latin1(const QString& text) {
    return text.toLatin1().toStdString();
}

QString Tr(const char* source) {
    return QCoreApplication::translate(kTextContext, source);
}

QString Translate(const char* context, const UserText& text) {
    const QString translated = QCoreApplication::translate(context, text.source);
    return Utf8(FillPlaces(translated.toStdString(), text.args));
}

QString Tr(const UserText& text) {
    return Translate(kTextContext, text);
}

QString WrapWords(const QString& text, QString lead, int indent, int width) {
    QString out = std::move(lead);
    int column = static_cast<int>(out.size() - (out.lastIndexOf(QLatin1Char('\n')) + 1));
    bool lineEmpty = out.trimmed().isEmpty();
    for (const QString& word : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const int length = static_cast<int>(word.size());
        if (!lineEmpty && column + 1 + length > width) {
            out += QLatin1Char('\n') + QString(indent, QLatin1Char(' '));
            column = indent;
            lineEmpty = true;
        }
        if (!lineEmpty) {
            out += QLatin1Char(' ');
            ++column;
        }
        out += word;
        column += length;
        lineEmpty = false;
    }
    return out + QLatin1Char('\n');
}

QStringList OptionNames(const std::array<const char*, 2>& names) {
    QStringList given;
    for (const char* name : names) {
        if (*name != '\0') {
            given << QLatin1String(name);
        }
    }
    return given;
}

QString OptionHelp(const QStringList& names, const QString& valueName, const QString& description) {
    constexpr int kColumn = 22;
    QStringList spelled;
    for (const QString& name : names) {
        spelled << (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
    }
    QString lead = QStringLiteral("  ") + spelled.join(QStringLiteral(", "));
    if (!valueName.isEmpty()) {
        lead += QStringLiteral(" <%1>").arg(valueName);
    }
    if (lead.size() > kColumn - 3) {
        lead += QLatin1Char('\n') + QString(kColumn - 1, QLatin1Char(' '));
    } else {
        lead = lead.leftJustified(kColumn - 1);
    }
    return WrapWords(description, lead, kColumn);
}

}  // namespace zk4
