#include "ui/ToolsetDlg.h"

#include <QComboBox>
#include <QContextMenuEvent>
#include <QFile>
#include <QKeySequence>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QShortcut>

#include "protocol/HostCommands.h"
#include "serial/PortNames.h"
#include "serial/SendPaced.h"
#include "ui/AboutDlg.h"
#include "ui/AppIcon.h"
#include "ui/DataExchangeRules.h"
#include "ui/DialogTemplate.h"
#include "ui/Resources.h"

namespace zk4 {
namespace {

QString Q(std::string_view s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

// Texts the device or the settings file gave us are 8-bit; every byte maps to one character.
std::string Latin1(const QString& s) {
    return s.toLatin1().toStdString();
}

}  // namespace

CToolsetDlg::CToolsetDlg(DialogPlatform platform, QWidget* parent)
    : QDialog(parent), m_comm(platform.serial), m_platform(std::move(platform)) {
    m_hIcon = AppIcon();
    // The dialog's window: template 102 with every control. It has no minimize and no
    // maximize box, and its own task-bar entry.
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    m_controls = BuildDialogFromTemplate(*this, MainDialogTemplate());

    m_timer3.setTimerType(Qt::PreciseTimer);  // ticks one second apart, not "about"
    connect(&m_timer3, &QTimer::timeout, this, &CToolsetDlg::RunTimerTick);

    auto button = [this](int id) { return static_cast<QPushButton*>(GetDlgItem(id)); };
    connect(button(kIdOk), &QPushButton::clicked, this, [this] { accept(); });
    connect(button(IDC_CONNECT), &QPushButton::clicked, this,
            [this] { RunHandler([this] { OnConnect(); }); });
    connect(button(IDC_DISCONNECT), &QPushButton::clicked, this,
            [this] { RunHandler([this] { OnDisconnect(); }); });
    connect(button(IDC_FACTORY_DEFAULT), &QPushButton::clicked, this,
            [this] { RunHandler([this] { OnFactoryDefault(); }); });
    connect(button(IDC_PROCEED), &QPushButton::clicked, this,
            [this] { RunHandler([this] { OnProceedToChange(); }); });

    m_comm.SetReceiveHandler(
        [this](int commEvent) { RunHandler([this, commEvent] { OnCommEvent(commEvent); }); });

    BuildWindowMenu();
}

CToolsetDlg::~CToolsetDlg() {
    m_timer3.stop();
    m_comm.SetReceiveHandler({});
    // Ending the dialog any way releases the port.
    if (m_comm.IsOpen()) {
        m_comm.Close();
    }
}

int CToolsetDlg::DoModal() {
    OnInitDialog();
    return exec();
}

bool CToolsetDlg::OnInitDialog() {
    // The controls exist and hold their lists; the first exchange shows the construction values.
    UpdateData(false);

    // Window menu: the About item, when the menu and its text exist.
    if (m_windowMenu) {
        const QString about = Q(kIdsAboutBox);
        if (!about.isEmpty()) {
            m_windowMenu->addSeparator();
            QAction* item = m_windowMenu->addAction(about);
            item->setData(kIdmAboutBox);
        }
    }

    // Big and small icon: the window manager picks the size it needs from the one icon.
    setWindowIcon(m_hIcon);

    ResetToDisconnected();
    m_bSavePending = false;
    LoadPortSetting();
    m_bTraffic = false;
    SetTimer(kTimerId, kTimerPeriodMs);
    UpdateData(false);

    // The first tab stop, Exit, gets the focus.
    GetDlgItem(kIdOk)->setFocus(Qt::OtherFocusReason);
    return true;
}

void CToolsetDlg::ResetToDisconnected() {
    CloseIfOpen();
    m_bPortOpen = false;

    EnableDlgItem(IDC_DISCONNECT, false);
    EnableDlgItem(IDC_CONNECT, true);
    for (int id : {IDC_CYLINDER_GROUP, IDC_CYLINDERS, IDC_HZ_GROUP, IDC_HZ_PER_MPH,
                   IDC_FACTORY_DEFAULT, IDC_PROCEED}) {
        EnableDlgItem(id, false);
    }

    m_strProductId = Q(kNotFoundYet);
    m_strFirmware = Q(kNotFoundYet);
    m_dwSerialNo = 0;
    m_strCylinders = Q(kFactoryCylinders);
    m_dHzPerMph = kFactoryHzPerMph;
    for (QString* text : {&m_strVoltage, &m_strEngineRpm, &m_strVehicleMph, &m_strCylindersReported,
                          &m_strHzPerMphReported}) {
        *text = Q(kNotAvailable);
    }

    m_bDeviceValid = false;
    m_bFirmwareSeen = false;
    UpdateData(false);
}

// ---- Data exchange ----------------------------------------------------------------------

namespace {

QLineEdit* Edit(QWidget* w) {
    return static_cast<QLineEdit*>(w);
}
QComboBox* Combo(QWidget* w) {
    return static_cast<QComboBox*>(w);
}

void LoadText(QWidget* w, const QString& value) {
    // Rewriting an unchanged text would only move the caret of someone typing.
    if (Edit(w)->text() != value) {
        Edit(w)->setText(value);
    }
}

void LoadCombo(QWidget* w, const QString& value) {
    QComboBox* combo = Combo(w);
    std::vector<std::string> items;
    items.reserve(static_cast<std::size_t>(combo->count()));
    for (int i = 0; i < combo->count(); ++i) {
        items.push_back(combo->itemText(i).toStdString());
    }
    const int index = FindComboPrefix(items, value.toStdString());
    const QString shown = index >= 0 ? combo->itemText(index) : value;
    if (index >= 0 && combo->currentIndex() != index) {
        combo->setCurrentIndex(index);
    }
    if (combo->currentText() != shown) {
        combo->setEditText(shown);
    }
}

}  // namespace

bool CToolsetDlg::UpdateData(bool bSaveAndValidate, Validation validation) {
    auto fail = [&](int id, std::string_view message) {
        if (validation == Validation::Report) {
            ShowMessage(Q(message));
            QWidget* w = GetDlgItem(id);
            w->setFocus(Qt::OtherFocusReason);
            if (auto* edit = qobject_cast<QLineEdit*>(w)) {
                edit->selectAll();
            }
        }
        return false;
    };

    if (!bSaveAndValidate) {
        LoadText(GetDlgItem(IDC_PRODUCT_ID), m_strProductId);
        LoadText(GetDlgItem(IDC_FIRMWARE), m_strFirmware);
        LoadText(GetDlgItem(IDC_SERIAL_NO), Q(FormatDialogUnsigned(m_dwSerialNo)));
        LoadCombo(GetDlgItem(IDC_PORT), m_strPort);
        LoadCombo(GetDlgItem(IDC_CYLINDERS), m_strCylinders);
        LoadText(GetDlgItem(IDC_HZ_PER_MPH), Q(FormatDialogNumber(m_dHzPerMph)));
        LoadText(GetDlgItem(IDC_VOLTAGE), m_strVoltage);
        LoadText(GetDlgItem(IDC_ENGINE_RPM), m_strEngineRpm);
        LoadText(GetDlgItem(IDC_HZ_PER_MPH_REPORTED), m_strHzPerMphReported);
        LoadText(GetDlgItem(IDC_VEHICLE_MPH), m_strVehicleMph);
        LoadText(GetDlgItem(IDC_CYLINDERS_REPORTED), m_strCylindersReported);
        return true;
    }

    m_strProductId = Edit(GetDlgItem(IDC_PRODUCT_ID))->text();
    m_strFirmware = Edit(GetDlgItem(IDC_FIRMWARE))->text();
    const auto serialNo = ParseDialogUnsigned(Latin1(Edit(GetDlgItem(IDC_SERIAL_NO))->text()));
    if (!serialNo) {
        return fail(IDC_SERIAL_NO, kMsgEnterPositiveInteger);
    }
    m_dwSerialNo = *serialNo;
    m_strPort = Combo(GetDlgItem(IDC_PORT))->currentText();
    m_strCylinders = Combo(GetDlgItem(IDC_CYLINDERS))->currentText();
    const auto hz = ParseDialogNumber(Latin1(Edit(GetDlgItem(IDC_HZ_PER_MPH))->text()));
    if (!hz) {
        return fail(IDC_HZ_PER_MPH, kMsgEnterNumber);
    }
    m_dHzPerMph = *hz;  // kept even when out of range
    if (!HzPerMphInRange(m_dHzPerMph)) {
        return fail(IDC_HZ_PER_MPH, RangeMessage(kHzPerMphMin, kHzPerMphMax));
    }
    m_strVoltage = Edit(GetDlgItem(IDC_VOLTAGE))->text();
    m_strEngineRpm = Edit(GetDlgItem(IDC_ENGINE_RPM))->text();
    m_strHzPerMphReported = Edit(GetDlgItem(IDC_HZ_PER_MPH_REPORTED))->text();
    m_strVehicleMph = Edit(GetDlgItem(IDC_VEHICLE_MPH))->text();
    m_strCylindersReported = Edit(GetDlgItem(IDC_CYLINDERS_REPORTED))->text();
    return true;
}

// ---- Controls, timer, messages ----------------------------------------------------------

QWidget* CToolsetDlg::GetDlgItem(int id) const {
    return m_controls.value(id, nullptr);
}

void CToolsetDlg::EnableDlgItem(int id, bool enable) {
    GetDlgItem(id)->setEnabled(enable);
}

bool CToolsetDlg::IsDlgItemEnabled(int id) const {
    return GetDlgItem(id)->isEnabled();
}

void CToolsetDlg::SetTimer(int id, int periodMs) {
    if (id == kTimerId) {
        m_timer3.start(periodMs);
    }
}

void CToolsetDlg::KillTimer(int id) {
    if (id == kTimerId) {
        m_timer3.stop();
    }
}

bool CToolsetDlg::IsTimerRunning(int id) const {
    return id == kTimerId && m_timer3.isActive();
}

void CToolsetDlg::ShowMessage(const QString& text, MessageIcon icon) {
    m_platform.messageBox(this, text, icon);
}

void CToolsetDlg::RunHandler(const std::function<void()>& handler,
                             const std::function<void()>& onSerialError) {
    try {
        handler();
    } catch (const SerialError& error) {
        if (onSerialError) {
            onSerialError();
        }
        // One refusal on screen at a time: a second one raised while the first is still shown
        // (from a tick or a notification in its nested loop) is not stacked on top of it.
        if (m_bShowingSerialError) {
            return;
        }
        m_bShowingSerialError = true;
        ShowMessage(QString::fromLocal8Bit(error.what()), MessageIcon::Stop);
        m_bShowingSerialError = false;
    }
}

// ---- Ending the dialog ------------------------------------------------------------------

void CToolsetDlg::accept() {
    RunHandler([this] { OnOK(); });
}

void CToolsetDlg::OnOK() {
    CloseIfOpen();
    KillTimer(kTimerId);
    if (UpdateData(true)) {
        QDialog::accept();
    }
}

void CToolsetDlg::done(int result) {
    // The window goes away with its timer; nothing may tick into a closed dialog.
    KillTimer(kTimerId);
    QDialog::done(result);
}

// ---- Window menu ------------------------------------------------------------------------

void CToolsetDlg::BuildWindowMenu() {
    // The window manager's own menu cannot be extended here, so the dialog carries a window
    // menu of its own: right click on the free area of the dialog, or Alt+Space.
    m_windowMenu = new QMenu(this);
    QAction* close = m_windowMenu->addAction(QStringLiteral("&Close"));
    close->setShortcut(QKeySequence(Qt::ALT | Qt::Key_F4));
    close->setData(kScClose);
    connect(m_windowMenu, &QMenu::triggered, this, [this](QAction* action) {
        const unsigned id = action->data().toUInt();
        RunHandler([this, id] { OnSysCommand(id); });
    });
    auto* shortcut = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_Space), this);
    connect(shortcut, &QShortcut::activated, this,
            [this] { m_windowMenu->popup(mapToGlobal(QPoint(0, 0))); });
}

