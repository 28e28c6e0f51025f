#include "ui/ToolsetDlg.h"

#include <QComboBox>
#include <QContextMenuEvent>
#include <QFile>
#include <QKeySequence>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QShortcut>
#include <algorithm>

#include "protocol/HostCommands.h"
#include "serial/PortInfo.h"
#include "settings/ToolPlaces.h"
#include "ui/AboutDlg.h"
#include "ui/AppIcon.h"
#include "ui/DataExchangeRules.h"
#include "ui/Resources.h"
#include "ui/Workshop.h"

namespace zk4 {
namespace {

constexpr qint64 kRunningValuesMs = 200;

ToolPlaces PlacesOf(const DialogPlatform& platform) {
    return FindToolPlaces(QFile::encodeName(platform.executablePath).toStdString(),
                          QFile::encodeName(platform.configDir).toStdString());
}

}  // namespace

CToolsetDlg::CToolsetDlg(DialogPlatform platform, QWidget* parent)
    : QDialog(parent),
      m_platform(std::move(platform)),
      m_link(m_platform.serial, m_platform.clock, m_platform.rxWindow, *this) {
    m_hIcon = AppIcon();
    // Template 102 with every control. No minimize and no maximize box; its own task-bar entry.
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    m_controls = BuildDialogFromTemplate(*this, MainDialogTemplate());

    m_timer3.setTimerType(Qt::PreciseTimer);  // ticks one second apart, not "about"
    m_runningValuesTimer.setSingleShot(true);
    connect(&m_runningValuesTimer, &QTimer::timeout, this, [this] {
        m_runningValuesShown.start();
        ShowDeviceValues(m_values);
    });
    connect(&m_timer3, &QTimer::timeout, this, [this] { OnTimer(kTimerId); });

    auto button = [this](int id) { return static_cast<QPushButton*>(GetDlgItem(id)); };
    connect(button(IDOK_BUTTON), &QPushButton::clicked, this, [this] { accept(); });
    connect(button(IDC_CONNECT), &QPushButton::clicked, this, [this] { OnConnect(); });
    connect(button(IDC_DISCONNECT), &QPushButton::clicked, this, [this] { OnDisconnect(); });
    connect(button(IDC_FACTORY_DEFAULT), &QPushButton::clicked, this,
            [this] { OnFactoryDefault(); });
    connect(button(IDC_PROCEED), &QPushButton::clicked, this, [this] { OnProceedToChange(); });

    static_cast<DropDownComboBox*>(GetDlgItem(IDC_PORT))->onShowList = [this] { DescribePorts(); };
    m_workshop = std::make_unique<Workshop>(Workshop::Host{
        this, [this](const QString& text) { TellLater(text); },
        [this](double hz) { PutHzPerMph(hz); }, PlacesOf(m_platform).portsFolders, &m_values});
    BuildWindowMenu();
}

void CToolsetDlg::DescribePorts() {
    // Refreshed each time the list opens, from what the system already knows: nothing is opened.
    auto* combo = static_cast<QComboBox*>(GetDlgItem(IDC_PORT));
    const std::vector<PortDescription> ports = DescribeComPorts(PlacesOf(m_platform).portsFolders);
    for (int i = 0; i < combo->count() && i < static_cast<int>(ports.size()); ++i) {
        const PortDescription& port = ports[static_cast<std::size_t>(i)];
        combo->setItemData(i, Tr(PortToolTip(port)), Qt::ToolTipRole);
        QFont font = combo->font();
        font.setBold(port.present);
        combo->setItemData(i, font, Qt::FontRole);
    }
}

CToolsetDlg::~CToolsetDlg() {
    m_timer3.stop();
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
        const QString about = Tr(kIdsAboutBox);
        if (!about.isEmpty()) {
            m_windowMenu->addSeparator();
            QAction* item = m_windowMenu->addAction(about);
            item->setData(kIdmAboutBox);
        }
    }

    // Big and small icon: the window manager picks the size it needs from the one icon.
    setWindowIcon(m_hIcon);

    // A malformed port line in the file asks for the port to be written back at the first tick.
    m_link.Start(LoadPortSetting());
    UpdateData(false);

