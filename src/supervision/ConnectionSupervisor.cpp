// The connection supervisor: timer 3 and the Connect and Disconnect buttons keep the link to
// the device alive without the user's help. Each tick: a silent period resets the dialog; no
// identified device means reconnect (open the port, ask for firmware, identity and values);
// a talking device is polled; a requested port save is written.
#include "protocol/HostCommands.h"
#include "ui/ToolsetDlg.h"

namespace zk4 {

void CToolsetDlg::OnConnect() {
    Connect(Validation::Report);
}

void CToolsetDlg::Connect(Validation validation) {
    UpdateData(true, validation);
    m_bIdPending = true;
    UpdateData(false);
    OpenSelectedPort();  // a refused open ends the handler here
    if (m_bPortOpen) {
        SendPaced(kFirmwareQuery.data(), kFirmwareQuery.size());
        SendPaced(kIdQuery.data(), kIdQuery.size());
        SendPaced(kReadAll.data(), kReadAll.size());
    }
    // A full period starts now.
    KillTimer(kTimerId);
    SetTimer(kTimerId, kTimerPeriodMs);
}

void CToolsetDlg::OnDisconnect() {
    KillTimer(kTimerId);
    ResetToDisconnected();
}

void CToolsetDlg::RunTimerTick() {
    // A serial refusal that ends a tick stops the supervisor, as after a silent period, so a
    // vanished port is reported once instead of once a second.
    RunHandler([this] { OnTimer(kTimerId); },
               [this] {
                   KillTimer(kTimerId);
                   ResetToDisconnected();
               });
}

void CToolsetDlg::OnTimer(int id) {
    if (id != kTimerId) {
        return;
    }
    if (!m_bTraffic) {
        OnDisconnect();
    }
    // Connect is enabled exactly while no device is identified.
    if (IsDlgItemEnabled(IDC_CONNECT)) {
        Connect(Validation::Quiet);
    }
    if (m_bTraffic) {
        SendPaced(kReadAll.data(), kReadAll.size());
    }
    m_bTraffic = false;
    if (m_bSavePending) {
        SavePortSetting();
        m_bSavePending = false;
    }
}

}  // namespace zk4
