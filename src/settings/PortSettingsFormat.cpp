#include "settings/PortSettingsFormat.h"

namespace zk4 {
namespace {

char ToUpperAscii(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

}  // namespace

void PortSettingsReader::Feed(std::string_view bytes) {
    for (const char c : bytes) {
        Put(c);
    }
}

void PortSettingsReader::Finish() {
    if (m_state != State::LineStart) {
        EndLine();
    }
}

void PortSettingsReader::Put(char c) {
    const char upper = ToUpperAscii(c);
    switch (m_state) {
        case State::LineStart:
            // Only the first byte marks a comment or blank line, and it is tested as it stands.
            if (c == ';' || c == '/' || c == '\r' || c == '\n') {
                m_state = State::Ignored;
                break;
            }
            m_state = State::Prefix;
            [[fallthrough]];
        case State::Prefix:
            if (upper != "COM"[m_prefixLength]) {
                m_state = State::Ignored;
            } else if (++m_prefixLength == 3) {
                m_state = State::Strip;
            }
            break;
        case State::Strip:
            if (upper == 'C' || upper == 'O' || upper == 'M' || upper == '=') {
                break;
            }
            m_state = State::Value;
            [[fallthrough]];
        case State::Value:
            if (upper == ';') {
                m_state = m_value.empty() ? State::Malformed : State::PortLine;
            } else if (m_value.size() == kMaxPortValue) {
                m_state = State::Malformed;
            } else {
                m_value += upper;
            }
            break;
        case State::PortLine:
        case State::Malformed:
        case State::Ignored:
            break;
    }
    if (c == '\n') {
        EndLine();
    }
}

void PortSettingsReader::EndLine() {
    switch (m_state) {
        case State::PortLine:
            m_setting.port = "COM" + m_value;
            break;
        case State::Strip:  // no ';' after "COM"
        case State::Value:  // no ';' after the value
        case State::Malformed:
            m_setting.port = kDefaultPort;
            m_setting.savePending = true;
            break;
        case State::LineStart:
        case State::Prefix:
        case State::Ignored:
            break;
    }
    m_state = State::LineStart;
    m_prefixLength = 0;
    m_value.clear();
}

PortSetting ParsePortSettings(std::string_view bytes) {
    PortSettingsReader reader;
    reader.Feed(bytes);
    reader.Finish();
    return reader.Setting();
}

std::string PortRecord(std::string_view portName) {
    const std::size_t number = portName.find_first_not_of("COM");
    std::string record = "COM=";
    if (number != std::string_view::npos) {
        record += portName.substr(number);
    }
    record += ";\r\n";
    return record;
}

}  // namespace zk4
