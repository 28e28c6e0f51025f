// The millisecond counter the paced transmitter and the configuration wait watch: unsigned
// 32 bits, wrapping to 0.
#pragma once

#include <cstdint>

namespace zk4 {

class Clock {
  public:
    virtual ~Clock() = default;
    virtual std::uint32_t TimeGetTime() = 0;
    // Rests the thread between two readings of a wait, for a small part of a counter step.
    virtual void Nap() = 0;
};

// Milliseconds of a steady clock, truncated to 32 bits; a nap is a sleep of 200 µs.
class SteadyClock final : public Clock {
  public:
    std::uint32_t TimeGetTime() override;
    void Nap() override;
};

// Holds the thread until the counter reads at least start + ms, or wrapped below start,
// napping between readings. Nothing else runs meanwhile: no event loop, no handler.
void WaitMilliseconds(Clock& clock, std::uint32_t ms);

}  // namespace zk4
