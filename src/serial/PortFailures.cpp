#include "serial/PortFailures.h"

namespace zk4 {

std::string FailureSentence(PortFailure cause, std::string_view port, std::string_view device,
                            std::string_view detail, std::string_view settings) {
    const std::string label = std::string(port) + " (" + std::string(device) + ")";
    const std::string open = "Cannot open " + label + ": ";
    const std::string write = "Cannot write to " + label + ": ";
    const std::string reason = "(" + std::string(detail) + ").";
    switch (cause) {
        case PortFailure::NotExist:
            return open +
                   "the device does not exist. Check that the adapter is plugged in, or link "
                   "ports/" +
                   std::string(port) + " to the right device.";
        case PortFailure::PermissionDenied:
            return open +
                   "permission denied. Add your user to the dialout group (sudo usermod -aG "
                   "dialout $USER), then log out and in again.";
        case PortFailure::InUse:
            return open + "the port is in use by another program" +
                   (detail.empty() ? "" : " (process " + std::string(detail) + ")") + ".";
        case PortFailure::LockFailed:
            return open + "cannot lock the device: " + std::string(detail) + ".";
        case PortFailure::OpenFailed:
            return open + std::string(detail) + ".";
        case PortFailure::SettingsRefusedAtOpen:
            return open + "the device does not accept the settings " + std::string(settings) + " " +
                   reason;
        case PortFailure::SettingsRefused:
            return "Cannot apply the settings " + std::string(settings) + " to " + label +
                   ": the device does not accept them " + reason;
        case PortFailure::InvalidSettings:
            return "Invalid serial settings \"" + std::string(settings) +
                   "\": expected baud rate, parity, data bits and stop bits, such as "
                   "115200,n,8,1.";
        case PortFailure::NotOpenForWrite:
            return "Cannot write to " + std::string(port) + ": the port is not open.";
        case PortFailure::NotOpenForRead:
            return "Cannot read from " + std::string(port) + ": the port is not open.";
        case PortFailure::Disconnected:
            return write +
                   "the device was disconnected. Check the cable and the adapter, then connect "
                   "again.";
        case PortFailure::WriteStuck:
            return write +
                   "the device does not take the data. Check the cable, the adapter and the flow "
                   "control.";
        case PortFailure::WriteFailed:
            return write + std::string(detail) + ".";
    }
    return {};  // every cause returned above
}

}  // namespace zk4
