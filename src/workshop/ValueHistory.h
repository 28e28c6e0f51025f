// The running values of the last five minutes of polls, oldest first: what the chart draws and
// what the speed calibration averages. One sample per poll, each reported value that is a
// number kept as one (in the order of kReportedValues), and where the link was down: a sample
// that follows a break (the link left Linked) or comes more than kHistoryGapMs after the one
// before starts a new run, and nothing is drawn or averaged across the gap between two runs.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

#include "protocol/ReportedValues.h"
#include "workshop/SpeedCalibration.h"

namespace zk4 {

inline constexpr std::size_t kHistorySize = 300;  // five minutes of polls, one a second
inline constexpr std::int64_t kHistoryGapMs = 1500;

struct HistorySample {
    std::int64_t timeMs = 0;  // when the poll was answered, milliseconds since the epoch
    bool startsRun = false;
    std::array<std::optional<double>, kReportedValues.size()> numbers{};

    // The number of the reported value kept in `member`, if the device gave one.
    std::optional<double> Number(std::optional<std::string> DeviceValues::*member) const;
};

class ValueHistory {
  public:
    // One poll's values; the oldest sample goes once there are kHistorySize.
    void Add(std::int64_t timeMs, const DeviceValues& values);
    // The link is down: the next sample starts a new run.
    void Break() { m_broken = true; }

    const std::deque<HistorySample>& Samples() const { return m_samples; }

    // The vehicle speed and the Hz-per-MPH setting of the samples of the last run, oldest first,
    // back to the first one that lacks either.
    std::vector<SpeedSample> SpeedRun() const;

  private:
    std::deque<HistorySample> m_samples;
    bool m_broken = true;
};

}  // namespace zk4
