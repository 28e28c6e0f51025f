#include "SimOptions.h"

#include <array>
#include <filesystem>
#include <limits>

namespace zk4sim {
namespace {

using Apply = std::string (*)(SimOptions&, std::string_view);

struct OptionInfo {
    std::string_view name;
    std::string_view valueName;  // empty for a flag
    std::string_view help;
    Apply apply;
};

constexpr std::uint32_t kMaxSeconds = 86400;

// Built by appending: GCC 12 at -O3 reports a false -Wrestrict on "literal" + std::string.
std::string Refuse(std::string_view value, std::string_view expected) {
    std::string text = "'";
    text.append(value).append("' is not ").append(expected);
    return text;
}

std::optional<std::uint8_t> ParseByte(std::string_view text) {
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
        if (text.size() > 2) {
            return std::nullopt;
        }
        std::uint8_t value = 0;
        for (char c : text) {
            int digit = -1;
            if (c >= '0' && c <= '9') {
                digit = c - '0';
            } else if (c >= 'a' && c <= 'f') {
                digit = c - 'a' + 10;
            } else if (c >= 'A' && c <= 'F') {
                digit = c - 'A' + 10;
            } else {
                return std::nullopt;
            }
            value = static_cast<std::uint8_t>(value * 16 + digit);
        }
        return value;
    }
    if (const auto value = ParseUnsigned(text, 255)) {
        return static_cast<std::uint8_t>(*value);
    }
    return std::nullopt;
}

std::string ApplySeconds(std::optional<std::uint32_t>& target, std::string_view value) {
    const auto ms = ParseFixed(value, 3, kMaxSeconds * 1000);
    if (!ms) {
        return Refuse(value, "a number of seconds from 0 to 86400");
    }
    target = *ms;
    return {};
}

constexpr std::array<OptionInfo, 25> kOptions = {
    {
        {"--product", "NAME",
         "variant to play: J1939-001..003, J1708-001..003, OBD2-001..003, COMBO-001..003 "
         "(a leading ZK4- is accepted); default J1939-003",
         [](SimOptions& o, std::string_view v) -> std::string {
             const auto code = ProductCodeFromName(v);
             if (!code) {
                 return Refuse(v, "a ZK4 variant such as J1939-003");
             }
             o.device.productCode = *code;
             return {};
         }},
        {"--code", "BYTE",
         "raw product code, 0..255 or 0x00..0xFF, also codes no variant carries (e.g. 0x30)",
         [](SimOptions& o, std::string_view v) -> std::string {
             const auto code = ParseByte(v);
             if (!code) {
                 return Refuse(v, "a byte (0..255 or 0x00..0xFF)");
             }
             o.device.productCode = *code;
             return {};
         }},
        {"--serial", "N", "serial number, 0..4294967295; default 305419896",
         [](SimOptions& o, std::string_view v) -> std::string {
             const auto serial = ParseUnsigned(v, std::numeric_limits<std::uint32_t>::max());
             if (!serial) {
                 return Refuse(v, "a number from 0 to 4294967295");
             }
             o.device.serialNo = *serial;
             return {};
         }},
        {"--firmware", "TEXT", "firmware text in the \"AT FW=\" answer; default 0.5N",
         [](SimOptions& o, std::string_view v) -> std::string {
             for (char c : v) {
                 if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7E) {
                     return Refuse(v, "printable ASCII text");
                 }
             }
             if (v.size() > 64) {
                 return Refuse(v, "at most 64 characters long");
             }
             o.device.firmware = v;
             return {};
         }},
        {"--voltage", "VOLTS", "supply voltage, 0..99.9; default 13.8",
         [](SimOptions& o, std::string_view v) -> std::string {
             const auto tenths = ParseFixed(v, 1, 999);
             if (!tenths) {
                 return Refuse(v, "a voltage from 0 to 99.9 (one decimal)");
             }
             o.device.voltageTenths = *tenths;
             return {};
         }},
        {"--rpm", "N", "engine speed, 0..20000; default 650",
         [](SimOptions& o, std::string_view v) -> std::string {
             const auto rpm = ParseUnsigned(v, 20000);
             if (!rpm) {
                 return Refuse(v, "an engine speed from 0 to 20000");
             }
             o.device.rpm = *rpm;
             return {};
         }},
        {"--mph", "N", "vehicle speed, 0..255; default 0",
         [](SimOptions& o, std::string_view v) -> std::string {
             const auto mph = ParseUnsigned(v, 255);
             if (!mph) {
                 return Refuse(v, "a vehicle speed from 0 to 255");
             }
             o.device.mph = *mph;
             return {};
         }},
        {"--cylinders", "N", "stored cylinder number, 1..12; default 4",
         [](SimOptions& o, std::string_view v) -> std::string {
             const auto n = ParseUnsigned(v, kMaxCylinders);
             if (!n || *n < kMinCylinders) {
                 return Refuse(v, "a cylinder number from 1 to 12");
             }
             o.device.cylinders = static_cast<std::uint8_t>(*n);
             return {};
         }},
        {"--hz", "RATIO", "stored Hz per MPH, 0.25..99.9999; default 1.7881",
         [](SimOptions& o, std::string_view v) -> std::string {
             const auto hz = ParseFixed(v, 4, kMaxHzPerMph);
             if (!hz || *hz < kMinHzPerMph) {
                 return Refuse(v, "a ratio from 0.25 to 99.9999 (at most four decimals)");
             }
             o.device.hzPerMph = *hz;
             return {};
         }},
        {"--drive", "", "engine and vehicle speed follow a repeating 60-second drive",
         [](SimOptions& o, std::string_view) -> std::string {
             o.device.drive = true;
             return {};
         }},
        {"--crank", "",
         "the engine is stopped and started again at the start of every minute (in step with "
         "--drive): supply voltage 12.6 V at rest, 9.6 V while cranking, then charging from "
         "14.4 V down to 13.8 V; engine speed 0, then 220 while cranking",
         [](SimOptions& o, std::string_view) -> std::string {
             o.device.crank = true;
             return {};
         }},
        {"--keep-settings", "", "fault: take setting commands but keep the stored values",
         [](SimOptions& o, std::string_view) -> std::string {
             o.device.keepSettings = true;
             return {};
         }},
        {"--lowercase", "", "fault: send every line in lower case",
         [](SimOptions& o, std::string_view) -> std::string {
             o.device.lowercase = true;
             return {};
         }},
        {"--noise", "", "fault: two or three stray bytes (never 'A') ahead of every line",
         [](SimOptions& o, std::string_view) -> std::string {
             o.device.noise = true;
             return {};
         }},
        {"--bad-checksum", "N", "fault: the first N identification answers carry a wrong checksum",
         [](SimOptions& o, std::string_view v) -> std::string {
             const auto n = ParseUnsigned(v, std::numeric_limits<std::uint32_t>::max());
             if (!n) {
                 return Refuse(v, "a count");
             }
             o.device.badChecksums = *n;
             return {};
         }},
        {"--silent-after", "SECONDS",
         "fault: stop answering (and streaming or flooding) this long after start (bytes "
         "are still read and logged)",
         [](SimOptions& o, std::string_view v) { return ApplySeconds(o.silentAfterMs, v); }},
        {"--hangup-after", "SECONDS",
         "fault: this long after start close the pseudo-terminal like an unplugged adapter, "
         "remove the link and exit 0",
         [](SimOptions& o, std::string_view v) { return ApplySeconds(o.hangupAfterMs, v); }},
        {"--flood", "",
         "fault: instead of answering, send random bytes at the line's full rate, 11520 "
         "bytes/s (115200 baud, 8N1); what the port cannot take is dropped; received bytes "
         "are still read and logged",
         [](SimOptions& o, std::string_view) -> std::string {
             o.flood = true;
             return {};
         }},
        {"--stream", "",
         "send report lines (the five of an \"AT RALL\" answer, over and over) back to back "
         "at the line's full rate, 11520 bytes/s; answers go out between two lines",
         [](SimOptions& o, std::string_view) -> std::string {
             o.stream = true;
             return {};
         }},
        {"--link-beside", "PATH",
         "link the pseudo-terminal as <folder of PATH>/ports/<port> (PATH: the tool's executable); "
         "ports/ is created if needed and a link already there is replaced",
         [](SimOptions& o, std::string_view v) -> std::string {
             if (v.empty()) {
                 return "an empty path";
             }
             o.linkBeside = v;
             return {};
         }},
        {"--port", "COMn", "port name for --link-beside, COM1..COM30; default COM1",
         [](SimOptions& o, std::string_view v) -> std::string {
             const auto n = v.starts_with("COM") ? ParseUnsigned(v.substr(3), 30) : std::nullopt;
             if (!n || *n < 1 || v[3] == '0') {
                 return Refuse(v, "a port name from COM1 to COM30");
             }
             o.port = v;
             return {};
         }},
        {"--log", "FILE",
         "write the wire trace to FILE (emptied at start), one line per read and per write, "
         "in the form of the tool's --trace: \"<steady-clock ms> H>D|D>H <bytes>\", e.g. "
         "\"8523417.042 H>D AT RALL\\r\\n\"",
         [](SimOptions& o, std::string_view v) -> std::string {
             if (v.empty()) {
                 return "an empty file name";
             }
             o.logPath = v;
             return {};
         }},
        {"--help", "", "show this text and exit",
         [](SimOptions& o, std::string_view) -> std::string {
             o.help = true;
             return {};
         }},
        {"--version", "", "show the version and exit",
         [](SimOptions& o, std::string_view) -> std::string {
             o.version = true;
             return {};
         }},
        {"-h", "", "",
         [](SimOptions& o,
            std::string_view) -> std::
                                  string {
                                      o.help = true;
                                      return {};
                                  }},
    }};

