// CToolsetDlg: the one window of the tool. It owns every piece of run-time state (the serial
// port, the displayed values, the link flags, the settings file) and all behaviour lives in
// its handlers. The handlers read as the steps they perform; every step with rules calls into
// protocol/, settings/ or serial/.
//
//   ui/            construction, OnInitDialog, ResetToDisconnected, data exchange, OnOK,
//                  the window menu, the receive notification and device lines
//   supervision/   OnTimer, OnConnect, OnDisconnect, OnProceedToChange, OnFactoryDefault
#pragma once

#include <QDialog>
#include <QHash>
#include <QIcon>
#include <QString>
#include <QTimer>
#include <cstdint>
#include <exception>
#include <functional>

#include "protocol/ReceiveFramer.h"
#include "serial/Clock.h"
#include "serial/SerialPort.h"
#include "settings/PortSettingsFile.h"
#include "ui/MessageBox.h"

class QMenu;

namespace zk4 {

// What the dialog needs from the platform, handed in by main() or by a test.
struct DialogPlatform {
    SerialPort& serial;
    Clock& clock;
    MessageBoxFn messageBox;
    QString executablePath;
    RxWindow& rxWindow;  // one per process: it outlives reconnections
};

// Control identifiers of the main dialog.
enum : int {
    IDC_DISCONNECT = 1000,
    IDC_CONNECT = 1001,
    IDC_CYLINDERS = 1002,
    IDC_PRODUCT_ID = 1003,
    IDC_FIRMWARE = 1004,
    IDC_SERIAL_NO = 1005,
    IDC_PROCEED = 1006,
    IDC_HZ_PER_MPH = 1007,
    IDC_PORT = 1008,
    IDC_VOLTAGE = 1009,
    IDC_ENGINE_RPM = 1010,
    IDC_VEHICLE_MPH = 1011,
    IDC_CYLINDERS_REPORTED = 1012,
    IDC_FACTORY_DEFAULT = 1013,
    IDC_HZ_PER_MPH_REPORTED = 1014,
    IDC_CYLINDER_GROUP = 1015,
    IDC_HZ_GROUP = 1016,
    IDC_COMM = 1017,
};
inline constexpr int kIdOk = 1;
inline constexpr int kTimerId = 3;
inline constexpr int kTimerPeriodMs = 1000;
inline constexpr unsigned kIdmAboutBox = 16;  // window-menu command that opens the About box
inline constexpr unsigned kScClose = 0xF060;  // window-menu Close

// Whether a save-direction exchange tells the user about an entry it rejects.
enum class Validation {
    Report,  // a user action: message, focus to the box, text selected
    Quiet,   // an automatic exchange (device line, tick): the entry is left for the next action
};

class CToolsetDlg : public QDialog {
    Q_OBJECT
  public:
    explicit CToolsetDlg(DialogPlatform platform, QWidget* parent = nullptr);
    ~CToolsetDlg() override;

    // OnInitDialog, then the modal loop. The result is not used.
    int DoModal();
    bool OnInitDialog();

    // Members, in declaration order. Public like the generated members of a dialog class:
    // the handlers, the About box and the tests read them by name.
    bool m_bDeviceValid = false;
    SerialPort& m_comm;
    QString m_strProductId;
    QString m_strFirmware;
    std::uint32_t m_dwSerialNo = 0;
    QString m_strPort;
    QString m_strCylinders;
    double m_dHzPerMph = 0.0;
    QString m_strVoltage;
    QString m_strEngineRpm;
    QString m_strHzPerMphReported;
    QString m_strVehicleMph;
    QString m_strCylindersReported;
    QIcon m_hIcon;
    bool m_bFirmwareSeen = false;
    std::uint8_t m_productCode = 0;
    bool m_bIdPending = false;
    PortSettingsFile m_settingsFile;
    bool m_bTraffic = false;
    bool m_bSavePending = false;
    bool m_bPortOpen = false;

    // Operations the handlers share.
    void ResetToDisconnected();
    bool UpdateData(bool bSaveAndValidate = true, Validation validation = Validation::Report);
    QWidget* GetDlgItem(int id) const;
    void EnableDlgItem(int id, bool enable);
    bool IsDlgItemEnabled(int id) const;
    void SetTimer(int id, int periodMs);
    void KillTimer(int id);
    bool IsTimerRunning(int id) const;

    // Settings file.
    QString SettingsFilePath() const;
    void LoadPortSetting();
    void SavePortSetting();

    // Serial port.
    void OpenSelectedPort();
    void CloseIfOpen();
    void SendPaced(const std::uint8_t* bytes, std::uint8_t length);

    // Handlers.
    void OnSysCommand(unsigned id);
    void OnTimer(int id);
    // What timer 3's expiry runs: OnTimer inside the error boundary of a tick.
    void RunTimerTick();
    void OnConnect();
    void OnDisconnect();
    void OnProceedToChange();
    void OnFactoryDefault();
    void OnCommEvent(int commEvent);
    void HandleDeviceLine(const RxWindow& window);

    // Exit (IDOK): the Exit button and Enter.
    void OnOK();
    void accept() override;
    void done(int result) override;

    // The window menu that stands in for the system menu (right click on the dialog's free
    // area, or Alt+Space).
    QMenu* WindowMenu() const { return m_windowMenu; }

    // Runs one entry point of the event loop: a serial error that escapes it ends the handler
    // there and is shown with the stop icon; the dialog goes on.
    // `onSerialError` runs first when one escapes.
    void RunHandler(const std::function<void()>& handler,
                    const std::function<void()>& onSerialError = {});

  protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

  private:
    void Connect(Validation validation);
    void HandleIdentification(std::span<const std::uint8_t> line);
    void ShowMessage(const QString& text, MessageIcon icon = MessageIcon::Exclamation);
    void ReportSettingsWriteError(const std::string& error);
    void BuildWindowMenu();

    DialogPlatform m_platform;
    QHash<int, QWidget*> m_controls;
    QTimer m_timer3;
    QMenu* m_windowMenu = nullptr;
    bool m_bShowingSerialError = false;
    bool m_bSettingsWriteFailed = false;
};

}  // namespace zk4

using zk4::CToolsetDlg;
