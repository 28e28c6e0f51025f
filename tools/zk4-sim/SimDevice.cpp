#include "SimDevice.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace zk4sim {
namespace {

constexpr std::array<ProductVariant, 12> kVariants = {{
    {"J1939-001", 0x2A, true, false},
    {"J1939-002", 0x2B, false, true},
    {"J1939-003", 0x2C, true, true},
    {"J1708-001", 0x54, true, false},
    {"J1708-002", 0x55, false, true},
    {"J1708-003", 0x56, true, true},
    {"OBD2-001", 0x57, true, false},
    {"OBD2-002", 0x58, false, true},
    {"OBD2-003", 0x59, true, true},
    {"COMBO-001", 0x5A, true, false},
    {"COMBO-002", 0x5B, false, true},
    {"COMBO-003", 0x5C, true, true},
}};

// Stray bytes for the noise fault. None of them is a letter of "AT" or "ACK", a space, CR or
// LF, so a host that resynchronises on a line's first token can still find it.
constexpr std::string_view kNoiseBytes = "#*~%$!?";

char ToUpper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}
char ToLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return ToUpper(x) == ToUpper(y);
           });
}

std::uint32_t PowerOfTen(int n) {
    std::uint32_t p = 1;
    for (int i = 0; i < n; ++i) {
        p *= 10;
    }
    return p;
}

}  // namespace

std::span<const ProductVariant> ProductVariants() {
    return kVariants;
}

std::optional<std::uint8_t> ProductCodeFromName(std::string_view name) {
    if (name.size() > 4 && EqualsIgnoringCase(name.substr(0, 4), "ZK4-")) {
        name.remove_prefix(4);
    }
    for (const auto& variant : kVariants) {
        if (EqualsIgnoringCase(name, variant.name)) {
            return variant.code;
        }
    }
    return std::nullopt;
}

const ProductVariant* FindVariant(std::uint8_t code) {
    for (const auto& variant : kVariants) {
        if (variant.code == code) {
            return &variant;
        }
    }
    return nullptr;
}

std::array<char, 2> HexPair(std::uint8_t value) {
    constexpr std::string_view kDigits = "0123456789ABCDEF";
    return {kDigits[value & 0x0F], kDigits[value >> 4]};
}

std::string BuildIdentificationLine(std::uint8_t productCode, std::uint32_t serialNo,
                                    bool wrongChecksum) {
    std::string line = "ACK ID";
    auto appendPair = [&line](std::uint8_t value) {
        const auto pair = HexPair(value);
        line.append(pair.data(), pair.size());
    };
    appendPair(productCode);
    for (int shift = 0; shift < 32; shift += 8) {
        appendPair(static_cast<std::uint8_t>(serialNo >> shift));
    }
    line += "00";  // two free characters; the host does not read them, only sums them

    std::uint8_t sum = 0;
    for (char c : line) {
        sum = static_cast<std::uint8_t>(sum + static_cast<std::uint8_t>(ToUpper(c)));
    }
    auto checksum = static_cast<std::uint8_t>(0x100 - sum);
    if (wrongChecksum) {
        checksum = static_cast<std::uint8_t>(checksum + 1);
    }
    appendPair(checksum);
    line += "\r\n";
    return line;
}

std::string BuildReportLine(std::string_view word, std::string_view value) {
    std::string line = "AT ";
    line.append(word);
    line += '=';
    line.append(value);
    line += "\r\n";
    return line;
}

std::string FormatFixed(std::uint32_t scaled, int decimals) {
    const std::uint32_t unit = PowerOfTen(decimals);
    std::string text = std::to_string(scaled / unit);
    if (decimals > 0) {
        std::string fraction = std::to_string(scaled % unit);
        text += '.';
        text.append(static_cast<std::size_t>(decimals) - fraction.size(), '0');
        text += fraction;
    }
    return text;
}