    // The first tab stop, Exit, gets the focus.
    GetDlgItem(IDOK_BUTTON)->setFocus(Qt::OtherFocusReason);
    return true;
}

// ---- Data exchange -----------------------------------------------------------------------

std::vector<ExchangeRow> CToolsetDlg::ExchangeTable() {
    std::vector<ExchangeRow> rows = {
        {.id = IDC_PRODUCT_ID,
         .kind = RowKind::DeviceText,
         .value = &m_values.m_strProductId,
         .placeholder = kNotFoundYet},
        {.id = IDC_SERIAL_NO, .kind = RowKind::DeviceUnsigned, .value = &m_values.m_dwSerialNo},
        {.id = IDC_PORT, .kind = RowKind::ComboText, .value = &m_strPort},
        {.id = IDC_CYLINDERS,
         .kind = RowKind::ComboText,
         .value = &m_strCylinders,
         .listedOnly = true},
        {.id = IDC_HZ_PER_MPH,
         .kind = RowKind::Number,
         .value = &m_dHzPerMph,
         .range = NumberRange{kHzPerMphMin, kHzPerMphMax}},
    };
    for (const ReportedValue& row : kReportedValues) {
        rows.push_back({.id = row.controlId,
                        .kind = RowKind::DeviceText,
                        .value = &(m_values.*row.member),
                        .placeholder = row.placeholder});
    }
    return rows;
}

bool CToolsetDlg::UpdateData(bool bSaveAndValidate, Validation validation, Boxes boxes) {
    const auto control = [this](int id) { return GetDlgItem(id); };
    if (!bSaveAndValidate) {
        LoadRows(ExchangeTable(), control, boxes);
        return true;
    }
    const auto refused = SaveRows(ExchangeTable(), control);
    if (!refused) {
        return true;
    }
    if (validation == Validation::Report) {
        Tell(Tr(refused->message));
        QWidget* w = GetDlgItem(refused->id);
        w->setFocus(Qt::OtherFocusReason);
        if (auto* edit = qobject_cast<QLineEdit*>(w)) {
            edit->selectAll();
        } else if (auto* combo = qobject_cast<QComboBox*>(w); combo && combo->lineEdit()) {
            combo->lineEdit()->selectAll();
        }
    }
    return false;
}

QWidget* CToolsetDlg::GetDlgItem(int id) const {
    return m_controls.value(id, nullptr);
}

void CToolsetDlg::EnableDlgItem(int id, bool enable) {
    GetDlgItem(id)->setEnabled(enable);
}

// ---- Handlers ----------------------------------------------------------------------------

void CToolsetDlg::OnTimer(int id) {
    if (id != kTimerId) {
        return;
    }
    // The entries are read, never written back: the port choice reaches the link here, and a
    // refused Hz entry waits for the user's next action.
    UpdateData(true, Validation::Quiet);
    m_link.Tick(Latin1(m_strPort));
}

void CToolsetDlg::OnConnect() {
    UpdateData(true, Validation::Report);
    m_link.Connect(Latin1(m_strPort));
}

void CToolsetDlg::OnDisconnect() {
    m_link.Disconnect();
}

void CToolsetDlg::OnProceedToChange() {
    // A refused Hz entry has been told; nothing is sent until it is corrected, so neither an
    // unparsed nor an out-of-range value ever reaches the device.
    if (!UpdateData(true, Validation::Report)) {
        return;
    }
    m_link.ProceedToChange(Latin1(m_strCylinders), m_dHzPerMph);
}

void CToolsetDlg::OnFactoryDefault() {
    LoadFactorySettings();
    m_link.FactoryDefault();
}

void CToolsetDlg::accept() {
    OnOK();
}

void CToolsetDlg::OnOK() {
    // The entries are checked first: a refused one is told and everything goes on as before,
    // rather than leaving a window that looks linked over a closed port.
    if (!UpdateData(true)) {
        return;
    }
    m_link.CloseForExit();
    QDialog::accept();
}

