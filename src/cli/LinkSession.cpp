#include "cli/LinkSession.h"

#include <QMetaObject>

namespace zk4 {
namespace {

// Timer 3's period, as in the window.
constexpr int kTimerPeriodMs = 1000;

// A device's answers to the connect burst's "AT RALL" follow its identification within a few
// tens of milliseconds; one that leaves a value out is printed without it after this long.
constexpr int kValuesGraceMs = 300;

bool IsIdentified(LinkState state) {
    return state == LinkState::Linked || state == LinkState::Halted;
}

}  // namespace

LinkSession::LinkSession(std::string port, std::vector<std::string> portsFolders,
                         const std::string& tracePath, Events events)
    : m_port(std::move(port)), m_events(std::move(events)), m_serial(std::move(portsFolders)) {
    SerialPort* serial = &m_serial;
    if (!tracePath.empty()) {
        TracingSerialPort::Opened opened = TracingSerialPort::OpenTrace(m_serial, tracePath);
        m_trace = std::move(opened.port);
        if (m_trace) {
            serial = m_trace.get();
        } else {
            m_traceError = opened.error;
        }
    }
    m_timer3.setTimerType(Qt::PreciseTimer);
    QObject::connect(&m_timer3, &QTimer::timeout, &m_context, [this] { m_link->Tick(m_port); });
    m_grace.setSingleShot(true);
    QObject::connect(&m_grace, &QTimer::timeout, &m_context, [this] { ValuesIn(); });
    LinkView& view = *this;
    m_link = std::make_unique<Link>(*serial, m_clock, m_rxWindow, view);
}

LinkSession::~LinkSession() {
    m_timer3.stop();
    m_link.reset();  // closes the port while the trace still records it
}

void LinkSession::Start() {
    m_link->Start(false);
    m_link->Connect(m_port);
}

ValueRecord LinkSession::Record() const {
    return Record(m_link->Values());
}

ValueRecord LinkSession::Record(const DeviceValues& values) const {
    return {QDateTime::currentDateTime(), m_port, m_serial.DevicePath(), values};
}

void LinkSession::Later(std::function<void()> event) {
    if (event) {
        QMetaObject::invokeMethod(&m_context, std::move(event), Qt::QueuedConnection);
    }
}

void LinkSession::ShowDeviceValues(const DeviceValues& values) {
    CheckValuesIn(values, false);
}

void LinkSession::ShowRunningValues(const DeviceValues& values) {
    CheckValuesIn(values, true);
}

// The values are in once a read after the identification has brought report lines and every
// reported value is there. (A value left over from an earlier burst of the same search counts:
// it is at most a period old and came from the same device.)
void LinkSession::CheckValuesIn(const DeviceValues& values, bool reported) {
    if (!m_awaitingValues) {
        return;
    }
    m_reportedSinceId = m_reportedSinceId || reported;
    if (!m_reportedSinceId) {
        return;
    }
    for (const ReportedValue& row : kReportedValues) {
        if (!(values.*(row.member))) {
            return;
        }
    }
    ValuesIn();
}

void LinkSession::ValuesIn() {
    if (!m_awaitingValues) {
        return;
    }
    m_awaitingValues = false;
    m_grace.stop();
    Later(m_events.valuesIn);
}

void LinkSession::PollAnswered(const DeviceValues& values) {
    if (m_events.polled) {
        Later([this, values] { m_events.polled(values); });
    }
}

void LinkSession::ShowState(LinkState state) {
    const LinkState before = std::exchange(m_state, state);
    if (before == state) {
        return;
    }
    if (IsIdentified(state) && !IsIdentified(before)) {
        m_awaitingValues = true;
        m_reportedSinceId = false;
        m_grace.start(kValuesGraceMs);
        Later(m_events.identified);
    } else if (!IsIdentified(state)) {
        m_awaitingValues = false;
        m_grace.stop();
    }
    if (m_events.stateChanged) {
        Later([this, state] { m_events.stateChanged(state); });
    }
}

void LinkSession::EnableSettings(SettingControls controls) {
    m_settings = controls;
}

void LinkSession::ShowMessage(const LinkMessage& message) {
    if (m_events.message) {
        Later([this, message] { m_events.message(message); });
    }
}

void LinkSession::SettingsChecked(bool taken) {
    if (m_events.settingsChecked) {
        Later([this, taken] { m_events.settingsChecked(taken); });
    }
}

void LinkSession::StartTimer() {
    m_timer3.start(kTimerPeriodMs);
}

void LinkSession::StopTimer() {
    m_timer3.stop();
}

}  // namespace zk4
