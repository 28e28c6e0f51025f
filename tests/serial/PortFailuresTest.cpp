#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "serial/PortFailures.h"
#include "serial/PosixTty.h"

namespace zk4 {
namespace {

TEST(FailureSentence, OneSentencePerCauseNamingThePortTheDeviceAndTheRemedy) {
    using enum PortFailure;
    const std::string open = "Cannot open COM7 (/dev/ttyUSB6): ";
    const std::string write = "Cannot write to COM7 (/dev/ttyUSB6): ";
    const std::vector<std::tuple<PortFailure, std::string, std::string>> rows = {
        {NotExist, "",
         open + "the device does not exist. Check that the adapter is plugged in, or link "
                "ports/COM7 to the right device."},
        {PermissionDenied, "",
         open + "permission denied. Add your user to the dialout group (sudo usermod -aG "
                "dialout $USER), then log out and in again."},
        {InUse, "", open + "the port is in use by another program."},
        {InUse, "4321", open + "the port is in use by another program (process 4321)."},
        {LockFailed, "I/O error", open + "cannot lock the device: I/O error."},
        {OpenFailed, "No such file", open + "No such file."},
        {SettingsRefusedAtOpen, "Bad",
         open + "the device does not accept the settings 9600,e,7,1 (Bad)."},
        {SettingsRefused, "Bad",
         "Cannot apply the settings 9600,e,7,1 to COM7 (/dev/ttyUSB6): the device does not "
         "accept them (Bad)."},
        {InvalidSettings, "",
         "Invalid serial settings \"9600,e,7,1\": expected baud rate, parity, data bits and stop "
         "bits, such as 115200,n,8,1."},
        {NotOpenForWrite, "", "Cannot write to COM7: the port is not open."},
        {NotOpenForRead, "", "Cannot read from COM7: the port is not open."},
        {Disconnected, "",
         write + "the device was disconnected. Check the cable and the adapter, then connect "
                 "again."},
        {WriteStuck, "",
         write + "the device does not take the data. Check the cable, the adapter and the flow "
                 "control."},
        {WriteFailed, "Broken pipe", write + "Broken pipe."},
    };
    for (const auto& [cause, detail, sentence] : rows) {
        EXPECT_EQ(FailureSentence(cause, "COM7", "/dev/ttyUSB6", detail, "9600,e,7,1"), sentence);
    }
}

TEST(LockFilePid, LeadingSpacesThenUpToTenDigits) {
    const std::vector<std::pair<std::string, long>> cases = {
        {"      1234\n", 1234},
        {"98765", 98765},
        {"5 6\n", 5},
        {"", 0},
        {"x12", 0},
        {"\n12", 0},
        {"12x3", 12},
        {"12345678901", 1234567890},
    };
    for (const auto& [text, pid] : cases) {
        EXPECT_EQ(LockFilePid(text), pid) << '"' << text << '"';
    }
}

}  // namespace
}  // namespace zk4