void CToolsetDlg::done(int result) {
    // The window goes away with its timer and its waiting messages; nothing may tick into a
    // closed dialog.
    m_bEnded = true;
    m_waitingMessages.clear();
    m_timer3.stop();
    QDialog::done(result);
}

// ---- What the link tells ------------------------------------------------------------------

void CToolsetDlg::ShowDeviceValues(const DeviceValues& values) {
    m_values = values;
    m_runningValuesTimer.stop();
    UpdateData(false, Validation::Quiet, Boxes::Device);
}

void CToolsetDlg::ShowRunningValues(const DeviceValues& values) {
    // A device polled once a second is shown at once. One that streams its values is redrawn
    // at most five times a second: laying out and painting the boxes for every read would
    // cost more than everything else the tool does, and no one reads faster.
    const qint64 since =
        m_runningValuesShown.isValid() ? m_runningValuesShown.elapsed() : kRunningValuesMs;
    if (since >= kRunningValuesMs) {
        m_runningValuesShown.start();
        ShowDeviceValues(values);
        return;
    }
    m_values = values;
    if (!m_runningValuesTimer.isActive()) {
        m_runningValuesTimer.start(static_cast<int>(kRunningValuesMs - since));
    }
}

void CToolsetDlg::PollAnswered(const DeviceValues& values) {
    m_workshop->PollAnswered(values);
}

void CToolsetDlg::ShowState(LinkState state) {
    m_workshop->ShowState(state, Latin1(m_strPort));
    const bool identified = state == LinkState::Linked || state == LinkState::Halted;
    EnableDlgItem(IDC_CONNECT, !identified);
    // Also while the tool keeps trying a refused port: Disconnect stops that.
    EnableDlgItem(IDC_DISCONNECT, identified || state == LinkState::Retrying);
}

void CToolsetDlg::EnableSettings(SettingControls controls) {
    m_workshop->EnableSettings(controls);
    EnableDlgItem(IDC_CYLINDER_GROUP, controls.cylinders);
    EnableDlgItem(IDC_CYLINDERS, controls.cylinders);
    EnableDlgItem(IDC_HZ_GROUP, controls.hzPerMph);
    EnableDlgItem(IDC_HZ_PER_MPH, controls.hzPerMph);
    EnableDlgItem(IDC_FACTORY_DEFAULT, controls.changeButtons);
    EnableDlgItem(IDC_PROCEED, controls.changeButtons);
}

void CToolsetDlg::ResetEntries() {
    LoadFactorySettings();
}

void CToolsetDlg::LoadFactorySettings() {
    // The port entry keeps whatever the user chose; only the two settings go back.
    m_strCylinders = Utf8(kFactoryCylinders);
    m_dHzPerMph = kFactoryHzPerMph;
    LoadEntries({IDC_CYLINDERS, IDC_HZ_PER_MPH});
}

void CToolsetDlg::LoadEntries(std::initializer_list<int> ids) {
    const auto control = [this](int id) { return GetDlgItem(id); };
    std::vector<ExchangeRow> entries;
    for (const ExchangeRow& row : ExchangeTable()) {
        if (std::find(ids.begin(), ids.end(), row.id) != ids.end()) {
            entries.push_back(row);
        }
    }
    LoadRows(entries, control, Boxes::All);
}

void CToolsetDlg::PutHzPerMph(double hzPerMph) {
    m_dHzPerMph = hzPerMph;
    LoadEntries({IDC_HZ_PER_MPH});
    GetDlgItem(IDC_HZ_PER_MPH)->setFocus(Qt::OtherFocusReason);
}

void CToolsetDlg::ShowMessage(const LinkMessage& message) {
    QString text = Tr(message.text);
    if (message.kind == LinkMessage::Kind::PortRefused) {
        text += QStringLiteral("\n\n") +
                tr("The tool keeps looking for the device once a second. Click Disconnect to "
                   "stop.");
    }
    TellLater(text, message.icon);
}

void CToolsetDlg::StartTimer() {
    m_timer3.start(kTimerPeriodMs);
}

void CToolsetDlg::StopTimer() {
    m_timer3.stop();
}

void CToolsetDlg::SavePort(const std::string& port) {
    SavePortSetting(Latin1(port));
}

