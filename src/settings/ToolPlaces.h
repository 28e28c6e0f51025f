// Where the tool's files are: the settings file ZK4.ini and the folders whose COMn links name
// the ports. One rule for the window, its --help and zk4ctl; finding them changes nothing on
// the disk.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "settings/FileSystem.h"

namespace zk4 {

struct ToolPlaces {
    std::string settingsFile;      // where ZK4.ini is read (and by the window written): one of
                                   // the two below
    std::string settingsBeside;    // beside the executable: a portable copy
    std::string settingsInConfig;  // in the user's configuration folder: an installed copy
    std::vector<std::string> portsFolders;  // searched in this order for a link COMn
};

// `executablePath` is the path of the program ZK4 (zk4ctl, which lives beside it, passes ZK4's
// path in its own folder); `configDir` the user's configuration folder for the tool
// ($XDG_CONFIG_HOME/ZK4, %APPDATA%\ZK4), empty for none. Both are paths as the system spells them.
//
// The settings live beside the executable (SettingsFilePath) when its folder can be written by
// this process, or when the file there already exists and can be read and written; otherwise
// in configDir. Port links are looked for in ports/ beside the executable, then in
// configDir/ports.
ToolPlaces FindToolPlaces(std::string_view executablePath, std::string_view configDir,
                          FileSystem& files = NativeFileSystem());

// For a program that writes the settings: makes the folder of places.settingsFile when it is
// the configuration folder, with any missing parents, private to the user where the platform
// has modes. A folder that cannot be made is not reported here: the first open names it.
void MakeSettingsFolder(const ToolPlaces& places, FileSystem& files = NativeFileSystem());

}  // namespace zk4
