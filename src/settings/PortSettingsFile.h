// Port settings file: remembers the chosen COM port in ZK4.ini (grammar in PortSettingsFormat.h).
//
// Every open is exclusive (FileSystem.h): no other program, and no other instance of the tool,
// can have the file open while it is read, written or cut.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "settings/FileSystem.h"
#include "settings/PortSettingsFormat.h"
#include "text/UserText.h"

namespace zk4 {

// The executable's path with its trailing run of the characters of "ZK4.exe" removed
// (case-sensitive), then "ZK4.ini": /opt/zk4/ZK4 -> /opt/zk4/ZK4.ini,
// /opt/zk4/Setup.exe -> /opt/zk4/SetupZK4.ini, /opt/zk4/ZK4.EXE -> /opt/zk4/ZK4.EXEZK4.ini.
std::string SettingsFilePath(std::string_view executablePath);

struct PortLoadResult {
    std::string port{kDefaultPort};  // the last port line's name, or "COM1"
    bool savePending = false;        // a malformed port line asks for the port to be written back
    std::optional<UserText> writeError;  // the default record could not be written
};

struct PortSaveResult {
    std::optional<UserText> error;  // what went wrong, for the user; none when saved
};

// The settings file object: no file is held open between operations.
class PortSettingsFile {
  public:
    explicit PortSettingsFile(std::string path = {}, FileSystem& files = NativeFileSystem())
        : m_path(std::move(path)), m_files(&files) {}

    const std::string& Path() const { return m_path; }
    void SetPath(std::string path) { m_path = std::move(path); }

    // Reads the port; creates the file with "COM=1;\r\n" when it is missing, unreadable or empty.
    PortLoadResult Load();

    // Writes PortRecord(portName) at offset 0 of the existing file, without shortening it.
    PortSaveResult Save(std::string_view portName);

  private:
    std::string m_path;
    FileSystem* m_files;
};

}  // namespace zk4
