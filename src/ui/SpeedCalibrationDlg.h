// The speed calibration assistant: the reported speed of the last ten seconds against the true
// speed the user enters (from a GPS, or a measured mile timed in seconds), and the Hz-per-MPH
// setting that would make the two agree. It only computes: OK hands the new setting back, and
// the dialog puts it into its Hz-per-MPH entry, to be sent with Proceed to Change.
#pragma once

#include <QDialog>
#include <functional>
#include <optional>
#include <vector>

#include "workshop/SpeedCalibration.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace zk4 {

// What the assistant reads of the link at each poll.
struct CalibrationReading {
    std::vector<SpeedSample> samples;  // the current run of polls, oldest first
    bool linked = false;
    bool hzSetting = false;
};
using CalibrationSource = std::function<CalibrationReading()>;

class SpeedCalibrationDlg : public QDialog {
    Q_OBJECT
  public:
    SpeedCalibrationDlg(CalibrationSource source, QWidget* parent);

    // Reads the source again: after each poll, and as the user types.
    void Refresh();
    // The new setting; there is one whenever OK can be pressed.
    std::optional<double> NewHzPerMph() const { return m_calibration.hzPerMph; }

  private:
    std::optional<double> TrueMph() const;

    CalibrationSource m_source;
    Calibration m_calibration;
    QLabel* m_reported;
    QLabel* m_steadiness;
    QLabel* m_setting;
    QRadioButton* m_byGps;
    QRadioButton* m_byMile;
    QLineEdit* m_gpsMph;
    QLineEdit* m_mileSeconds;
    QLabel* m_mileMph;
    QLabel* m_result;
    QPushButton* m_ok;
};

}  // namespace zk4
