// What the workshop keeps of the link beside the dialog: a recording of every poll in a CSV file,
// the history of the running values with its chart, and the speed calibration assistant. The
// dialog's view of the link forwards what it is told here; the three commands sit in the
// dialog's window menu, each with a shortcut, and leave the dialog itself as it is.
#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <string>
#include <vector>

#include "supervision/LinkView.h"
#include "workshop/CsvRecorder.h"
#include "workshop/ValueHistory.h"

class QAction;
class QMenu;
class QWidget;

namespace zk4 {

class ChartWindow;
class SpeedCalibrationDlg;

class Workshop : public QObject {
    Q_OBJECT
  public:
    struct Host {
        QWidget* window;  // the dialog: parent of the file dialog, the chart and the assistant
        std::function<void(const QString&)> tell;  // a message, after the running handler
        std::function<void(double)> putHzPerMph;   // into the dialog's Hz-per-MPH entry
        std::vector<std::string> portsFolders;     // where COMn links are looked for
        const DeviceValues* shown;                 // what the device boxes show
    };
    explicit Workshop(Host host);
    ~Workshop() override;

    // The three commands into `menu`, and their shortcuts onto the window.
    void AddCommands(QMenu& menu);

    // What the link tells the dialog. `port` is the port entry the link last opened.
    void PollAnswered(const DeviceValues& values);
    void ShowState(LinkState state, const std::string& port);
    void EnableSettings(SettingControls controls) { m_hzSetting = controls.hzPerMph; }

    // Asks for a file and records into it, or stops the recording that runs.
    void OnRecordValues();
    void OnChart();
    void OnCalibrateSpeed();

  private:
    void StopRecording();

    Host m_host;
    CsvRecorder m_recorder;
    ValueHistory m_history;
    ChartWindow* m_chart = nullptr;                // made when first opened
    SpeedCalibrationDlg* m_calibration = nullptr;  // while it is open
    QAction* m_recordAction = nullptr;
    LinkState m_state = LinkState::Stopped;
    bool m_hzSetting = false;
    std::string m_port;  // where the device answers, and the device behind it
    std::string m_device;
};

}  // namespace zk4
