// Port settings: arbitrary file bytes through the reader, and any name into a record (a record
// written over a longer one is a case of the settings file's tests).
#include <cstdint>
#include <string>
#include <string_view>

#include "FuzzCheck.h"
#include "settings/PortSettingsFormat.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const zk4::PortSetting setting = zk4::ParsePortSettings(input);

    // "COM" and the upper-cased text of one line before its first ';', the leading run of C, O,
    // M and '=' removed: never empty, bounded, no ';', no line feed, no lower-case letter.
    const std::string& port = setting.port;
    ZK4_CHECK(port.size() > 3 && port.compare(0, 3, "COM") == 0);
    ZK4_CHECK(port.size() <= 3 + zk4::PortSettingsReader::kMaxPortValue);
    ZK4_CHECK(port.find_first_of("COM=", 3) != 3);
    ZK4_CHECK(port.find_first_of(";\n") == std::string::npos);
    ZK4_CHECK(port.find_first_of("abcdefghijklmnopqrstuvwxyz") == std::string::npos);

    // Read blocks can end anywhere, even inside "COM" or a line ending.
    const std::size_t cut = size == 0 ? 0 : data[0] % (size + 1);
    zk4::PortSettingsReader reader;
    reader.Feed(input.substr(0, cut));
    reader.Feed(input.substr(cut));
    reader.Finish();
    ZK4_CHECK(reader.Setting() == setting);

    // The port in force, saved, reads back as itself without a new save request.
    const zk4::PortSetting readBack = zk4::ParsePortSettings(zk4::PortRecord(port));
    ZK4_CHECK(readBack.port == port && !readBack.savePending);

    // Any name (the first line) is written as "COM=", the name less its leading run of C, O and
    // M (case-sensitive), and ";\r\n".
    const std::string_view name = input.substr(0, input.find('\n'));
    const std::string record = zk4::PortRecord(name);
    ZK4_CHECK(record.size() >= 7 && record.compare(0, 4, "COM=") == 0);
    ZK4_CHECK(record.compare(record.size() - 3, 3, ";\r\n") == 0);
    const std::string_view text = std::string_view(record).substr(4, record.size() - 7);
    ZK4_CHECK(name.ends_with(text) && text.find_first_of("COM") != 0);
    ZK4_CHECK(name.substr(0, name.size() - text.size()).find_first_not_of("COM") ==
              std::string_view::npos);

    return 0;
}
