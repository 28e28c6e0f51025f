#include "serial/PortFailures.h"

#include <initializer_list>

namespace zk4 {
namespace {

// Appends the pieces in turn. (Chains of "text" + std::string make GCC 12 at -O3 warn about
// overlapping copies that cannot happen.)
std::string Join(std::initializer_list<std::string_view> pieces) {
    std::string out;
    for (const std::string_view piece : pieces) {
        out.append(piece);
    }
    return out;
}

}  // namespace

std::string FailureSentence(PortFailure cause, std::string_view port, std::string_view device,
                            std::string_view detail, std::string_view settings) {
    const std::string label = Join({port, " (", device, ")"});
    const std::string open = Join({"Cannot open ", label, ": "});
    const std::string write = Join({"Cannot write to ", label, ": "});
    switch (cause) {
        case PortFailure::NotExist:
            return Join({open,
                         "the device does not exist. Check that the adapter is plugged in, or "
                         "link ports/",
                         port, " to the right device."});
        case PortFailure::PermissionDenied:
            return Join({open,
                         "permission denied. Add your user to the dialout group (sudo usermod "
                         "-aG dialout $USER), then log out and in again."});
        case PortFailure::InUse:
            return detail.empty() ? Join({open, "the port is in use by another program."})
                                  : Join({open, "the port is in use by another program (process ",
                                          detail, ")."});
        case PortFailure::LockFailed:
            return Join({open, "cannot lock the device: ", detail, "."});
        case PortFailure::OpenFailed:
            return Join({open, detail, "."});
        case PortFailure::SettingsRefusedAtOpen:
            return Join(
                {open, "the device does not accept the settings ", settings, " (", detail, ")."});
        case PortFailure::SettingsRefused:
            return Join({"Cannot apply the settings ", settings, " to ", label,
                         ": the device does not accept them (", detail, ")."});
        case PortFailure::InvalidSettings:
            return Join({"Invalid serial settings \"", settings,
                         "\": expected baud rate, parity, data bits and stop bits, such as "
                         "115200,n,8,1."});
        case PortFailure::NotOpenForWrite:
            return Join({"Cannot write to ", port, ": the port is not open."});
        case PortFailure::NotOpenForRead:
            return Join({"Cannot read from ", port, ": the port is not open."});
        case PortFailure::Disconnected:
            return Join({write,
                         "the device was disconnected. Check the cable and the adapter, then "
                         "connect again."});
        case PortFailure::WriteStuck:
            return Join({write,
                         "the device does not take the data. Check the cable, the adapter and "
                         "the flow control."});
        case PortFailure::WriteFailed:
            return Join({write, detail, "."});
    }
    return {};  // every cause returned above
}

}  // namespace zk4
