// The speed calibration as a table of drives and what the assistant makes of them, and the
// history it reads its runs of polls from.
#include <gtest/gtest.h>

#include <cstdlib>

#include "workshop/SpeedCalibration.h"
#include "workshop/ValueHistory.h"

namespace zk4 {
namespace {

// `polls` polls at `mph`, the device reporting the setting `hz`.
std::vector<SpeedSample> Steady(std::size_t polls, double mph, double hz = 1.7881) {
    return std::vector<SpeedSample>(polls, {mph, hz});
}

std::vector<SpeedSample> operator+(std::vector<SpeedSample> first,
                                   const std::vector<SpeedSample>& then) {
    first.insert(first.end(), then.begin(), then.end());
    return first;
}

struct Drive {
    const char* name;
    std::vector<SpeedSample> samples;
    std::optional<double> trueMph;
    std::string outcome;  // the new setting, or how the refusal starts (up to its last place)
    bool linked = true, hzSetting = true;
};

TEST(SpeedCalibration, NewSettingOrTheReasonThereIsNone) {
    const Drive drives[] = {
        {"GpsSaysFifty", Steady(10, 45), 50, "1.6093"},
        {"OnlyTheLastTenPollsCount", Steady(1, 80) + Steady(10, 45), 50, "1.6093"},
        {"WithinFivePercent", Steady(9, 45) + Steady(1, 47), 50, "1.6164"},
        {"NotLinked", Steady(10, 45), 50, "No ZK4 is linked", false},
        {"NoHzSetting", Steady(10, 45), 50, "This ZK4 variant has no Hz-per-MPH", true, false},
        {"NineSeconds", Steady(9, 45), 50, "9 s of values so far"},
        {"SettingChanged", Steady(9, 45) + Steady(1, 45, 2.0), 50,
         "The Hz-per-MPH setting changed"},
        {"UnderFiveMph", Steady(10, 4.5), 50, "The vehicle is under 5 MPH (4.5 MPH reported)"},
        {"Unsteady", Steady(9, 45) + Steady(1, 48), 50,
         "The speed varied by 6.6 % over the last 10 s (45.0 to 48.0 MPH)"},
        {"MileNeverTimed", Steady(10, 45), MphFromMileSeconds(0), "Enter the true speed."},
        {"TrueSpeedUnderFive", Steady(10, 45), 4.9, "The true speed is under 5 MPH (4.9 MPH)."},
        {"AboveTheRange", Steady(10, 45, 99.9999), 20, "The new setting would be 224.9998,"},
    };
    for (const Drive& d : drives) {
        const Calibration c = CalibrateHzPerMph({d.samples, d.linked, d.hzSetting, d.trueMph});
        const std::string outcome =
            c.hzPerMph ? FixedText(*c.hzPerMph, 4) : c.refusal.value().English();
        EXPECT_EQ(outcome.substr(0, d.outcome.size()), d.outcome) << d.name << ": " << outcome;
    }
    EXPECT_EQ(MeasureSpeed(Steady(10, 0)).spread, 0);  // a standstill is steady
}

// Each row: polls (a time in ms, "-" for a poll without a speed) and breaks ("B"); then which
// samples start a run, and how many polls the calibration may average. The last 300 are kept.
TEST(ValueHistory, RunsEndAtABreakALatePollOrAMissingSpeedAndFiveMinutesAreKept) {
    const std::tuple<const char*, std::vector<std::string>, std::string, std::size_t> rows[] = {
        {"OnePollASecond", {"0", "1000", "2000"}, "100", 3},
        {"LateByMoreThanTheGap", {"0", "1000", "2501"}, "101", 1},
        {"LateByTheGapExactly", {"0", "1500"}, "10", 2},
        {"LinkDown", {"0", "1000", "B"}, "10", 0},
        {"LinkDownThenUpAgain", {"0", "1000", "B", "2000"}, "101", 1},
        {"NoSpeedInOnePoll", {"0", "-1000", "2000"}, "100", 1},
    };
    for (const auto& [name, events, starts, run] : rows) {
        ValueHistory history;
        for (const std::string& event : events) {
            DeviceValues values;
            values.m_strHzPerMphReported = "1.7881";
            values.m_strVehicleMph = event[0] == '-' ? std::nullopt : std::optional("45");
            event == "B" ? history.Break() : history.Add(std::abs(std::stoll(event)), values);
        }
        std::string seen;
        for (const HistorySample& sample : history.Samples()) {
            seen += sample.startsRun ? '1' : '0';
        }
        EXPECT_EQ(std::pair(seen, history.SpeedRun().size()), std::pair(starts, run)) << name;
    }
    ValueHistory full;  // five minutes of polls: the oldest goes
    for (int second = 0; second <= 300; ++second) {
        full.Add(1000LL * second, {});
    }
    EXPECT_EQ(std::pair(full.Samples().size(), full.Samples().front().timeMs),
              std::pair(kHistorySize, std::int64_t{1000}));
}

}  // namespace
}  // namespace zk4
