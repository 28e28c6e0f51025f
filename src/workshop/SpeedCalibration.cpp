#include "workshop/SpeedCalibration.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "protocol/HostCommands.h"

namespace zk4 {

SpeedWindow MeasureSpeed(std::span<const SpeedSample> samples) {
    if (samples.size() > kCalibrationPolls) {
        samples = samples.last(kCalibrationPolls);
    }
    SpeedWindow window;
    window.samples = samples.size();
    if (samples.empty()) {
        return window;
    }
    window.minMph = window.maxMph = samples.front().mph;
    double sum = 0;
    for (const SpeedSample& sample : samples) {
        sum += sample.mph;
        window.minMph = std::min(window.minMph, sample.mph);
        window.maxMph = std::max(window.maxMph, sample.mph);
        window.settingChanged = window.settingChanged || sample.hzPerMph != samples.back().hzPerMph;
    }
    window.meanMph = sum / static_cast<double>(samples.size());
    window.spread = window.meanMph > 0 ? (window.maxMph - window.minMph) / window.meanMph : 0;
    window.hzPerMph = samples.back().hzPerMph;
    return window;
}

Calibration CalibrateHzPerMph(const CalibrationInput& input) {
    Calibration result{MeasureSpeed(input.samples), std::nullopt, std::nullopt};
    const SpeedWindow& w = result.window;
    const auto refuse = [&result](const char* source, std::vector<std::string> args = {}) {
        result.refusal = UserText{source, std::move(args)};
        return result;
    };
    if (!input.linked) {
        return refuse(QT_TRANSLATE_NOOP(
            "zk4", "No ZK4 is linked: connect one, then drive at a steady speed."));
    }
    if (!input.hzSetting) {
        return refuse(QT_TRANSLATE_NOOP("zk4", "This ZK4 variant has no Hz-per-MPH setting."));
    }
    if (w.samples < kCalibrationPolls) {
        return refuse(QT_TRANSLATE_NOOP("zk4",
                                        "%1 s of values so far: the average needs 10 s at a "
                                        "steady speed."),
                      {std::to_string(w.samples)});
    }
    if (w.settingChanged) {
        return refuse(QT_TRANSLATE_NOOP("zk4",
                                        "The Hz-per-MPH setting changed during the last 10 s: "
                                        "wait for 10 s of values with the new one."));
    }
    if (w.meanMph < kCalibrationMinMph) {
        return refuse(QT_TRANSLATE_NOOP("zk4",
                                        "The vehicle is under 5 MPH (%1 MPH reported): drive at "
                                        "a steady speed of at least 5 MPH."),
                      {FixedText(w.meanMph, 1)});
    }
    if (w.spread > kCalibrationMaxSpread) {
        return refuse(
            QT_TRANSLATE_NOOP("zk4",
                              "The speed varied by %1 % over the last 10 s (%2 to %3 "
                              "MPH): hold it steady, within 5 %."),
            {FixedText(100 * w.spread, 1), FixedText(w.minMph, 1), FixedText(w.maxMph, 1)});
    }
    if (!input.trueMph) {
        return refuse(QT_TRANSLATE_NOOP("zk4", "Enter the true speed."));
    }
    if (*input.trueMph < kCalibrationMinMph) {
        return refuse(QT_TRANSLATE_NOOP("zk4", "The true speed is under 5 MPH (%1 MPH)."),
                      {FixedText(*input.trueMph, 1)});
    }
    // The device takes four decimals.
    const double hz = std::round(w.hzPerMph * w.meanMph / *input.trueMph * 10000) / 10000;
    if (!HzPerMphInRange(hz)) {
        return refuse(QT_TRANSLATE_NOOP("zk4",
                                        "The new setting would be %1, outside the range 0.25 to "
                                        "99.9999 that the device takes."),
                      {FixedText(hz, 4)});
    }
    result.hzPerMph = hz;
    return result;
}

std::optional<double> MphFromMileSeconds(double seconds) {
    if (!(seconds > 0)) {
        return std::nullopt;
    }
    return 3600 / seconds;
}

std::string FixedText(double value, int decimals) {
    char buffer[64];
    const auto end =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    return end.ec == std::errc() ? std::string(buffer, end.ptr) : std::string("?");
}

}  // namespace zk4
