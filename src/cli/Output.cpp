#include "cli/Output.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

#include "serial/PortNames.h"
#include "text/QtText.h"

namespace zk4 {
namespace {

constexpr std::string_view kMissing = "-";
constexpr std::size_t kKeysBeforeValues = 2;  // port and device: the same on every row
constexpr std::size_t kProductIdWidth = 13;   // "ZK4-COMBO-003"

// The record's texts in the order of RecordKeys(): the device's own text of each value.
std::vector<std::string> RecordTexts(const ValueRecord& record) {
    const DeviceValues& v = record.values;
    const auto text = [](const std::optional<std::string>& value) {
        return value ? Latin1ToUtf8(*value) : std::string(kMissing);
    };
    std::vector<std::string> texts = {
        record.port, record.device, text(v.m_strProductId),
        v.m_strProductId ? std::to_string(v.m_dwSerialNo) : std::string(kMissing)};
    for (const ReportedValue& row : kReportedValues) {
        texts.push_back(text(v.*(row.member)));
    }
    return texts;
}

std::string Padded(const std::string& text, std::size_t width) {
    return text + std::string(width > text.size() ? width - text.size() : 0, ' ');
}

std::vector<std::size_t> ColumnWidths() {
    std::vector<std::size_t> widths = {8};  // the time, "17:29:46"
    const std::vector<std::string_view> keys = RecordKeys();
    for (std::size_t i = kKeysBeforeValues; i < keys.size(); ++i) {
        widths.push_back(std::max(keys[i].size(), keys[i] == "product_id" ? kProductIdWidth : 0));
    }
    return widths;
}

std::string TableLine(const std::vector<std::string>& cells) {
    const std::vector<std::size_t> widths = ColumnWidths();
    std::string line;
    for (std::size_t i = 0; i < cells.size(); ++i) {
        line += i + 1 < cells.size() ? Padded(cells[i], widths[i]) + "  " : cells[i];
    }
    return line + "\n";
}

}  // namespace

std::string KeyValueLines(const ValueRecord& record) {
    const std::vector<std::string_view> keys = RecordKeys();
    const std::vector<std::string> texts = RecordTexts(record);
    std::string out;
    for (std::size_t i = 0; i < keys.size(); ++i) {
        out.append(keys[i]).append(": ").append(texts[i]).append("\n");
    }
    return out;
}

std::string TableHeader() {
    std::vector<std::string> cells = {"time"};
    const std::vector<std::string_view> keys = RecordKeys();
    for (std::size_t i = kKeysBeforeValues; i < keys.size(); ++i) {
        cells.emplace_back(keys[i]);
    }
    return TableLine(cells);
}

std::string TableRow(const ValueRecord& record) {
    const std::vector<std::string> texts = RecordTexts(record);
    std::vector<std::string> cells = {
        record.time.toString(QStringLiteral("HH:mm:ss")).toStdString()};
    cells.insert(cells.end(), texts.begin() + kKeysBeforeValues, texts.end());
    return TableLine(cells);
}

std::string PortLine(int number, const PortDescription& port) {
    return Padded(ComName(number), 6) + Tr(PortToolTip(port)).toStdString() + "\n";
}

std::string PortJson(int number, const PortDescription& port) {
    return "{\"port\":" + JsonString(ComName(number)) + ",\"device\":" + JsonString(port.device) +
           ",\"present\":" + (port.present ? "true" : "false") + ",\"description\":" +
           (port.description.empty() ? std::string("null") : JsonString(port.description)) + "}";
}

std::string ScanLine(const ValueRecord& record) {
    const std::vector<std::string> texts = RecordTexts(record);
    const DeviceValues& v = record.values;
    return Padded(record.port, 6) + Padded(texts[2], kProductIdWidth) + "  " +
           Padded(texts[3], 10) + "  " + (v.m_strFirmware ? Latin1ToUtf8(*v.m_strFirmware) : "-") +
           "\n";
}

std::string JsonArray(const std::vector<std::string>& objects) {
    std::string out = "[";
    for (std::size_t i = 0; i < objects.size(); ++i) {
        out += (i ? ",\n " : "\n ") + objects[i];
    }
    return out + (objects.empty() ? "]\n" : "\n]\n");
}

std::string JsonNumber(double value) {
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

}  // namespace zk4
