// What the tests need to know or do that differs between POSIX systems and Windows, one file
// per platform (TestPlatformPosix.cpp, TestPlatformWin.cpp).
#pragma once

#include <string>

namespace zk4::test {

// A POSIX system: files have modes and owners that can refuse this process, links, and
// devices under /dev. False on Windows.
bool PosixSystem();

// A name that opens like a file but is a device: /dev/null, NUL.
std::string NullDevice();

// Root ignores file modes, so a test about them must run as another user.
bool RunningAsRoot();

// Runs the current test again in a child process as uid and gid 65534, with only that test
// selected, and shows its output. Empty when it ran and passed; otherwise what went wrong,
// also when the filter selected no test at all.
std::string RerunCurrentTestAsNobody();

}  // namespace zk4::test
