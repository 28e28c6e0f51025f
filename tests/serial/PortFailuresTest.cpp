#include "serial/PortFailures.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "serial/PosixTty.h"

namespace zk4 {
namespace {

// Each row holds the part of the sentence that tells the causes apart.
TEST(FailureSentence, OneSentencePerCauseNamingThePortTheDeviceAndTheRemedy) {
    using enum PortFailure;
    const std::vector<std::tuple<PortFailure, std::string, std::string>> rows = {
        {NotExist, "", "open COM7 (/dev/ttyUSB6): the device does not exist. Check"},
        {PermissionDenied, "", "COM7 (/dev/ttyUSB6): permission denied. Add your user to"},
        {InUse, "4321", "the port is in use by another program (process 4321)."},
        {LockFailed, "I/O error", "open COM7 (/dev/ttyUSB6): cannot lock the device: I/O error."},
        {SettingsRefusedAtOpen, "Bad", "): the device does not accept the settings 9600,e,7,1 ("},
        {SettingsRefused, "Bad", "Cannot apply the settings 9600,e,7,1 to COM7 (/dev/ttyUSB6)"},
        {InvalidSettings, "", "Invalid serial settings \"9600,e,7,1\": expected baud rate"},
        {NotOpenForWrite, "", "Cannot write to COM7: the port is not open."},
        {Disconnected, "", "write to COM7 (/dev/ttyUSB6): the device was disconnected. Check"},
        {WriteStuck, "", "write to COM7 (/dev/ttyUSB6): the device does not take the data."},
        {WriteFailed, "Broken pipe", "Cannot write to COM7 (/dev/ttyUSB6): Broken pipe."},
    };
    for (const auto& [cause, detail, part] : rows) {
        EXPECT_THAT(FailureSentence(cause, "COM7", "/dev/ttyUSB6", detail, "9600,e,7,1"),
                    testing::HasSubstr(part));
    }
}

TEST(LockFilePid, LeadingSpacesThenUpToTenDigits) {
    const std::vector<std::pair<std::string, long>> cases = {
        {"      1234\n", 1234},      {"5 6\n", 5}, {"", 0}, {"x12", 0}, {"12x3", 12},
        {"12345678901", 1234567890},
    };
    for (const auto& [text, pid] : cases) {
        EXPECT_EQ(LockFilePid(text), pid) << '"' << text << '"';
    }
}

}  // namespace
}  // namespace zk4
