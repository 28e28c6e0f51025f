// ZK4.ini as bytes: the reading grammar of its port lines and the one record the tool writes.
// No files and no OS calls here; PortSettingsFile.h does the locking and the I/O.
//
// The file is untrusted input (it may be edited by hand): it is read byte by byte with bounded
// memory, and every malformed port line falls back to the default port.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace zk4 {

inline constexpr std::string_view kDefaultPort = "COM1";
// Written to a missing or empty settings file.
inline constexpr std::string_view kDefaultPortRecord = "COM=1;\r\n";

struct PortSetting {
    std::string port{kDefaultPort};  // the last port line's name, or "COM1"
    bool savePending = false;        // a malformed port line asks for the port to be written back

    friend bool operator==(const PortSetting&, const PortSetting&) = default;
};

// Reads a settings file's lines from pieces of any size. A line ends after a line feed or at
// the end of the file. A line whose first byte (before upper-casing) is ';', '/', CR or LF is
// skipped; an upper-cased line starting with "COM" is a port line whose value lies after the
// leading run of 'C', 'O', 'M' and '=' and before the first ';'. An empty value, no ';', or a
// value longer than kMaxPortValue makes the line malformed: port "COM1" and a save request
// that a later good line does not withdraw. The last port line decides the port.
class PortSettingsReader {
  public:
    // Real port values are one or two digits; a longer value than this counts as a damaged line,
    // which bounds the memory a line of any length costs.
    static constexpr std::size_t kMaxPortValue = 4096;

    void Feed(std::string_view bytes);
    // The file has no bytes left: an unfinished last line counts as a line.
    void Finish();

    const PortSetting& Setting() const { return m_setting; }

  private:
    enum class State {
        LineStart,
        Prefix,     // matching "COM"
        Strip,      // inside the leading run of C, O, M and '='
        Value,      // collecting the text before the first ';'
        PortLine,   // a good port line; the rest of the line is ignored
        Malformed,  // a port line without a usable value; the rest is ignored
        Ignored,    // a comment, a blank line or not a port line
    };

    void Put(char c);
    void EndLine();

    State m_state = State::LineStart;
    std::size_t m_prefixLength = 0;
    std::string m_value;
    PortSetting m_setting;
};

// The setting held by a whole file's bytes.
PortSetting ParsePortSettings(std::string_view bytes);

// The record written for a port: "COM=" + portName without its leading run of 'C', 'O' and 'M'
// + ";\r\n". Case-sensitive on purpose: "com5" gives "COM=com5;\r\n", which reads back as COM5.
std::string PortRecord(std::string_view portName);

}  // namespace zk4
