// One line of a wire trace: what the tool (--trace) and the simulator (--log) write for every
// chunk of bytes they send or receive, so that the two files read the same and merge by time.
//
//   <ms>.<µs> <tag> <bytes>\n
//
// The time is microseconds on the steady (monotonic) clock, written as milliseconds with three
// decimals; on one machine both programs share it. The tag is H>D for bytes from host to
// device, D>H for bytes from device to host, and -- for a note in words. Printable ASCII stands
// as it is; backslash, CR, LF and TAB are written \\ \r \n \t, every other byte \xHH.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zk4 {

enum class TraceKind { HostToDevice, DeviceToHost, Note };

// Appends one line, ended by LF, to `out`; at most 4 characters per byte plus 30. A negative
// time is written as 0.
void AppendTraceLine(std::string& out, std::int64_t us, TraceKind kind, std::string_view bytes);

}  // namespace zk4
