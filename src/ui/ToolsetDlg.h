// CToolsetDlg: the one window of the tool. It draws what the link (supervision/Link.h) tells it,
// exchanges the three entries with their controls, and forwards clicks and ticks to the link.
//
// Who writes which box: the device boxes show the link's values. The three entries (port,
// cylinder number, Hz per MPH) belong to the person at the keyboard: the program writes them
// only at start-up (settings file), at the reset to the disconnected look and by Factory
// Default, never while a device line or a tick is handled.
#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <QHash>
#include <QIcon>
#include <QString>
#include <QTimer>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>

#include "protocol/ReceiveFramer.h"
#include "serial/Clock.h"
#include "serial/SerialPort.h"
#include "settings/PortSettingsFile.h"
#include "supervision/Link.h"
#include "ui/DataExchange.h"
#include "ui/DialogTemplate.h"
#include "ui/MessageBox.h"

class QMenu;

namespace zk4 {

class Workshop;

// What the dialog needs from the platform, handed in by main() or by a test.
struct DialogPlatform {
    SerialPort& serial;
    Clock& clock;
    MessageBoxFn messageBox;
    QString executablePath;
    QString configDir;   // the user's configuration folder for this tool ($XDG_CONFIG_HOME/ZK4)
    RxWindow& rxWindow;  // one per process: it outlives reconnections
};

inline constexpr int kTimerId = 3;
inline constexpr int kTimerPeriodMs = 1000;
inline constexpr unsigned kIdmAboutBox = 16;  // window-menu command that opens the About box
inline constexpr unsigned kScClose = 0xF060;  // window-menu Close

class CToolsetDlg : public QDialog, private LinkView {
    Q_OBJECT
  public:
    explicit CToolsetDlg(DialogPlatform platform, QWidget* parent = nullptr);
    ~CToolsetDlg() override;

    // OnInitDialog, then the modal loop. The result is not used.
    int DoModal();
    bool OnInitDialog();

    // Save: the entries into their members, checked; a refused entry is told when `validation`
    // says so. Load: every box, the entries only with Boxes::All.
    bool UpdateData(bool bSaveAndValidate = true, Validation validation = Validation::Report,
                    Boxes boxes = Boxes::All);
    QWidget* GetDlgItem(int id) const;
    bool IsTimerRunning() const { return m_timer3.isActive(); }

    // Handlers.
    void OnSysCommand(unsigned id);
    void OnTimer(int id);
    void OnConnect();
    void OnDisconnect();
    void OnProceedToChange();
    void OnFactoryDefault();

    // Exit (IDOK): the Exit button and Enter.
    void OnOK();
    void accept() override;
    void done(int result) override;

    // The window menu that stands in for the system menu (right click on the dialog's free
    // area, or Alt+Space).
    QMenu* WindowMenu() const { return m_windowMenu; }

    // A message for the user, shown once the running handler has returned and no other box is
    // open (messages wait their turn; two boxes are never open at once).
    void TellLater(const QString& text, MessageIcon icon = MessageIcon::Exclamation);

    // Settings file.
    bool LoadPortSetting();  // true when the file asks for the port to be written back
    void SavePortSetting(const QString& port);

    // The entries, exchanged with their controls.
    QString m_strPort;
    QString m_strCylinders;
    double m_dHzPerMph = 0.0;
    QIcon m_hIcon;
    PortSettingsFile m_settingsFile;

  protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

  private:
    // LinkView
    void ShowDeviceValues(const DeviceValues& values) override;
    void ShowRunningValues(const DeviceValues& values) override;
    void PollAnswered(const DeviceValues& values) override;
    void ShowState(LinkState state) override;
    void EnableSettings(SettingControls controls) override;
    void ResetEntries() override;
    void ShowMessage(const LinkMessage& message) override;
    void StartTimer() override;
    void StopTimer() override;
    void SavePort(const std::string& port) override;

    void LoadFactorySettings();
    void LoadEntries(std::initializer_list<int> ids);
    // A setting worked out for the user (the speed calibration): into the entry, not sent.
    void PutHzPerMph(double hzPerMph);
    void DescribePorts();
    // Shows the message now, or after the box that is open.
    void Tell(const QString& text, MessageIcon icon = MessageIcon::Exclamation);
    void ShowWaitingMessage();
    void ReportSettingsWriteError(const UserText& error);
    void EnableDlgItem(int id, bool enable);
    void BuildWindowMenu();
    std::vector<ExchangeRow> ExchangeTable();

    struct Message {
        QString text;
        MessageIcon icon;
    };

    DialogPlatform m_platform;
    QHash<int, QWidget*> m_controls;
    DeviceValues m_values;  // what the device boxes show
    QTimer m_timer3;
    QTimer m_runningValuesTimer;         // a redraw of the running values put off to its turn
    QElapsedTimer m_runningValuesShown;  // when the running values were last redrawn
    QMenu* m_windowMenu = nullptr;
    std::deque<Message> m_waitingMessages;
    bool m_bMessageOpen = false;
    bool m_bEnded = false;  // the dialog has ended: no further box
    bool m_bSettingsWriteFailed = false;
    std::unique_ptr<Workshop> m_workshop;  // recording, chart and speed calibration
    Link m_link;
};

}  // namespace zk4

using zk4::CToolsetDlg;
