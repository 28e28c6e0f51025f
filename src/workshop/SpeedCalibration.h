// The Hz-per-MPH setting that makes the reported vehicle speed the true one.
//
// The device reports the speed sensor's frequency divided by the setting. With the setting S in
// use, a steady vehicle at the true speed T and a reported speed R, the sensor gives R * S Hz,
// so the setting that makes the device report T is S * R / T. R is averaged over the last ten
// polls (ten seconds); the vehicle counts as steady when the reported speed stayed within 5 %
// of that average from its lowest to its highest value ((max - min) / mean).
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>

#include "text/UserText.h"

namespace zk4 {

inline constexpr std::size_t kCalibrationPolls = 10;
inline constexpr double kCalibrationMinMph = 5.0;
inline constexpr double kCalibrationMaxSpread = 0.05;

// One poll's answer as the calibration reads it.
struct SpeedSample {
    double mph;       // the reported vehicle speed
    double hzPerMph;  // the setting the device reported with it
};

// The last kCalibrationPolls samples (or fewer, when there are not that many).
struct SpeedWindow {
    std::size_t samples = 0;
    double meanMph = 0, minMph = 0, maxMph = 0;
    double spread = 0;  // (max - min) / mean; 0 without samples or at a standstill
    bool settingChanged = false;
    double hzPerMph = 0;  // the setting of the newest sample
};

SpeedWindow MeasureSpeed(std::span<const SpeedSample> samples);

struct CalibrationInput {
    std::span<const SpeedSample> samples;  // consecutive polls, oldest first
    bool linked = false;                   // a device is identified and polled
    bool hzSetting = false;                // its variant has the Hz-per-MPH setting
    std::optional<double> trueMph;         // none: not entered, or not a number
};

struct Calibration {
    SpeedWindow window;
    std::optional<double> hzPerMph;   // the new setting, rounded to four decimals
    std::optional<UserText> refusal;  // why there is none
};

Calibration CalibrateHzPerMph(const CalibrationInput& input);

// A mile timed in seconds as a speed: 3600 / seconds. None for no time at all.
std::optional<double> MphFromMileSeconds(double seconds);

// A speed or a percentage as the assistant shows it: fixed decimals, a point, whatever the
// locale.
std::string FixedText(double value, int decimals);

}  // namespace zk4
