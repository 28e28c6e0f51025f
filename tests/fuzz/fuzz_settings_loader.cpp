// Port settings file: arbitrary file contents through the loader, then a save over a copy.
#include <stdlib.h>  // mkdtemp

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

#include "FuzzCheck.h"
#include "settings/PortSettingsFile.h"

namespace {

namespace fs = std::filesystem;

// A private folder, made once per process and removed at exit. The name is kept in plain
// characters because static objects may already be destroyed when the exit handler runs.
char g_folder[4096];

void RemoveFolder() {
    std::error_code ignored;
    fs::remove_all(g_folder, ignored);
}

void WriteFile(const fs::path& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    ZK4_CHECK(out.good());
}

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    ZK4_CHECK(in.good());
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    const std::string pattern = (fs::temp_directory_path() / "zk4-fuzz-settings-XXXXXX").string();
    ZK4_CHECK(pattern.size() < sizeof g_folder);
    std::memcpy(g_folder, pattern.c_str(), pattern.size() + 1);
    ZK4_CHECK(::mkdtemp(g_folder) != nullptr);
    std::atexit(RemoveFolder);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const fs::path file = fs::path(g_folder) / "ZK4.ini";
    const fs::path copy = fs::path(g_folder) / "copy.ini";

    WriteFile(file, input);
    zk4::PortSettingsFile settings(file.string());
    const zk4::PortLoadResult loaded = settings.Load();

    // "COM" and the text before the first ';' of one upper-cased line: never empty, no ';',
    // no line feed, no lower-case letter.
    const std::string& port = loaded.port;
    ZK4_CHECK(port.size() > 3 && port.compare(0, 3, "COM") == 0);
    ZK4_CHECK(port.find_first_of(";\n") == std::string::npos);
    ZK4_CHECK(port.find_first_of("abcdefghijklmnopqrstuvwxyz") == std::string::npos);

    const std::string after = ReadFile(file);
    if (input.empty()) {
        ZK4_CHECK(after == "COM=1;\r\n");
        ZK4_CHECK(port == "COM1" && !loaded.savePending && loaded.writeError.empty());
    } else {
        ZK4_CHECK(after == input);  // loading never writes a non-empty file
    }

    // Save a port name taken from the input over a copy of what is on disk now.
    const std::string_view name = input.substr(0, input.find('\n')).substr(0, 40);
    WriteFile(copy, after);
    const zk4::PortSaveResult saved = zk4::PortSettingsFile(copy.string()).Save(name);
    ZK4_CHECK(saved.ok && saved.error.empty());

    const std::size_t digits = name.find_first_not_of("COM");
    const std::string record =
        "COM=" +
        std::string(digits == std::string_view::npos ? std::string_view{} : name.substr(digits)) +
        ";\r\n";
    const std::string written = ReadFile(copy);
    ZK4_CHECK(written.size() >= after.size());
    ZK4_CHECK(written.compare(0, record.size(), record) == 0);
    // Nothing beyond the record changes, and the file is not cut.
    ZK4_CHECK(written.size() == std::max(after.size(), record.size()));
    if (after.size() > record.size()) {
        ZK4_CHECK(written.compare(record.size(), std::string::npos, after, record.size()) == 0);
    }
    return 0;
}