// Every box of the dialog goes through here. A box runs a nested event loop, so what raised it
// must not be waiting for it: the link's messages and the dialog's own reports are posted and
// shown from the event loop (timer 3 then goes on ticking behind the box). Only the refused
// entries of a click are told at once, so that the entry gets the focus afterwards.
void CToolsetDlg::Tell(const QString& text, MessageIcon icon) {
    if (m_bMessageOpen) {
        m_waitingMessages.push_back({text, icon});
        return;
    }
    m_bMessageOpen = true;
    m_platform.messageBox(this, text, icon);
    m_bMessageOpen = false;
    if (!m_waitingMessages.empty()) {
        QTimer::singleShot(0, this, [this] { ShowWaitingMessage(); });
    }
}

void CToolsetDlg::TellLater(const QString& text, MessageIcon icon) {
    m_waitingMessages.push_back({text, icon});
    QTimer::singleShot(0, this, [this] { ShowWaitingMessage(); });
}

void CToolsetDlg::ShowWaitingMessage() {
    if (m_bEnded || m_bMessageOpen || m_waitingMessages.empty()) {
        return;
    }
    const Message message = m_waitingMessages.front();
    m_waitingMessages.pop_front();
    Tell(message.text, message.icon);
}

// ---- Window menu -------------------------------------------------------------------------

void CToolsetDlg::BuildWindowMenu() {
    // The window manager's own menu cannot be extended here, so the dialog carries a window
    // menu of its own: right click on the free area of the dialog, or Alt+Space.
    m_windowMenu = new QMenu(this);
    QAction* close = m_windowMenu->addAction(tr("&Close"));
    close->setShortcut(QKeySequence(Qt::ALT | Qt::Key_F4));
    close->setData(kScClose);
    m_workshop->AddCommands(*m_windowMenu);
    connect(m_windowMenu, &QMenu::triggered, this,
            [this](QAction* action) { OnSysCommand(action->data().toUInt()); });
    auto* shortcut = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_Space), this);
    connect(shortcut, &QShortcut::activated, this,
            [this] { m_windowMenu->popup(mapToGlobal(QPoint(0, 0))); });
}

void CToolsetDlg::contextMenuEvent(QContextMenuEvent* event) {
    m_windowMenu->popup(event->globalPos());
}

void CToolsetDlg::OnSysCommand(unsigned id) {
    if ((id & 0xFFF0) == kIdmAboutBox) {
        CAboutDlg about(m_platform.messageBox, this);
        if (m_link.DeviceValid()) {
            about.m_strProductId = Latin1(m_values.m_strProductId.value_or(""));
            about.m_strFirmware = Latin1(m_values.m_strFirmware.value_or(""));
            about.m_dwSerialNo = m_values.m_dwSerialNo;
        }
        about.DoModal();
        return;
    }
    if ((id & 0xFFF0) == kScClose) {
        reject();
    }
}

// ---- Settings file -----------------------------------------------------------------------

bool CToolsetDlg::LoadPortSetting() {
    const ToolPlaces places = PlacesOf(m_platform);
    MakeSettingsFolder(places);
    m_settingsFile.SetPath(places.settingsFile);
    const PortLoadResult result = m_settingsFile.Load();
    m_strPort = Latin1(result.port);
    if (result.writeError) {
        ReportSettingsWriteError(*result.writeError);
    }
    return result.savePending;
}

void CToolsetDlg::SavePortSetting(const QString& port) {
    const PortSaveResult result = m_settingsFile.Save(Latin1(port));
    if (result.error) {
        ReportSettingsWriteError(*result.error);
    } else {
        m_bSettingsWriteFailed = false;
    }
}

void CToolsetDlg::ReportSettingsWriteError(const UserText& error) {
    // Told once; further failures stay quiet until a write succeeds again.
    if (m_bSettingsWriteFailed) {
        return;
    }
    m_bSettingsWriteFailed = true;
    const QString text =
        Tr(error) + QStringLiteral("\n") +
        tr("The port you choose is used, but it will not be remembered next time.");
    TellLater(text);
}

}  // namespace zk4
