// Configuration changes: send the cylinder number and the Hz-per-MPH ratio that the
// identified variant accepts, or their factory values.
#include "protocol/DeviceLine.h"
#include "protocol/HostCommands.h"
#include "ui/Resources.h"
#include "ui/ToolsetDlg.h"

namespace zk4 {

void CToolsetDlg::OnProceedToChange() {
    // A rejected Hz-per-MPH entry has been reported; nothing is sent until it is corrected,
    // so neither an unparsed nor an out-of-range value ever reaches the device.
    if (!UpdateData(true)) {
        return;
    }
    if (IsCylinderCapable(m_productCode)) {
        const HostCommand command = BuildCylinderCommand(m_strCylinders.toStdString());
        SendPaced(command.bytes.data(), command.length);
    }
    // The device needs a moment between two setting commands; the wait runs for every
    // variant so the Hz command always follows the cylinder command's turn by 15 ms.
    WaitMilliseconds(m_platform.clock, 15);
    if (IsHzCapable(m_productCode)) {
        if (const auto command = BuildHzPerMphCommand(m_dHzPerMph)) {
            SendPaced(command->bytes.data(), command->length);
        }
    }
}

void CToolsetDlg::OnFactoryDefault() {
    m_strCylinders = QString::fromUtf8(kFactoryCylinders.data(),
                                       static_cast<qsizetype>(kFactoryCylinders.size()));
    m_dHzPerMph = kFactoryHzPerMph;
    UpdateData(false);
    OnProceedToChange();
}

}  // namespace zk4
