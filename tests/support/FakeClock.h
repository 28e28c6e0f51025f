// A millisecond counter that tests drive: every reading advances it by `step`, every nap by
// `napStep`; nothing sleeps.
#pragma once

#include <cstdint>
#include <utility>

#include "serial/Clock.h"

namespace zk4::test {

class FakeClock final : public Clock {
  public:
    explicit FakeClock(std::uint32_t start = 1000, std::uint32_t step = 1,
                       std::uint32_t napStep = 0)
        : now(start), step(step), napStep(napStep) {}

    std::uint32_t TimeGetTime() override {
        ++reads;
        return last = std::exchange(now, now + step);
    }
    void Nap() override {
        ++naps;
        now += napStep;
    }

    std::uint32_t now, step, napStep;
    std::uint32_t last = 0;  // the latest reading
    int reads = 0, naps = 0;
};

}  // namespace zk4::test
