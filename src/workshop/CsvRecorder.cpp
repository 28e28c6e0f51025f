#include "workshop/CsvRecorder.h"

namespace zk4 {
namespace {

UserText CannotWrite(const std::string& path, const QString& reason) {
    return {QT_TRANSLATE_NOOP("zk4", "Cannot write the values to %1: %2."),
            {path, reason.toStdString()}};
}

}  // namespace

std::optional<UserText> CsvRecorder::Open(const std::string& path) {
    m_file.close();
    m_path = path;
    m_file.setFileName(QString::fromStdString(path));
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        return CannotWrite(path, m_file.errorString());
    }
    return m_file.size() == 0 ? Write(CsvHeader()) : std::nullopt;
}

std::optional<UserText> CsvRecorder::Append(const ValueRecord& record) {
    return Write(CsvRow(record));
}

std::optional<UserText> CsvRecorder::Write(const std::string& bytes) {
    const auto size = static_cast<qint64>(bytes.size());
    if (!m_file.isOpen() || m_file.write(bytes.data(), size) != size || !m_file.flush() ||
        !SyncToDisk(m_file)) {
        const QString reason = m_file.isOpen() ? m_file.errorString() : QStringLiteral("not open");
        m_file.close();
        return CannotWrite(m_path, reason);
    }
    return std::nullopt;
}

std::string DefaultRecordName(const DeviceValues& values, const QDate& date) {
    std::string name;
    if (values.m_strProductId) {
        for (const char c : *values.m_strProductId) {
            const bool plain = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') ||
                               (c >= 'a' && c <= 'z') || c == '-';
            name += plain ? c : '-';
        }
        name += '_';
        name += std::to_string(values.m_dwSerialNo);
    } else {
        name = "ZK4";
    }
    name += '_';
    name += date.toString(Qt::ISODate).toStdString();
    name += ".csv";
    return name;
}

}  // namespace zk4
