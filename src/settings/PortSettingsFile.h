// Port settings file: remembers the chosen COM port in ZK4.ini (grammar in PortSettingsFormat.h).
//
// Every open is exclusive: an advisory lock (flock) is taken before anything is read, written or
// truncated, so two instances of the tool can never write the file at the same time.
#pragma once

#include <string>
#include <string_view>
#include <utility>

#include "settings/PortSettingsFormat.h"

namespace zk4 {

// The executable's path with its trailing run of the characters of "ZK4.exe" removed
// (case-sensitive), then "ZK4.ini": /opt/zk4/ZK4 -> /opt/zk4/ZK4.ini,
// /opt/zk4/Setup.exe -> /opt/zk4/SetupZK4.ini, /opt/zk4/ZK4.EXE -> /opt/zk4/ZK4.EXEZK4.ini.
std::string SettingsFilePath(std::string_view executablePath);

// Where the settings live. SettingsFilePath(executablePath) when the executable's folder can be
// written by this process (a portable copy), or when the file there already exists and can be
// read and written; otherwise configDir + "/ZK4.ini" (an installed copy; configDir is the
// per-user folder, e.g. $XDG_CONFIG_HOME/ZK4), creating configDir and any missing parents with
// mode 0700. An empty configDir keeps the file beside the executable. A folder that cannot be
// created is not reported here: the first Load() then fails with a sentence naming the path.
std::string ChooseSettingsPath(std::string_view executablePath, std::string_view configDir);

struct PortLoadResult {
    std::string port{kDefaultPort};  // the last port line's name, or "COM1"
    bool savePending = false;        // a malformed port line asks for the port to be written back
    std::string writeError;          // non-empty when the default record could not be written
};

struct PortSaveResult {
    bool ok = true;
    std::string error;  // what went wrong, in words for the user, when !ok
};

// The settings file object: no file is held open between operations.
class PortSettingsFile {
  public:
    PortSettingsFile() = default;
    explicit PortSettingsFile(std::string path) : m_path(std::move(path)) {}

    const std::string& Path() const { return m_path; }
    void SetPath(std::string path) { m_path = std::move(path); }

    // Reads the port; creates the file with "COM=1;\r\n" when it is missing, unreadable or empty.
    PortLoadResult Load();

    // Writes PortRecord(portName) at offset 0 of the existing file, without shortening it.
    PortSaveResult Save(std::string_view portName);

  private:
    std::string m_path;
};

}  // namespace zk4
