// The sentences a refused serial operation carries to the user: one cause each, naming the
// port, the device behind it and what to do.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "text/UserText.h"

namespace zk4 {

enum class PortFailure : std::uint8_t {
    NotExist,               // open: no device at the path
    PermissionDenied,       // open: no read and write access to the device
    InUse,                  // open: another program holds the device
    LockFailed,             // open: the advisory lock failed for another reason
    OpenFailed,             // open: any other refusal
    SettingsRefusedAtOpen,  // open: the device refuses the configured line settings
    SettingsRefused,        // configure while open: the device refuses the new settings
    InvalidSettings,        // configure: the settings text does not parse
    NotOpenForWrite,
    NotOpenForRead,
    Disconnected,  // write: the device went away while the port was open
    WriteStuck,    // write: the device does not take the bytes in time
    WriteFailed,   // write: any other refusal
};

// `port` is the port's name ("COM3"), `device` the path behind it. `detail` is the process
// number for InUse (empty when unknown) and the system's own reason for LockFailed,
// OpenFailed, WriteFailed and the two settings refusals; `settings` is the settings text the
// settings causes are about. Causes that do not need a value ignore it.
UserText FailureSentence(PortFailure cause, std::string_view port, std::string_view device,
                         std::string_view detail = {}, std::string_view settings = {});

}  // namespace zk4
