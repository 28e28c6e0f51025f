// The millisecond counter the paced transmitter and the configuration wait busy-wait on:
// unsigned 32 bits, wrapping to 0.
#pragma once

#include <cstdint>

namespace zk4 {

class Clock {
  public:
    virtual ~Clock() = default;
    virtual std::uint32_t TimeGetTime() = 0;
};

// Milliseconds of a steady clock, truncated to 32 bits.
class SteadyClock final : public Clock {
  public:
    std::uint32_t TimeGetTime() override;
};

// Busy-waits until the counter reads at least start + ms, or wrapped below start.
void WaitMilliseconds(Clock& clock, std::uint32_t ms);

}  // namespace zk4