void CToolsetDlg::contextMenuEvent(QContextMenuEvent* event) {
    m_windowMenu->popup(event->globalPos());
}

void CToolsetDlg::OnSysCommand(unsigned id) {
    if ((id & 0xFFF0) == kIdmAboutBox) {
        CAboutDlg about(this);
        if (m_bDeviceValid) {
            about.m_strProductId = m_strProductId;
            about.m_strFirmware = m_strFirmware;
            about.m_dwSerialNo = m_dwSerialNo;
        }
        about.DoModal();
        return;
    }
    if ((id & 0xFFF0) == kScClose) {
        reject();
    }
}

// ---- Settings file ----------------------------------------------------------------------

QString CToolsetDlg::SettingsFilePath() const {
    const std::string exe = QFile::encodeName(m_platform.executablePath).toStdString();
    return QFile::decodeName(QByteArray::fromStdString(zk4::SettingsFilePath(exe)));
}

void CToolsetDlg::LoadPortSetting() {
    m_settingsFile.SetPath(QFile::encodeName(SettingsFilePath()).toStdString());
    const PortLoadResult result = m_settingsFile.Load();
    m_strPort = QString::fromLatin1(result.port.data(), static_cast<qsizetype>(result.port.size()));
    if (result.savePending) {
        m_bSavePending = true;
    }
    if (!result.writeError.empty()) {
        ReportSettingsWriteError(result.writeError);
    }
}

