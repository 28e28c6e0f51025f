#include "settings/ToolPlaces.h"

#include <filesystem>

#include "settings/PortSettingsFile.h"

namespace zk4 {
namespace {

// With its trailing separator, so that a file in the root folder gives "/".
std::string FolderOf(std::string_view path, std::string_view separators) {
    const std::size_t end = path.find_last_of(separators);
    return end == std::string_view::npos ? "." : std::string(path.substr(0, end + 1));
}

}  // namespace

ToolPlaces FindToolPlaces(std::string_view executablePath, std::string_view configDir,
                          FileSystem& files) {
    ToolPlaces places;
    places.settingsBeside = SettingsFilePath(executablePath);
    std::string config(configDir);
    if (!config.empty()) {
        if (files.Separators().find(config.back()) == std::string_view::npos) {
            config += files.Separators().front();
        }
        places.settingsInConfig = config + "ZK4.ini";
    }
    // Creating the file needs the right to create files in the folder. An existing file that
    // can be read and written serves as it is.
    const bool beside = config.empty() ||
                        files.CanCreateIn(FolderOf(executablePath, files.Separators())) ||
                        files.CanReadAndWrite(places.settingsBeside);
    places.settingsFile = beside ? places.settingsBeside : places.settingsInConfig;

    std::error_code ignored;  // a path that cannot be made absolute is used as it stands
    std::filesystem::path exe = std::filesystem::absolute(std::string(executablePath), ignored);
    if (exe.empty()) {
        exe = std::string(executablePath);
    }
    places.portsFolders.push_back((exe.parent_path() / "ports").string());
    if (!config.empty()) {
        places.portsFolders.push_back(config + "ports");
    }
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
