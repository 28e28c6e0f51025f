// Port settings file: remembers the chosen COM port in ZK4.ini beside the executable.
//
// The file is untrusted input (it may be edited by hand): it is read byte by byte, bounded,
// and every malformed line falls back to a default. Every open is exclusive: an advisory
// lock (flock) is taken before anything is read, written or truncated, so two instances of
// the tool can never write the file at the same time.
#pragma once

#include <string>
#include <string_view>
#include <utility>

namespace zk4 {

// The executable's path with its trailing run of the characters of "ZK4.exe" removed
// (case-sensitive), then "ZK4.ini": /opt/zk4/ZK4 -> /opt/zk4/ZK4.ini,
// /opt/zk4/Setup.exe -> /opt/zk4/SetupZK4.ini, /opt/zk4/ZK4.EXE -> /opt/zk4/ZK4.EXEZK4.ini.
std::string SettingsFilePath(std::string_view executablePath);

struct PortLoadResult {
    std::string port = "COM1";  // the last port line's name, or "COM1"
    bool savePending = false;   // a malformed port line asks for the port to be written back
    std::string writeError;     // non-empty when the default record could not be written
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

    // Writes "COM=" + the port name without its leading C/O/M run + ";\r\n" at offset 0 of the
    // existing file, without shortening it.
    PortSaveResult Save(std::string_view portName);

  private:
    std::string m_path;
};

}  // namespace zk4
