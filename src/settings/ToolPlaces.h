// Where the tool's files are: the settings file ZK4.ini, the folders whose COMn links name the
// ports, and the translations. One rule for the window, its --help and zk4ctl; finding them
// changes nothing on the disk.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "settings/FileSystem.h"

namespace zk4 {

// The folder of the tool's data under the installation prefix: <prefix>/share/zk4-toolset.
inline constexpr std::string_view kDataFolderName = "zk4-toolset";

struct ToolPlaces {
    bool installed = false;        // run from where it was installed (see FindToolPlaces)
    std::string settingsFile;      // where ZK4.ini is read (and by the window written): one of
                                   // the two below
    std::string settingsBeside;    // beside the executable: a portable copy
    std::string settingsInConfig;  // in the user's configuration folder: an installed copy
    std::vector<std::string> portsFolders;  // searched in this order for a link COMn
    std::string translationsFolder;         // where zk4_<language>.qm is looked for
};

// `executablePath` is the path of the program ZK4 (zk4ctl, which lives beside it, passes ZK4's
// path in its own folder); `configDir` the user's configuration folder for the tool
// (UserConfigFolder), empty for none. Both are paths as the system spells them.
//
// A copy is installed when the executable is <prefix>/bin/ZK4 and <prefix>/share/zk4-toolset is
// a folder, whatever the prefix (/usr, ~/.local, a package unpacked anywhere). An installed
// copy never writes beside itself, whoever runs it, root included: its settings and port links
// are in configDir and its translations in <prefix>/share/zk4-toolset/translations.
//
// Any other copy is portable: its settings live beside the executable (SettingsFilePath) when
// its folder can be written by this process, or when the file there already exists and can be
// read and written; otherwise in configDir. Its port links are looked for in ports/ beside the
// executable, then in configDir/ports; its translations in translations/ beside it.
//
// Without a configuration folder at all, everything stays beside the executable.
ToolPlaces FindToolPlaces(std::string_view executablePath, std::string_view configDir,
                          FileSystem& files = NativeFileSystem());

// For a program that writes the settings: makes the folder of places.settingsFile when it is
// the configuration folder, with any missing parents, private to the user where the platform
// has modes. A folder that cannot be made is not reported here: the first open names it.
void MakeSettingsFolder(const ToolPlaces& places, FileSystem& files = NativeFileSystem());

}  // namespace zk4
