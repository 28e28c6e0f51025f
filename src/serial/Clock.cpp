// The millisecond counter behind the paced transmitter and the configuration wait.
#include "serial/Clock.h"

#include <chrono>
#include <thread>

namespace zk4 {

std::uint32_t SteadyClock::TimeGetTime() {
    const auto since = std::chrono::steady_clock::now().time_since_epoch();
    // Truncation to 32 bits is the point: the counter wraps to 0 every 49.7 days.
    return static_cast<std::uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
}

// Short against the 1 ms step, so a pause ends at most a fifth of a step late (plus the
// kernel's timer slack), while the core sleeps instead of spinning.
void SteadyClock::Nap() {
    std::this_thread::sleep_for(std::chrono::microseconds(200));
}

void WaitMilliseconds(Clock& clock, std::uint32_t ms) {
    const std::uint32_t start = clock.TimeGetTime();
    // Modulo 2^32 on purpose: when start + ms wraps past zero the wait ends at the first
    // reading, and a reading below start means the counter itself wrapped.
    const std::uint32_t end = start + ms;
    for (;;) {
        const std::uint32_t now = clock.TimeGetTime();
        if (now >= end || now < start) {
            return;
        }
        clock.Nap();
    }
}

}  // namespace zk4
