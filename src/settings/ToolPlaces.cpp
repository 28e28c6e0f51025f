#include "settings/ToolPlaces.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "settings/PortSettingsFile.h"

namespace zk4 {
namespace {

bool Accessible(const std::string& path, int mode) {
    return ::faccessat(AT_FDCWD, path.c_str(), mode, AT_EACCESS) == 0;
}

// With its trailing '/', so that a file in the root folder gives "/".
std::string FolderOf(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? "." : std::string(path.substr(0, slash + 1));
}

}  // namespace

ToolPlaces FindToolPlaces(std::string_view executablePath, std::string_view configDir) {
    ToolPlaces places;
    places.settingsBeside = SettingsFilePath(executablePath);
    std::string config(configDir);
    if (!config.empty()) {
        places.settingsInConfig = config + (config.back() == '/' ? "" : "/") + "ZK4.ini";
    }
    // Creating the file needs write and search access to the folder. An existing file that can
    // be read and written serves as it is.
    const bool beside = config.empty() || Accessible(FolderOf(executablePath), W_OK | X_OK) ||
                        Accessible(places.settingsBeside, R_OK | W_OK);
    places.settingsFile = beside ? places.settingsBeside : places.settingsInConfig;

    std::error_code ignored;  // a path that cannot be made absolute is used as it stands
    std::filesystem::path exe = std::filesystem::absolute(std::string(executablePath), ignored);
    if (exe.empty()) {
        exe = std::string(executablePath);
    }
    places.portsFolders.push_back((exe.parent_path() / "ports").string());
    if (!config.empty()) {
        places.portsFolders.push_back(config + "/ports");
    }
    return places;
}

void MakeSettingsFolder(const ToolPlaces& places) {
    if (places.settingsFile == places.settingsBeside) {
        return;
    }
    const std::string folder = FolderOf(places.settingsFile);
    std::size_t slash = 0;
    do {
        slash = folder.find('/', slash + 1);
        // Parts that exist already fail with EEXIST; a real failure shows at the first open.
        ::mkdir(folder.substr(0, slash).c_str(), 0700);
    } while (slash != std::string::npos);
}

}  // namespace zk4
