#include "workshop/ValueRecord.h"

#include <charconv>
#include <optional>

namespace zk4 {
namespace {

// A number in its shortest form that reads back the same ("02.5000" -> "2.5"), valid in JSON
// and in every spreadsheet.
std::string NumberText(double value) {
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

// Each record field as text, or nullopt when it has no value; `quoted` when it is a string.
struct Field {
    std::optional<std::string> text;
    bool quoted = true;
};

std::vector<Field> Fields(const ValueRecord& record) {
    const DeviceValues& v = record.values;
    const auto device = [](const std::optional<std::string>& text) -> std::optional<std::string> {
        return text ? std::optional(Latin1ToUtf8(*text)) : std::nullopt;
    };
    std::vector<Field> fields = {
        {record.port},
        {record.device},
        {device(v.m_strProductId)},
        {v.m_strProductId ? std::optional(std::to_string(v.m_dwSerialNo)) : std::nullopt, false},
    };
    for (const ReportedValue& row : kReportedValues) {
        const std::optional<std::string>& text = v.*(row.member);
        if (!row.number) {
            fields.push_back({device(text)});
        } else if (const auto number = ReportedNumber(text.value_or(""))) {
            fields.push_back({NumberText(*number), false});
        } else {
            fields.push_back({std::nullopt, false});
        }
    }
    return fields;
}

std::string CsvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) {
        return text;
    }
    std::string out = "\"";
    for (const char c : text) {
        out += c == '"' ? std::string("\"\"") : std::string(1, c);
    }
    return out + "\"";
}

}  // namespace

std::vector<std::string_view> RecordKeys() {
    std::vector<std::string_view> keys = {"port", "device", "product_id", "serial_number"};
    for (const ReportedValue& row : kReportedValues) {
        keys.push_back(row.key);
    }
    return keys;
}

std::string IsoTime(const QDateTime& time) {
    return time.toOffsetFromUtc(time.offsetFromUtc()).toString(Qt::ISODateWithMs).toStdString();
}

std::string CsvHeader() {
    std::string out = "time";
    for (const std::string_view key : RecordKeys()) {
        out.append(",").append(key);
    }
    return out + "\r\n";
}

std::string CsvRow(const ValueRecord& record) {
    std::string out = IsoTime(record.time);
    for (const Field& field : Fields(record)) {
        out.append(",").append(CsvField(field.text.value_or("")));
    }
    return out + "\r\n";
}

std::string JsonString(std::string_view utf8) {
    std::string out = "\"";
    for (const char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20) {
            static constexpr char kHex[] = "0123456789abcdef";
            out += "\\u00";
            out += kHex[byte >> 4];
            out += kHex[byte & 0x0F];
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string JsonObject(const ValueRecord& record, bool withTime) {
    std::string out = "{";
    if (withTime) {
        out += "\"time\":" + JsonString(IsoTime(record.time)) + ",";
    }
    const std::vector<std::string_view> keys = RecordKeys();
    const std::vector<Field> fields = Fields(record);
    for (std::size_t i = 0; i < keys.size(); ++i) {
        const Field& field = fields[i];
        // Appended piece by piece: GCC 12 at -O3 reports a false -Wrestrict on "," + string.
        out.append(i ? "," : "").append(JsonString(keys[i])).append(":");
        out += !field.text ? "null" : field.quoted ? JsonString(*field.text) : *field.text;
    }
    return out + "}";
}

}  // namespace zk4
