#include "supervision/Link.h"

#include <algorithm>
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

// A reported value as a message shows it.
std::string Quoted(const std::optional<std::string>& value) {
    return Latin1ToUtf8(value.value_or(kNotAvailable));
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

// ---- Inputs, refusals and messages -------------------------------------------------------

template <typename Step>
void Link::Run(Origin origin, Step&& step) {
    ++m_inputDepth;
    try {
        step();
    } catch (const SerialError& error) {
        Refused(error.Text(), origin);
    }
    // A message shown from inside a step would run its nested loop there: the timer that
    // raised it would not fire again until the box closed, and the steps after it would run
    // against whatever the nested loop did meanwhile. So messages wait for the end.
    if (--m_inputDepth == 0) {
        m_outbox.Deliver(m_view);
    }
}

void Link::Outbox::Deliver(LinkView& view) {
    if (m_showing) {
        return;
    }
    m_showing = true;
    while (!m_waiting.empty()) {
        const LinkMessage message = std::move(m_waiting.front());
        m_waiting.pop_front();
        view.ShowMessage(message);
    }
    m_showing = false;
}

void Link::Post(LinkMessage::Kind kind, MessageIcon icon, UserText text) {
    m_outbox.Post({kind, icon, std::move(text)});
}

// A port that cannot be opened, is no port, or has gone away (an adapter pulled out, a cable
// moved to the next truck) is looked for again once a second until it answers or the user
// clicks Disconnect; the window keeps its disconnected look meanwhile.
void Link::Refused(const UserText& text, Origin origin) {
    ResetToDisconnected();
    Enter(LinkState::Retrying);
    // A click is always answered. The timer tells a refusal once, and a name someone may still
    // be typing into the port box not at all.
    const bool typing = !PortNumberFromName(m_strPort) && StartsAPortName(m_strPort);
    bool tell = false;
    if (origin == Origin::User) {
        m_refusalTold.Take();
        tell = true;
    } else if (!typing) {
        tell = m_refusalTold.Take();
    }
    if (tell) {
        Post(LinkMessage::Kind::PortRefused, MessageIcon::Stop, text);
    }
}

void Link::Start(bool savePending) {
    Run(Origin::User, [&] {
        ResetToDisconnected();
        m_bSavePending = savePending;
        m_bTraffic = false;
        Enter(LinkState::Searching);
    });
}

void Link::Tick(std::string_view port) {
    Run(Origin::Tick, [&] {
        // A tick queued before the timer was stopped has nothing to do.
        if (!TimerRunning()) {
            return;
        }
        m_strPort = port;
        if (!m_bTraffic) {
            DisconnectSteps();
        }
        if (!Identified()) {
            ConnectSteps();
        }
        if (m_bTraffic) {
            if (m_state == LinkState::Linked) {
                m_view.PollAnswered(m_values);
            }
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
    Run(Origin::User, [&] {
        m_strPort = port;
        ConnectSteps();
    });
}

void Link::Disconnect() {
    Run(Origin::User, [&] { DisconnectSteps(); });
}

void Link::CloseForExit() {
    Run(Origin::User, [&] {
        CloseIfOpen();
        Enter(LinkState::Stopped);
    });
}

void Link::OnCommEvent(int commEvent) {
    Run(Origin::User, [&] {
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
        // The report lines of one read are shown together, once: a device streaming at the
        // line's full rate would otherwise have every box redrawn for every line.
        bool reported = false;
        const LineHandler onLine = [&](const RxWindow& window) {
            reported = HandleDeviceLine(window.Line()) || reported;
        };
        for (std::size_t offset = 0; offset < input.size(); offset += kStagingSize) {
            const std::size_t n = std::min(kStagingSize, input.size() - offset);
            FrameBytes(m_rxWindow, std::span(input).subspan(offset, n), onLine);
        }
        if (reported) {
            m_view.ShowRunningValues(m_values);
        }
    });
}

void Link::ProceedToChange(std::optional<std::string_view> cylinders,
                           std::optional<double> hzPerMph) {
    Run(Origin::User, [&] {
        SettingsCheck check;
        if (cylinders && IsCylinderCapable(m_productCode)) {
            const HostCommand command = BuildCylinderCommand(*cylinders);
            SendPaced(command.View());
            check.cylinders = CommandDigits(command.View());
        }
        // The wait runs for every variant, so the Hz command always follows the cylinder
        // command's turn by 15 ms.
        WaitMilliseconds(m_clock, kBetweenSettingCommandsMs);
        if (hzPerMph && IsHzCapable(m_productCode)) {
            // An out-of-range value is never encoded: its integer part has two digits only.
            if (const auto command = BuildHzPerMphCommand(*hzPerMph)) {
                SendPaced(command->View());
                check.hzPerMph = CommandDigits(command->View()) / 10000.0;
            }
        }
        if (check.cylinders || check.hzPerMph) {
            m_check = check;
        }
    });
}

void Link::FactoryDefault() {
    ProceedToChange(kFactoryCylinders, kFactoryHzPerMph);
}

// The device applies new settings on its own time and reports them at the polls. Two polls
// after a change it must report what was sent; otherwise the user hears it once, of the values
// it did not take.
void Link::CheckSettingsTaken() {
    if (!m_check || m_check->polls == 0) {
        return;
    }
    const SettingsCheck check = *m_check;
    const std::optional<std::string>& cylinders = m_values.m_strCylindersReported;
    const std::optional<std::string>& hz = m_values.m_strHzPerMphReported;
    const auto cylindersNow = ReportedNumber(cylinders.value_or(""));
    const auto hzNow = ReportedNumber(hz.value_or(""));
    const bool cylindersTaken = !check.cylinders || cylindersNow == check.cylinders;
    const bool hzTaken = !check.hzPerMph || (hzNow && std::abs(*hzNow - *check.hzPerMph) < 0.00005);
    if (!(cylindersTaken && hzTaken) && check.polls < 2) {
        return;
    }
    m_check.reset();
    m_view.SettingsChecked(cylindersTaken && hzTaken);
    if (cylindersTaken && hzTaken) {
        return;
    }
    UserText text;
    if (!cylindersTaken && !hzTaken) {
        text = {QT_TRANSLATE_NOOP("zk4",
                                  "The device has not taken the new settings: it reports "
                                  "cylinder number \"%1\" and Hz per MPH \"%2\"."),
                {Quoted(cylinders), Quoted(hz)}};
    } else if (!cylindersTaken) {
        text = {QT_TRANSLATE_NOOP(
                    "zk4", "The device has not taken the new cylinder number: it reports \"%1\"."),
                {Quoted(cylinders)}};
    } else {
        text = {QT_TRANSLATE_NOOP(
                    "zk4", "The device has not taken the new Hz per MPH: it reports \"%1\"."),
                {Quoted(hz)}};
    }
    Post(LinkMessage::Kind::SettingsNotTaken, MessageIcon::Exclamation, std::move(text));
}

// ---- Supervisor steps ----------------------------------------------------------------------

// The state, and the timer that goes with it: it runs in Searching, Retrying and Linked, and a
// full period starts when it is started anew.
void Link::Enter(LinkState state, bool restartTimer) {
    const bool wasRunning = TimerRunning();
    m_state = state;
    if (TimerRunning() && (restartTimer || !wasRunning)) {
        m_view.StartTimer();
    } else if (!TimerRunning() && wasRunning) {
        m_view.StopTimer();
    }
    m_view.ShowState(m_state);
}

void Link::ConnectSteps() {
    m_bIdPending = true;
    OpenSelectedPort();  // a refusal ends the input here
    SendPaced(kFirmwareQuery);
    SendPaced(kIdQuery);
    SendPaced(kReadAll);
    Enter(LinkState::Searching, true);
}

void Link::DisconnectSteps() {
    ResetToDisconnected();
    Enter(LinkState::Stopped);
}

void Link::ResetToDisconnected() {
    CloseIfOpen();
    m_bPortOpen = false;
    m_settings = {};
    m_check.reset();
    m_values = {};
    m_bDeviceValid = false;
    m_bFirmwareSeen = false;
    m_view.EnableSettings(m_settings);
    m_view.ResetEntries();
    m_view.ShowDeviceValues(m_values);
}

void Link::CloseIfOpen() {
    if (m_comm.IsOpen()) {
        m_comm.Close();
    }
}

void Link::OpenSelectedPort() {
    const std::optional<int> number = PortNumberFromName(m_strPort);
    m_bPortOpen = false;
    CloseIfOpen();
    if (!number) {
        // Never another port than the one named.
        throw SerialError({QT_TRANSLATE_NOOP("zk4",
                                             "\"%1\" is not a port: the port box takes COM1 to "
                                             "COM30. To use another device, link it as "
                                             "ports/COMn and choose COMn."),
                           {Latin1ToUtf8(m_strPort)}});
    }
    m_comm.SelectPort(*number);
    m_comm.Open();  // a refusal throws and ends the calling input here
    m_bPortOpen = true;
    m_refusalTold.Rearm();
    m_comm.Configure(PortConfig{});
    // Whatever arrived before this point belongs to an earlier conversation.
    (void)m_comm.ReadAll();
}

void Link::SendPaced(std::span<const std::uint8_t> bytes) {
    zk4::SendPaced(m_comm, m_clock, bytes.data(), static_cast<std::uint8_t>(bytes.size()));
}

// ---- Device lines --------------------------------------------------------------------------

// True when the line replaced a reported value.
bool Link::HandleDeviceLine(std::span<const std::uint8_t> line) {
    switch (ClassifyLine(line)) {
        case LineKind::Ignored:
            return false;
        case LineKind::Report: {
            m_bTraffic = true;
            const Report report = ParseReportLine(line);
            if (report.row == nullptr) {
                return false;
            }
            m_values.*(report.row->member) = std::string(report.value);
            if (report.row->member == &DeviceValues::m_strFirmware) {
                m_bFirmwareSeen = true;
            }
            return true;
        }
        case LineKind::Acknowledgement:
            m_bTraffic = true;
            if (IsIdentificationLine(line) && m_bIdPending && m_bFirmwareSeen) {
                HandleIdentification(line);
            }
            return false;
    }
    return false;
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
    m_values.m_strProductId = std::string(product.productId);
    m_bDeviceValid = product.valid;
    m_values.m_dwSerialNo = id.serialNo;

    const bool linked = product.valid && FirmwareGatePasses(m_values.m_strFirmware.value_or(""));
    if (linked) {
        m_settings = {product.cylinders, product.hzPerMph, true};
        m_view.EnableSettings(m_settings);
    }
    Enter(linked ? LinkState::Linked : LinkState::Halted);  // Halted stops the timer
    m_view.ShowDeviceValues(m_values);

    if (linked) {
        return;
    }
    if (product.valid) {
        Post(LinkMessage::Kind::FirmwareUnsupported, MessageIcon::Exclamation,
             {kFirmwareMessage, {}});
    } else {
        DisconnectSteps();  // an unknown product: back to the disconnected look, timer stopped
    }
}

}  // namespace zk4
