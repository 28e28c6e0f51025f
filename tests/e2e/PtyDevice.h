// The device end of a pseudo-terminal for end-to-end tests: the tool opens the slave through a
// ports/COMn link; the test reads and writes the master. A reader thread stamps every byte
// the tool writes with the time it arrived, so pacing can be checked.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace zk4::test {

class PtyDevice {
  public:
    using Clock = std::chrono::steady_clock;
    struct Arrival {
        std::uint8_t byte;
        Clock::time_point at;
    };

    // Opens a pty in raw mode and links `<portsDir>/<portName>` to its slave.
    PtyDevice(const std::filesystem::path& portsDir, const std::string& portName);
    ~PtyDevice();
    PtyDevice(const PtyDevice&) = delete;
    PtyDevice& operator=(const PtyDevice&) = delete;

    const std::string& SlavePath() const { return m_slavePath; }
    void Send(std::string_view bytes);

    std::vector<Arrival> Received() const;
    std::string ReceivedText() const;
    void ClearReceived();

    // Closes the master, as an unplugged adapter would hang up the line.
    void HangUp();

  private:
    void ReadLoop();

    std::atomic<int> m_master{-1};
    int m_slaveKeepAlive = -1;
    std::string m_slavePath;
    std::filesystem::path m_link;
    std::atomic<bool> m_stop{false};
    mutable std::mutex m_mutex;
    std::vector<Arrival> m_received;
    std::thread m_reader;
};

}  // namespace zk4::test
