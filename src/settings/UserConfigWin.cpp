// The roaming application data folder, %APPDATA%\ZK4, as Windows programs keep their settings
// (QStandardPaths would give the local one). The environment is read in UTF-16 and handed on
// in UTF-8, so a user name with accents reaches the file operations intact.
#include <windows.h>

#include <cstdlib>
#include <cwchar>

#include "settings/UserConfig.h"

namespace zk4 {
namespace {

std::string Utf8(const wchar_t* text) {
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1) {
        return {};
    }
    std::string out(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), size, nullptr, nullptr);
    out.resize(static_cast<std::size_t>(size - 1));
    return out;
}

std::wstring Wide(const char* text) {
    std::wstring out;
    for (; *text != '\0'; ++text) {
        out += static_cast<wchar_t>(static_cast<unsigned char>(*text));  // ASCII names only
    }
    return out;
}

// "C:\..." or "\\server\...": a relative value would move with the working folder.
bool Absolute(const std::string& path) {
    return (path.size() >= 3 && path[1] == ':' && (path[2] == '\\' || path[2] == '/')) ||
           path.starts_with("\\\\");
}

std::string Below(std::string folder, const char* name) {
    while (!folder.empty() && (folder.back() == '\\' || folder.back() == '/')) {
        folder.pop_back();
    }
    return folder + "\\" + name;
}

}  // namespace

const Environment& SystemEnvironment() {
    static const Environment environment = [](const char* name) -> std::optional<std::string> {
        if (const wchar_t* value = ::_wgetenv(Wide(name).c_str())) {
            return Utf8(value);
        }
        return std::nullopt;
    };
    return environment;
}

std::string UserConfigFolder(const Environment& environment) {
    if (const auto appData = environment("APPDATA"); appData && Absolute(*appData)) {
        return Below(*appData, "ZK4");
    }
    if (const auto profile = environment("USERPROFILE"); profile && Absolute(*profile)) {
        return Below(Below(Below(*profile, "AppData"), "Roaming"), "ZK4");
    }
    return {};
}

}  // namespace zk4