void CToolsetDlg::SavePortSetting() {
    const PortSaveResult result = m_settingsFile.Save(Latin1(m_strPort));
    if (!result.ok) {
        ReportSettingsWriteError(result.error);
    } else {
        m_bSettingsWriteFailed = false;
    }
}

void CToolsetDlg::ReportSettingsWriteError(const std::string& error) {
    // Told once; further failures stay quiet until a write succeeds again. The message is
    // posted so that the handler which wrote (start-up, a tick) finishes first.
    if (m_bSettingsWriteFailed) {
        return;
    }
    m_bSettingsWriteFailed = true;
    const QString text = QString::fromLocal8Bit(error.c_str()) +
                         QStringLiteral(
                             "\nThe port you choose is used, but it will not be "
                             "remembered next time.");
    QTimer::singleShot(0, this, [this, text] { ShowMessage(text); });
}

// ---- Serial port ------------------------------------------------------------------------

void CToolsetDlg::CloseIfOpen() {
    if (m_comm.IsOpen()) {
        m_comm.Close();
    }
}

void CToolsetDlg::OpenSelectedPort() {
    // The user's entry was already reported by the Connect that called us, if at all.
    UpdateData(true, Validation::Quiet);
    const int number = PortNumberFromName(m_strPort.toStdString());
    m_bPortOpen = false;
    CloseIfOpen();
    m_comm.SelectPort(number);
    if (m_comm.IsOpen()) {
        ShowMessage(Q(kMsgCannotOpenPort));
    } else {
        m_comm.Open();  // a refusal throws and ends the calling handler here
        m_bPortOpen = true;
    }
    m_comm.Configure(PortConfig{});
    // Whatever arrived before this point belongs to an earlier conversation.
    (void)m_comm.ReadAll();
}

void CToolsetDlg::SendPaced(const std::uint8_t* bytes, std::uint8_t length) {
    zk4::SendPaced(m_comm, m_platform.clock, bytes, length);
}

}  // namespace zk4