std::optional<std::uint32_t> ParseFixed(std::string_view text, int decimals, std::uint32_t max) {
    const auto point = text.find('.');
    const std::string_view whole = text.substr(0, point);
    std::string_view fraction;
    if (point != std::string_view::npos) {
        fraction = text.substr(point + 1);
        if (fraction.empty() || fraction.size() > static_cast<std::size_t>(decimals)) {
            return std::nullopt;
        }
    }
    if (whole.empty() || whole.size() > 10 || !std::all_of(whole.begin(), whole.end(), IsDigit) ||
        !std::all_of(fraction.begin(), fraction.end(), IsDigit)) {
        return std::nullopt;
    }
    std::uint64_t value = 0;
    for (char c : whole) {
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    for (int i = 0; i < decimals; ++i) {
        const auto index = static_cast<std::size_t>(i);
        value = value * 10 +
                (index < fraction.size() ? static_cast<std::uint64_t>(fraction[index] - '0') : 0);
    }
    if (value > max) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(value);
}

std::optional<std::uint32_t> ParseUnsigned(std::string_view text, std::uint32_t max) {
    return ParseFixed(text, 0, max);  // no decimals: a point is refused
}

Command ParseCommand(std::string_view line) {
    if (line == "AT FW=?") {
        return {CommandKind::FirmwareQuery};
    }
    if (line == "AT ID?") {
        return {CommandKind::IdQuery};
    }
    if (line == "AT RALL") {
        return {CommandKind::ReadAll};
    }
    if (line.starts_with("AT CN=")) {
        const auto digits = line.substr(6);
        if (digits.size() == 1 || digits.size() == 2) {
            if (const auto value = ParseUnsigned(digits, 99)) {
                return {CommandKind::SetCylinders, *value};
            }
        }
        return {};
    }
    if (line.starts_with("AT HZ=")) {
        const auto text = line.substr(6);
        if (text.size() == 7 && text[2] == '.') {
            if (const auto value = ParseFixed(text, 4, kMaxHzPerMph)) {
                return {CommandKind::SetHzPerMph, *value};
            }
        }
        return {};
    }
    return {};
}

std::optional<std::string> CommandAssembler::Feed(std::uint8_t byte) {
    if (byte == '\r' || byte == '\n') {
        const bool complete = !m_line.empty() && !m_overflow;
        std::string line = std::exchange(m_line, {});
        m_overflow = false;
        m_previous = byte;
        if (!complete) {
            return std::nullopt;
        }
        return line;
    }
    if (byte == 'T' && m_previous == 'A' && (m_overflow || m_line.size() > 1)) {
        m_line.assign(1, 'A');
        m_overflow = false;
    }
    m_previous = byte;
    if (m_overflow) {
        return std::nullopt;
    }
    if (m_line.size() == kMaxLine) {
        m_overflow = true;
        m_line.clear();
        return std::nullopt;
    }
    m_line += static_cast<char>(byte);
    return std::nullopt;
}

EngineSample DriveSample(double seconds) {
    // Whole milliseconds into the cycle, so that every cycle repeats the first exactly.
    constexpr long long kCycleMs = 60000;
    constexpr double kCruise = 60.0;
    const long long ms = ((std::llround(seconds * 1000.0) % kCycleMs) + kCycleMs) % kCycleMs;
    const double t = static_cast<double>(ms) / 1000.0;
    double mph = 0.0;
    if (t >= 8 && t < 28) {
        mph = kCruise * (t - 8) / 20;  // pulling away
    } else if (t >= 28 && t < 46) {
        mph = kCruise + 2.0 * std::sin((t - 28) * 0.7);  // cruising, a little up and down
    } else if (t >= 46 && t < 54) {
        mph = kCruise * (54 - t) / 8;  // braking
    }
    // Engine revolutions per MPH in each gear, and the road speed at which the next gear is in.
    constexpr std::array<std::pair<double, double>, 5> kGears = {
        {{10, 150}, {20, 85}, {32, 55}, {45, 40}, {1e9, 30}}};
    double ratio = kGears.back().second;
    for (const auto& [upTo, rpmPerMph] : kGears) {
        if (mph < upTo) {
            ratio = rpmPerMph;
            break;
        }
    }
    constexpr double kIdleRpm = 650;
    const double rpm = std::max(kIdleRpm, mph * ratio);
    return {static_cast<std::uint32_t>(rpm + 0.5), static_cast<std::uint32_t>(mph + 0.5)};
}

CrankSample CrankSampleAt(double seconds) {
    constexpr long long kCycleMs = 60000;
    const long long ms = ((std::llround(seconds * 1000.0) % kCycleMs) + kCycleMs) % kCycleMs;
    const double t = static_cast<double>(ms) / 1000.0;
    constexpr double kOff = 2.0, kCranked = 3.5;
    if (t < kOff) {
        return {126, 0};  // a charged battery at rest
    }
    if (t < kCranked) {
        return {96, 220};  // the starter's draw
    }
    const double volts = 13.8 + 0.6 * std::exp(-(t - kCranked) / 12.0);
    return {static_cast<std::uint32_t>(volts * 10 + 0.5), std::nullopt};
}

SimDevice::SimDevice(DeviceConfig config)
    : m_config(std::move(config)), m_variant(FindVariant(m_config.productCode)) {}

std::string SimDevice::Receive(std::span<const std::uint8_t> bytes, double seconds) {
    std::string out;
    for (std::uint8_t byte : bytes) {
        if (auto line = m_assembler.Feed(byte)) {
            out += Answer(ParseCommand(*line), seconds);
        }
    }
    return out;
}

std::string SimDevice::Answer(const Command& command, double seconds) {
    std::string out;
    switch (command.kind) {
        case CommandKind::FirmwareQuery:
            Emit(out, BuildReportLine("FW", m_config.firmware));
            break;
        case CommandKind::IdQuery: {
            const bool wrong = m_idAnswers < m_config.badChecksums;
            if (wrong) {
                ++m_idAnswers;
            }
            Emit(out, BuildIdentificationLine(m_config.productCode, m_config.serialNo, wrong));
            break;
        }
        case CommandKind::ReadAll: {
            EngineSample engine =
                m_config.drive ? DriveSample(seconds) : EngineSample{m_config.rpm, m_config.mph};
            std::uint32_t voltage = m_config.voltageTenths;
            if (m_config.crank) {
                const CrankSample crank = CrankSampleAt(seconds);
                voltage = crank.voltageTenths;
                engine.rpm = crank.rpm.value_or(engine.rpm);
            }
            Emit(out, BuildReportLine("DV", FormatFixed(voltage, 1)));
            Emit(out, BuildReportLine("RPM", std::to_string(engine.rpm)));
            Emit(out, BuildReportLine("MPH", std::to_string(engine.mph)));
            Emit(out, BuildReportLine("CN", std::to_string(m_config.cylinders)));
            Emit(out, BuildReportLine("HZVSMPH", FormatFixed(m_config.hzPerMph, 4)));
            break;
        }
        // Settings a variant does not have, and values out of range, are refused silently.
        case CommandKind::SetCylinders:
            if (m_variant != nullptr && m_variant->cylinders && !m_config.keepSettings &&
                command.value >= kMinCylinders && command.value <= kMaxCylinders) {
                m_config.cylinders = static_cast<std::uint8_t>(command.value);
            }
            break;
        case CommandKind::SetHzPerMph:
            if (m_variant != nullptr && m_variant->hzPerMph && !m_config.keepSettings &&
                command.value >= kMinHzPerMph && command.value <= kMaxHzPerMph) {
                m_config.hzPerMph = command.value;
            }
            break;
        case CommandKind::Unknown:
            break;
    }
    return out;
}

void SimDevice::Emit(std::string& out, std::string line) {
    if (m_config.noise) {
        auto next = [this] {  // xorshift32: cheap and reproducible
            m_noiseState ^= m_noiseState << 13;
            m_noiseState ^= m_noiseState >> 17;
            m_noiseState ^= m_noiseState << 5;
            return m_noiseState;
        };
        const std::uint32_t count = 2 + next() % 2;
        for (std::uint32_t i = 0; i < count; ++i) {
            out += kNoiseBytes[next() % kNoiseBytes.size()];
        }
    }
    if (m_config.lowercase) {
        std::transform(line.begin(), line.end(), line.begin(), ToLower);
    }
    out += line;
}

}  // namespace zk4sim
