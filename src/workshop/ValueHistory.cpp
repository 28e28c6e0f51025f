#include "workshop/ValueHistory.h"

#include <algorithm>

namespace zk4 {

std::optional<double> HistorySample::Number(
    std::optional<std::string> DeviceValues::*member) const {
    for (std::size_t i = 0; i < kReportedValues.size(); ++i) {
        if (kReportedValues[i].member == member) {
            return numbers[i];
        }
    }
    return std::nullopt;
}

void ValueHistory::Add(std::int64_t timeMs, const DeviceValues& values) {
    HistorySample sample;
    sample.timeMs = timeMs;
    sample.startsRun =
        m_broken || m_samples.empty() || timeMs - m_samples.back().timeMs > kHistoryGapMs;
    for (std::size_t i = 0; i < kReportedValues.size(); ++i) {
        const ReportedValue& row = kReportedValues[i];
        if (row.number) {
            sample.numbers[i] = ReportedNumber((values.*row.member).value_or(""));
        }
    }
    m_broken = false;
    if (m_samples.size() == kHistorySize) {
        m_samples.pop_front();
    }
    m_samples.push_back(sample);
}

std::vector<SpeedSample> ValueHistory::SpeedRun() const {
    std::vector<SpeedSample> run;
    if (m_broken) {
        return run;  // the link is down: no run goes on
    }
    for (auto it = m_samples.rbegin(); it != m_samples.rend(); ++it) {
        const auto mph = it->Number(&DeviceValues::m_strVehicleMph);
        const auto hz = it->Number(&DeviceValues::m_strHzPerMphReported);
        if (!mph || !hz) {
            break;
        }
        run.push_back({*mph, *hz});
        if (it->startsRun) {
            break;
        }
    }
    std::reverse(run.begin(), run.end());
    return run;
}

}  // namespace zk4
