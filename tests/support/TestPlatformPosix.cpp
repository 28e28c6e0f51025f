#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <iostream>

#include "support/TestPlatform.h"

namespace zk4::test {

bool PosixSystem() {
    return true;
}

std::string NullDevice() {
    return "/dev/null";
}

bool RunningAsRoot() {
    return ::geteuid() == 0;
}

std::string RerunCurrentTestAsNobody() {
    const testing::TestInfo& test = *testing::UnitTest::GetInstance()->current_test_info();
    const std::string filter = std::string(test.test_suite_name()) + "." + test.name();
    const std::string command = "setpriv --reuid=65534 --regid=65534 --clear-groups '" +
                                std::filesystem::read_symlink("/proc/self/exe").string() +
                                "' '--gtest_filter=" + filter + "' 2>&1";
    FILE* child = ::popen(command.c_str(), "r");
    if (child == nullptr) {
        return "cannot start: " + command;
    }
    std::string output;
    std::array<char, 4096> chunk{};
    for (std::size_t n = 0; (n = std::fread(chunk.data(), 1, chunk.size(), child)) > 0;) {
        output.append(chunk.data(), n);
    }
    const int status = ::pclose(child);
    std::cerr << output;
    const bool passed = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    // A filter that selects nothing passes too; exactly this one test must have run.
    if (!passed || output.find("[  PASSED  ] 1 test.") == std::string::npos ||
        output.find("[  SKIPPED ]") != std::string::npos) {
        return command + " ended with status " + std::to_string(status) + ":\n" + output;
    }
    return {};
}

}  // namespace zk4::test
