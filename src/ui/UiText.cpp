#include "ui/UiText.h"

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

QString Tr(const UserText& text) {
    return Utf8(FillPlaces(Tr(text.source).toStdString(), text.args));
}

}  // namespace zk4