const OptionInfo* FindOption(std::string_view name) {
    for (const auto& option : kOptions) {
        if (option.name == name) {
            return &option;
        }
    }
    return nullptr;
}

}  // namespace

OptionsResult ParseOptions(std::span<const std::string_view> args) {
    OptionsResult result;
    bool seenProduct = false;
    bool seenCode = false;
    bool seenPort = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string_view name = args[i];
        std::optional<std::string_view> value;
        if (const auto eq = name.find('=');
            name.starts_with("--") && eq != std::string_view::npos) {
            value = name.substr(eq + 1);
            name = name.substr(0, eq);
        }
        const OptionInfo* option = FindOption(name);
        if (option == nullptr) {
            result.error = "unknown option '" + std::string(args[i]) + "'";
            return result;
        }
        if (option->valueName.empty()) {
            if (value) {
                result.error = std::string(name) + " takes no value";
                return result;
            }
        } else if (!value) {
            if (i + 1 == args.size()) {
                result.error =
                    std::string(name) + " needs a value (" + std::string(option->valueName) + ")";
                return result;
            }
            value = args[++i];
        }
        if (auto error = option->apply(result.options, value.value_or("")); !error.empty()) {
            result.error = std::string(name) + ": " + error;
            return result;
        }
        seenProduct = seenProduct || name == "--product";
        seenCode = seenCode || name == "--code";
        seenPort = seenPort || name == "--port";
    }
    if (result.options.flood && result.options.stream) {
        result.error = "--flood and --stream both fill the line; give one";
    } else if (seenProduct && seenCode) {
        result.error = "--product and --code both choose the product code; give one";
    } else if (seenPort && result.options.linkBeside.empty()) {
        result.error = "--port names the link that --link-beside makes; give --link-beside too";
    }
    return result;
}

