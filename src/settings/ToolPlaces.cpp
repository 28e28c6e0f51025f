#include "settings/ToolPlaces.h"

#include <filesystem>

#include "settings/PortSettingsFile.h"

namespace zk4 {
namespace {

namespace fs = std::filesystem;

// With its trailing separator, so that a file in the root folder gives "/".
std::string FolderOf(std::string_view path, std::string_view separators) {
    const std::size_t end = path.find_last_of(separators);
    return end == std::string_view::npos ? "." : std::string(path.substr(0, end + 1));
}

// Paths are UTF-8 on Windows and bytes elsewhere; as UTF-8 text, both reach the file system
// unchanged.
fs::path PathOf(std::string_view path) {
    return fs::path(std::u8string(reinterpret_cast<const char8_t*>(path.data()), path.size()));
}
std::string TextOf(const fs::path& path) {
    const std::u8string text = path.u8string();
    return {reinterpret_cast<const char*>(text.data()), text.size()};
}

// <prefix>/bin/ZK4 with <prefix>/share/zk4-toolset beside it.
bool Installed(const fs::path& executable) {
    const fs::path bin = executable.parent_path();
    std::error_code ignored;
    return bin.filename() == "bin" &&
           fs::is_directory(bin.parent_path() / "share" / PathOf(kDataFolderName), ignored);
}

}  // namespace

ToolPlaces FindToolPlaces(std::string_view executablePath, std::string_view configDir,
                          FileSystem& files) {
    std::error_code ignored;  // a path that cannot be made absolute is used as it stands
    fs::path exe = fs::absolute(PathOf(executablePath), ignored);
    if (exe.empty()) {
        exe = PathOf(executablePath);
    }
    exe = exe.lexically_normal();

    ToolPlaces places;
    places.settingsBeside = SettingsFilePath(executablePath);
    std::string config(configDir);
    if (!config.empty()) {
        if (files.Separators().find(config.back()) == std::string_view::npos) {
            config += files.Separators().front();
        }
        places.settingsInConfig = config + "ZK4.ini";
    }
    places.installed = Installed(exe);
    // Creating the file needs the right to create files in the folder. An existing file that
    // can be read and written serves as it is.
    const bool beside =
        config.empty() ||
        (!places.installed && (files.CanCreateIn(FolderOf(executablePath, files.Separators())) ||
                               files.CanReadAndWrite(places.settingsBeside)));
    places.settingsFile = beside ? places.settingsBeside : places.settingsInConfig;

    if (!places.installed || config.empty()) {
        places.portsFolders.push_back(TextOf(exe.parent_path() / "ports"));
    }
    if (!config.empty()) {
        places.portsFolders.push_back(config + "ports");
    }
    places.translationsFolder =
        TextOf(places.installed ? exe.parent_path().parent_path() / "share" /
                                      PathOf(kDataFolderName) / "translations"
                                : exe.parent_path() / "translations");
    return places;
}

void MakeSettingsFolder(const ToolPlaces& places, FileSystem& files) {
    if (places.settingsFile == places.settingsBeside) {
        return;
    }
    // Every folder along the path, from the top; those that exist fail to be made, harmlessly.
    const std::string folder = FolderOf(places.settingsFile, files.Separators());
    std::size_t end = 0;
    do {
        end = folder.find_first_of(files.Separators(), end + 1);
        files.MakeFolder(folder.substr(0, end));
    } while (end != std::string::npos);
}

}  // namespace zk4
