// A millisecond counter that tests drive: every reading advances it by `step`.
#pragma once

#include <cstdint>
#include <vector>

#include "serial/Clock.h"

namespace zk4::test {

class FakeClock final : public Clock {
  public:
    explicit FakeClock(std::uint32_t start = 1000, std::uint32_t step = 1)
        : now(start), step(step) {}

    std::uint32_t TimeGetTime() override {
        ++reads;
        const std::uint32_t value = now;
        now += step;
        return value;
    }

    std::uint32_t now;
    std::uint32_t step;
    int reads = 0;
};

}  // namespace zk4::test
