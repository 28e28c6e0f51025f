// A millisecond counter that tests drive: every reading advances it by `step`, every nap by
// `napStep`; nothing sleeps.
#pragma once

#include <cstdint>
#include <vector>

#include "serial/Clock.h"

namespace zk4::test {

class FakeClock final : public Clock {
  public:
    explicit FakeClock(std::uint32_t start = 1000, std::uint32_t step = 1,
                       std::uint32_t napStep = 0)
        : now(start), step(step), napStep(napStep) {}

    std::uint32_t TimeGetTime() override {
        ++reads;
        last = now;
        now += step;
        return last;
    }
    void Nap() override {
        ++naps;
        now += napStep;
    }

    std::uint32_t now;
    std::uint32_t step;
    std::uint32_t napStep;
    std::uint32_t last = 0;  // the latest reading
    int reads = 0;
    int naps = 0;
};

}  // namespace zk4::test
