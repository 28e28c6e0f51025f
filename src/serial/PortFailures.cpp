#include "serial/PortFailures.h"

namespace zk4 {
namespace {

// The places of every sentence: %1 the port, %2 its device, %3 the detail, %4 the settings.
const char* Pattern(PortFailure cause, bool withDetail) {
    switch (cause) {
        case PortFailure::NotExist:
            return QT_TRANSLATE_NOOP("zk4",
                                     "Cannot open %1 (%2): the device does not exist. Check that "
                                     "the adapter is plugged in, or link ports/%1 to the right "
                                     "device.");
        case PortFailure::PermissionDenied:
            return QT_TRANSLATE_NOOP("zk4",
                                     "Cannot open %1 (%2): permission denied. Add your user to the "
                                     "dialout group (sudo usermod -aG dialout $USER), then log out "
                                     "and in again.");
        case PortFailure::InUse:
            return withDetail
                       ? QT_TRANSLATE_NOOP("zk4",
                                           "Cannot open %1 (%2): the port is in use by "
                                           "another program (process %3).")
                       : QT_TRANSLATE_NOOP("zk4",
                                           "Cannot open %1 (%2): the port is in use by another "
                                           "program.");
        case PortFailure::LockFailed:
            return QT_TRANSLATE_NOOP("zk4", "Cannot open %1 (%2): cannot lock the device: %3.");
        case PortFailure::OpenFailed:
            return QT_TRANSLATE_NOOP("zk4", "Cannot open %1 (%2): %3.");
        case PortFailure::SettingsRefusedAtOpen:
            return QT_TRANSLATE_NOOP(
                "zk4", "Cannot open %1 (%2): the device does not accept the settings %4 (%3).");
        case PortFailure::SettingsRefused:
            return QT_TRANSLATE_NOOP("zk4",
                                     "Cannot apply the settings %4 to %1 (%2): the device does not "
                                     "accept them (%3).");
        case PortFailure::InvalidSettings:
            return QT_TRANSLATE_NOOP("zk4",
                                     "Invalid serial settings \"%4\": expected baud rate, parity, "
                                     "data bits and stop bits, such as 115200,n,8,1.");
        case PortFailure::NotOpenForWrite:
            return QT_TRANSLATE_NOOP("zk4", "Cannot write to %1: the port is not open.");
        case PortFailure::NotOpenForRead:
            return QT_TRANSLATE_NOOP("zk4", "Cannot read from %1: the port is not open.");
        case PortFailure::Disconnected:
            return QT_TRANSLATE_NOOP("zk4",
                                     "Cannot write to %1 (%2): the device was disconnected. Check "
                                     "the cable and the adapter.");
        case PortFailure::WriteStuck:
            return QT_TRANSLATE_NOOP("zk4",
                                     "Cannot write to %1 (%2): the device does not take the data. "
                                     "Check the cable, the adapter and the flow control.");
        case PortFailure::WriteFailed:
            return QT_TRANSLATE_NOOP("zk4", "Cannot write to %1 (%2): %3.");
    }
    return "";  // every cause returned above
}

}  // namespace

UserText FailureSentence(PortFailure cause, std::string_view port, std::string_view device,
                         std::string_view detail, std::string_view settings) {
    return {Pattern(cause, !detail.empty()),
            {std::string(port), std::string(device), std::string(detail), std::string(settings)}};
}

}  // namespace zk4