std::string UsageText() {
    std::string text =
        "Usage: zk4-sim [OPTION]...\n"
        "Plays a ZK4 vehicle-bus interface on a pseudo-terminal. Once the terminal is\n"
        "ready it prints one line, \"ready <slave path>\", on standard output.\n"
        "It answers \"AT FW=?\", \"AT ID?\" and \"AT RALL\", and stores \"AT CN=n\" (1..12)\n"
        "and \"AT HZ=dd.dddd\" (0.25..99.9999) without answering, if the variant has that\n"
        "setting. Other commands are ignored. SIGINT or SIGTERM end it with exit code 0\n"
        "and remove its link. Bad options: exit code 2.\n\nOptions:\n";
    for (const auto& option : kOptions) {
        if (option.help.empty()) {
            continue;
        }
        std::string line = "  ";
        line += option.name;
        if (!option.valueName.empty()) {
            line.append(" ").append(option.valueName);
        }
        // Help words wrapped at kWidth, continuation lines indented to kIndent.
        constexpr std::size_t kIndent = 26;
        constexpr std::size_t kWidth = 79;
        std::string_view help = option.help;
        while (!help.empty()) {
            line.resize(std::max(line.size() + 1, kIndent), ' ');
            const auto space = help.find(' ');
            const std::string_view word = help.substr(0, space);
            if (line.size() > kIndent && line.size() + word.size() > kWidth) {
                text += line.substr(0, line.find_last_not_of(' ') + 1) + "\n";
                line.assign(kIndent, ' ');
            }
            line += word;
            help = space == std::string_view::npos ? "" : help.substr(space + 1);
        }
        text += line + "\n";
    }
    return text;
}

std::string LinkPathFor(std::string_view besidePath, std::string_view port) {
    const std::filesystem::path folder = std::filesystem::path(besidePath).parent_path();
    return (folder / "ports" / port).string();
}

}  // namespace zk4sim
