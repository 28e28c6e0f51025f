#include "supervision/Link.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>

#include "protocol/DeviceLine.h"
#include "protocol/HostCommands.h"
#include "serial/PortNames.h"
#include "serial/SendPaced.h"

namespace zk4 {
namespace {

// One read is framed in pieces of at most this many bytes.
constexpr std::size_t kStagingSize = 2048;

// The device needs a moment between two setting commands.
constexpr std::uint32_t kBetweenSettingCommandsMs = 15;

std::string Text(std::string_view bytes) {
    return std::string(bytes);
}

DeviceValues Placeholders() {
    DeviceValues v;
    v.m_strProductId = Text(kNotFoundYet);
    v.m_strFirmware = Text(kNotFoundYet);
    for (std::string* text : {&v.m_strVoltage, &v.m_strEngineRpm, &v.m_strVehicleMph,
                              &v.m_strCylindersReported, &v.m_strHzPerMphReported}) {
        *text = Text(kNotAvailable);
    }
    return v;
}

// The member each report word replaces.
std::string* ReportedValue(DeviceValues& v, ReportField field) {
    switch (field) {
        case ReportField::Cylinders:
            return &v.m_strCylindersReported;
        case ReportField::Voltage:
            return &v.m_strVoltage;
        case ReportField::Firmware:
            return &v.m_strFirmware;
        case ReportField::HzPerMph:
            return &v.m_strHzPerMphReported;
        case ReportField::VehicleMph:
            return &v.m_strVehicleMph;
        case ReportField::EngineRpm:
            return &v.m_strEngineRpm;
        case ReportField::Unknown:
            break;
    }
    return nullptr;
}

// The number a report shows, or nothing when the text is not a number.
template <typename Number>
std::optional<Number> ReportedNumber(std::string_view text) {
    Number value{};
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

// The digits of a command as sent: "AT CN=12" CR LF gives 12, "AT HZ=02.2500" CR LF 225000.
unsigned CommandDigits(std::span<const std::uint8_t> command) {
    unsigned value = 0;
    for (const std::uint8_t byte : command) {
        if (byte >= '0' && byte <= '9') {
            value = value * 10 + (byte - '0');
        }
    }
    return value;
}

}  // namespace

Link::Link(SerialPort& port, Clock& clock, RxWindow& window, LinkView& view)
    : m_comm(port), m_clock(clock), m_rxWindow(window), m_view(view) {
    m_comm.SetReceiveHandler([this](int commEvent) { OnCommEvent(commEvent); });
}

Link::~Link() {
    m_comm.SetReceiveHandler({});
    CloseIfOpen();
}

// ---- Error boundary ------------------------------------------------------------------------

// A serial refusal ends the input that raised it, at that point; what it changed stays.
template <typename Step>
void Link::Guarded(bool fromTick, Step&& step) {
    try {
        step();
    } catch (const SerialError& error) {
        OnSerialError(error, fromTick);
    }
}

void Link::OnSerialError(const SerialError& error, bool fromTick) {
    // A port that cannot be opened or has gone away (an adapter pulled out, a cable moved to
    // the next truck) is looked for again once a second until it answers or the user clicks
    // Disconnect; the window keeps its disconnected look meanwhile.
    ResetToDisconnected();
    if (!TimerRunning()) {
        RunTimer(true);
    }
    // Told once, not once a second: a refused retry stays quiet until the port has opened in
    // between. A click is always answered. Never one box inside another.
    const bool tell = !fromTick || !m_bRefusalTold;
    m_bRefusalTold = true;
    if (!tell || m_bShowingSerialError) {
        return;
    }
    m_bShowingSerialError = true;
    Message(std::string(error.what()) + std::string(kKeepsLooking), MessageIcon::Stop);
    m_bShowingSerialError = false;
}

// ---- Inputs --------------------------------------------------------------------------------

void Link::Start(bool savePending) {
    ResetToDisconnected();
    m_bSavePending = savePending;
    m_bTraffic = false;
    RunTimer(true);
}

void Link::Tick(std::string_view port) {
    // A tick queued before the timer was stopped has nothing to do.
    if (!TimerRunning()) {
        return;
    }
    m_strPort = port;
    Guarded(true, [&] {
        if (!m_bTraffic) {
            DisconnectSteps();
        }
        if (!Identified()) {
            ConnectSteps();
        }
        if (m_bTraffic) {
            CheckSettingsTaken();
            SendPaced(kReadAll);
            if (m_check) {
                ++m_check->polls;
            }
        }
        m_bTraffic = false;
        if (m_bSavePending) {
            m_view.SavePort(m_strPort);
            m_bSavePending = false;
        }
    });
}

void Link::Connect(std::string_view port) {
    m_strPort = port;
    Guarded(false, [&] { ConnectSteps(); });
}

void Link::Disconnect() {
    DisconnectSteps();
}

void Link::CloseForExit() {
    CloseIfOpen();
    RunTimer(false);
}

void Link::OnCommEvent(int commEvent) {
    Guarded(false, [&] {
        if (commEvent != kCommEventReceive) {
            return;
        }
        // A notification that was on its way when the port closed has nothing left to read.
        if (!m_comm.IsOpen()) {
            return;
        }
        const std::vector<std::uint8_t> input = m_comm.ReadAll();
        if (!m_bPortOpen) {
            return;  // read and dropped: the port is not ours to listen to yet
        }
        const LineHandler onLine = [this](const RxWindow& window) { HandleDeviceLine(window); };
        // The report lines of one read are shown together, once: a device streaming at the
        // line's full rate would otherwise have every box redrawn for every line.
        m_bShowPending = false;
        m_bCollectReports = true;
        for (std::size_t offset = 0; offset < input.size(); offset += kStagingSize) {
            const std::size_t n = std::min(kStagingSize, input.size() - offset);
            FrameBytes(m_rxWindow, std::span(input).subspan(offset, n), onLine);
        }
        m_bCollectReports = false;
        if (m_bShowPending) {
            m_bShowPending = false;
            m_view.ShowRunningValues(m_values);
        }
    });
}

void Link::ProceedToChange(std::string_view cylinders, double hzPerMph) {
    Guarded(false, [&] {
        SettingsCheck check;
        if (IsCylinderCapable(m_productCode)) {
            const HostCommand command = BuildCylinderCommand(cylinders);
            SendPaced(command.View());
            check.cylinders = CommandDigits(command.View());
        }
        // The wait runs for every variant, so the Hz command always follows the cylinder
        // command's turn by 15 ms.
        WaitMilliseconds(m_clock, kBetweenSettingCommandsMs);
        if (IsHzCapable(m_productCode)) {
            // An out-of-range value is never encoded: its integer part has two digits only.
            if (const auto command = BuildHzPerMphCommand(hzPerMph)) {
                SendPaced(command->View());
                check.hzPerMph = CommandDigits(command->View()) / 10000.0;
            }
        }
        if (check.cylinders || check.hzPerMph) {
            m_check = check;
        }
    });
}

// The device applies new settings on its own time and reports them at the polls. Two polls
// after a change it must report what was sent; otherwise the user hears it once.
void Link::CheckSettingsTaken() {
    if (!m_check || m_check->polls == 0) {
        return;
    }
    const SettingsCheck check = *m_check;
    const auto cylinders = ReportedNumber<unsigned>(m_values.m_strCylindersReported);
    const auto hz = ReportedNumber<double>(m_values.m_strHzPerMphReported);
    const bool cylindersTaken = !check.cylinders || cylinders == check.cylinders;
    const bool hzTaken = !check.hzPerMph || (hz && std::abs(*hz - *check.hzPerMph) < 0.00005);
    if (cylindersTaken && hzTaken) {
        m_check.reset();
        return;
    }
    if (check.polls < 2) {
        return;
    }
    m_check.reset();
    std::string reports;
    if (check.cylinders) {
        reports += "cylinder number \"" + m_values.m_strCylindersReported + "\"";
    }
    if (check.hzPerMph) {
        reports += std::string(reports.empty() ? "" : " and ") + "Hz per MPH \"" +
                   m_values.m_strHzPerMphReported + "\"";
    }
    Message("The device has not taken the new settings: it reports " + reports + ".",
            MessageIcon::Exclamation);
}

void Link::FactoryDefault() {
    ProceedToChange(kFactoryCylinders, kFactoryHzPerMph);
}

// ---- Supervisor steps ----------------------------------------------------------------------

void Link::ConnectSteps() {
    m_bIdPending = true;
    OpenSelectedPort();  // a refused open ends the input here
    if (m_bPortOpen) {
        SendPaced(kFirmwareQuery);
        SendPaced(kIdQuery);
        SendPaced(kReadAll);
    }
    // A full period starts now.
    RunTimer(false);
    RunTimer(true);
}

void Link::DisconnectSteps() {
    RunTimer(false);
    ResetToDisconnected();
}

void Link::ResetToDisconnected() {
    CloseIfOpen();
    m_bPortOpen = false;
    SetIdentified(false);
    m_settings = {};
    m_check.reset();
    m_values = Placeholders();
    m_bDeviceValid = false;
    m_bFirmwareSeen = false;
    m_view.EnableSettings(m_settings);
    m_view.ResetEntries();
    m_view.ShowDeviceValues(m_values);
}

void Link::RunTimer(bool run) {
    if (run) {
        m_view.StartTimer();
    } else {
        m_view.StopTimer();
    }
    ShowState(Identified(), run);
}

void Link::SetIdentified(bool identified) {
    ShowState(identified, TimerRunning());
}

void Link::ShowState(bool identified, bool timerRunning) {
    if (identified) {
        m_state = timerRunning ? LinkState::Linked : LinkState::Halted;
    } else {
        m_state = timerRunning ? LinkState::Searching : LinkState::Stopped;
    }
    m_view.ShowState(m_state);
}

void Link::CloseIfOpen() {
    if (m_comm.IsOpen()) {
        m_comm.Close();
    }
}

void Link::OpenSelectedPort() {
    const int number = PortNumberFromName(m_strPort);
    m_bPortOpen = false;
    CloseIfOpen();
    m_comm.SelectPort(number);
    if (m_comm.IsOpen()) {
        Message(Text(kMsgCannotOpenPort), MessageIcon::Exclamation);
    } else {
        m_comm.Open();  // a refusal throws and ends the calling input here
        m_bPortOpen = true;
        m_bRefusalTold = false;
    }
    m_comm.Configure(PortConfig{});
    // Whatever arrived before this point belongs to an earlier conversation.
    (void)m_comm.ReadAll();
}

void Link::SendPaced(std::span<const std::uint8_t> bytes) {
    zk4::SendPaced(m_comm, m_clock, bytes.data(), static_cast<std::uint8_t>(bytes.size()));
}

void Link::Message(const std::string& text, MessageIcon icon) {
    // What the device said so far is on screen before a box takes the user's attention.
    if (m_bShowPending) {
        m_bShowPending = false;
        m_view.ShowDeviceValues(m_values);
    }
    m_view.ShowMessage(text, icon);
}

// ---- Device lines --------------------------------------------------------------------------

void Link::HandleDeviceLine(const RxWindow& window) {
    // A message box below runs a nested loop that may frame more bytes into the window, so
    // the line is copied out first.
    std::array<std::uint8_t, kRxWindowSize> copy{};
    std::copy_n(window.data.begin(), window.count, copy.begin());
    const std::span<const std::uint8_t> line(copy.data(), window.count);

    switch (ClassifyLine(line)) {
        case LineKind::Ignored:
            return;
        case LineKind::Report: {
            m_bTraffic = true;
            const Report report = ParseReportLine(line);
            std::string* member = ReportedValue(m_values, report.field);
            if (member == nullptr) {
                return;
            }
            *member = Text(report.value);
            if (report.field == ReportField::Firmware) {
                m_bFirmwareSeen = true;
            }
            if (m_bCollectReports) {
                m_bShowPending = true;
            } else {
                m_view.ShowDeviceValues(m_values);
            }
            return;
        }
        case LineKind::Acknowledgement:
            m_bTraffic = true;
            if (IsIdentificationLine(line) && m_bIdPending && m_bFirmwareSeen) {
                HandleIdentification(line);
            }
            return;
    }
}

void Link::HandleIdentification(std::span<const std::uint8_t> line) {
    // The request is used up and the port is worth remembering even if the checksum fails.
    m_bIdPending = false;
    m_bSavePending = true;
    if (!IdentificationChecksumOk(line)) {
        return;
    }

    const Identification id = DecodeIdentification(line);
    m_productCode = id.productCode;
    const ProductInfo product = LookupProduct(id.productCode);
    m_values.m_strProductId = Text(product.productId);
    m_bDeviceValid = product.valid;
    m_values.m_dwSerialNo = id.serialNo;

    const bool linked = FirmwareGatePasses(m_values.m_strFirmware) && product.valid;
    if (linked) {
        m_settings = {product.cylinders, product.hzPerMph, true};
        m_view.EnableSettings(m_settings);
    } else {
        RunTimer(false);
    }
    SetIdentified(true);
    m_view.ShowDeviceValues(m_values);

    if (linked) {
        return;
    }
    if (product.valid) {
        Message(Text(kFirmwareMessage), MessageIcon::Exclamation);
    } else {
        DisconnectSteps();  // an unknown product: back to the disconnected look, timer stopped
    }
}

}  // namespace zk4
