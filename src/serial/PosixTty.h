// What QSerialPort does not do for us on a POSIX tty: tell a hung-up line from a quiet one,
// empty the driver, honour other programs' lock files, lock the device, and say precisely why
// a device cannot be opened.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "serial/PortFailures.h"

namespace zk4 {

// True when the line is gone: the other end of a pseudo-terminal closed, or the tty was hung
// up (a USB adapter pulled out). False for a negative descriptor.
bool LineHungUp(int fd);

// Appends everything the driver still holds for `fd` (a tty with VMIN = VTIME = 0).
void DrainKernel(int fd, std::vector<std::uint8_t>& out);

// The pid a lock file's text starts with: leading spaces, then up to ten digits (the lockdev
// format is "      1234\n"); 0 when there is none.
long LockFilePid(std::string_view text);

// The live process, other than this one, that holds a lock file on the device; 0 for none.
long ForeignLockOwner(const std::string& device);

struct TtyRefusal {
    PortFailure cause;
    std::string detail;  // as FailureSentence takes it
};

// Why the device cannot be opened, found before trying: it is missing, we may not read and
// write it, or another program's lock file names it. Nothing when none of these holds.
std::optional<TtyRefusal> CheckBeforeOpen(const std::string& device);

// Takes an exclusive advisory lock on the open device `fd`; the refusal when that fails.
std::optional<TtyRefusal> LockDevice(int fd);

}  // namespace zk4
