#include "e2e/PtyDevice.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <stdexcept>

namespace zk4::test {

PtyDevice::PtyDevice(const std::filesystem::path& portsDir, const std::string& portName) {
    int master = -1;
    int slave = -1;
    if (::openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) {
        throw std::runtime_error("openpty failed");
    }
    m_master = master;
    termios t{};
    ::tcgetattr(slave, &t);
    ::cfmakeraw(&t);
    ::tcsetattr(slave, TCSANOW, &t);
    m_slavePath = ::ttyname(slave);
    // Holding the slave open keeps the master readable while the tool has the port closed.
    m_slaveKeepAlive = slave;
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);

    std::filesystem::create_directories(portsDir);
    m_link = portsDir / portName;
    std::filesystem::remove(m_link);
    std::filesystem::create_symlink(m_slavePath, m_link);
    m_reader = std::thread([this] { ReadLoop(); });
}

PtyDevice::~PtyDevice() {
    m_stop = true;
    if (m_reader.joinable()) {
        m_reader.join();
    }
    HangUp();
    std::error_code ignored;
    std::filesystem::remove(m_link, ignored);
}

void PtyDevice::HangUp() {
    if (m_slaveKeepAlive >= 0) {
        ::close(m_slaveKeepAlive);
        m_slaveKeepAlive = -1;
    }
    const int fd = m_master.exchange(-1);
    if (fd >= 0) {
        ::close(fd);
    }
}

void PtyDevice::Send(std::string_view bytes) {
    std::size_t done = 0;
    while (done < bytes.size() && m_master >= 0) {
        const ssize_t n = ::write(m_master, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else {
            pollfd p{m_master, POLLOUT, 0};
            ::poll(&p, 1, 10);
        }
    }
}

void PtyDevice::ReadLoop() {
    while (!m_stop) {
        const int fd = m_master;
        if (fd < 0) {
            return;
        }
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 5) <= 0 || !(p.revents & POLLIN)) {
            continue;
        }
        std::uint8_t buffer[256];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        const auto now = Clock::now();
        if (n > 0) {
            std::lock_guard lock(m_mutex);
            for (ssize_t i = 0; i < n; ++i) {
                m_received.push_back({buffer[i], now});
            }
        }
    }
}

std::vector<PtyDevice::Arrival> PtyDevice::Received() const {
    std::lock_guard lock(m_mutex);
    return m_received;
}

std::string PtyDevice::ReceivedText() const {
    std::lock_guard lock(m_mutex);
    std::string s;
    for (const auto& a : m_received) {
        s.push_back(static_cast<char>(a.byte));
    }
    return s;
}

void PtyDevice::ClearReceived() {
    std::lock_guard lock(m_mutex);
    m_received.clear();
}

}  // namespace zk4::test
