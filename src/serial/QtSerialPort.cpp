// The serial layer on QSerialPort: COM numbers resolved to devices, exclusive access, writes
// that leave the host at once, and receive notifications delivered through the event loop.
#include "serial/QtSerialPort.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QMetaObject>
#include <QString>
#include <QTimer>
#include <QtGlobal>
#include <exception>
#include <utility>

#include "serial/LineSettings.h"
#include "serial/PortFailures.h"
#include "serial/PortNames.h"
#include "serial/PortPlatform.h"

namespace zk4 {

namespace {

// How long a write may wait for the driver to take its bytes before the port counts as stuck.
constexpr int kWriteTimeoutMs = 1000;

// Receive notifications come at most this often: a device streaming at the line's full rate
// is handled in chunks of several hundred bytes instead of one pass of the event loop per
// arrival. Nothing waits on an answer for less than a second.
constexpr qint64 kReceiveBatchMs = 50;

// Read errors in a row, with no data between them and no hang-up seen, after which the line
// is treated as gone anyway, so an unusual driver cannot make the event loop spin.
constexpr int kSpuriousErrorLimit = 1000;

// IsOpen() is true in every state but Closed.
enum class PortLife : std::uint8_t {
    Closed,
    JustOpened,  // nothing read since the open: the first read also empties the driver
    Open,
    Gone,  // the device went away while open; the QSerialPort is (being) closed
};

QSerialPort::Parity ToQt(Parity parity) {
    switch (parity) {
        case Parity::Even:
            return QSerialPort::EvenParity;
        case Parity::Odd:
            return QSerialPort::OddParity;
        case Parity::Mark:
            return QSerialPort::MarkParity;
        case Parity::Space:
            return QSerialPort::SpaceParity;
        case Parity::None:
            break;
    }
    return QSerialPort::NoParity;
}

QSerialPort::StopBits ToQt(StopBits stopBits) {
    switch (stopBits) {
        case StopBits::OneAndHalf:
            return QSerialPort::OneAndHalfStop;
        case StopBits::Two:
            return QSerialPort::TwoStop;
        case StopBits::One:
            break;
    }
    return QSerialPort::OneStop;
}

}  // namespace

struct QtSerialPort::Impl {
    explicit Impl(QtSerialPort& self) : owner(self) {}

    QtSerialPort& owner;
    QSerialPort port;
    int number = 1;
    PortConfig config;
    LineSettings line;
    PortLife life = PortLife::Closed;
    bool receiveQueued = false;
    int spuriousErrors = 0;
    unsigned generation = 0;  // changes at every open and close; stale queued work checks it
    unsigned reads = 0;
    QElapsedTimer lastDelivery;         // when the handler was last notified of received bytes
    std::vector<std::uint8_t> pending;  // received bytes taken out of `port`, not yet read
    ReceiveHandler handler;

    SerialError Fail(PortFailure cause, std::string_view detail = {},
                     std::string_view settings = {}) const {
        return SerialError(
            FailureSentence(cause, ComName(number), owner.m_devicePath, detail, settings));
    }

    // Hands the line settings to QSerialPort: stored while closed, applied at once while open.
    bool ApplyLine() {
        return port.setBaudRate(line.baud) &&
               port.setDataBits(static_cast<QSerialPort::DataBits>(line.dataBits)) &&
               port.setParity(ToQt(line.parity)) && port.setStopBits(ToQt(line.stopBits)) &&
               port.setFlowControl(QSerialPort::NoFlowControl);
    }

    std::size_t Waiting() const {
        return pending.size() +
               (port.isOpen() ? static_cast<std::size_t>(port.bytesAvailable()) : std::size_t{0});
    }
    void TakeBuffered() {
        if (port.isOpen()) {
            const QByteArray buffered = port.readAll();
            pending.insert(pending.end(), buffered.begin(), buffered.end());
        }
    }

    void LiftReadLimit() {
        port.setReadBufferSize(0);
        TakeBuffered();  // reading from QSerialPort turns its read notifier back on
    }

    void QueueReceive();
    void DeliverReceive();
    void OnError(QSerialPort::SerialPortError error);
    void QueueRearm();
    void DropDevice();
    void CallHandler(int commEvent);
};

// QSerialPort does not emit readyRead again while a slot connected to it is still running,
// but the handler may open a modal message box whose nested event loop must go on receiving.
// So readyRead only posts the notification; the handler runs from the event loop, outside
// QSerialPort's signal, and a nested loop gets its own notifications. Several arrivals before
// the loop comes round make one notification.
//
// Until that notification runs, QSerialPort may take one more byte from the driver and no
// more: a full read buffer turns its read notifier off, so arrivals in between leave the
// event loop asleep and wait in the driver. The notification lifts the limit.
void QtSerialPort::Impl::QueueReceive() {
    spuriousErrors = 0;
    if (receiveQueued) {
        return;
    }
    receiveQueued = true;
    if (port.isOpen()) {
        port.setReadBufferSize(port.bytesAvailable() + 1);
    }
    const qint64 since = lastDelivery.isValid() ? lastDelivery.elapsed() : kReceiveBatchMs;
    if (since >= kReceiveBatchMs) {
        QMetaObject::invokeMethod(
            &owner, [this] { DeliverReceive(); }, Qt::QueuedConnection);
    } else {
        QTimer::singleShot(kReceiveBatchMs - since, &owner, [this] { DeliverReceive(); });
    }
}

void QtSerialPort::Impl::DeliverReceive() {
    receiveQueued = false;
    LiftReadLimit();
    const auto threshold = static_cast<std::size_t>(config.receiveThreshold);
    if (life == PortLife::Closed || !handler || config.receiveThreshold <= 0 ||
        Waiting() < threshold) {
        return;
    }
    const unsigned readsBefore = reads;
    lastDelivery.start();
    CallHandler(kCommEventReceive);
    // Bytes left after a handler that did read (a limited input length, or arrivals during
    // the handler) get another notification. A handler that read nothing is not asked again
    // until more bytes come, or it would be called in a tight loop.
    if (life != PortLife::Closed && reads != readsBefore && Waiting() >= threshold) {
        QueueReceive();
    }
}

void QtSerialPort::Impl::CallHandler(int commEvent) {
    const ReceiveHandler call = handler;  // the handler may replace itself
    try {
        call(commEvent);
    } catch (const std::exception& e) {
        // An exception must not unwind through the event loop; the dialog catches its own,
        // this only keeps a stray one from ending the program.
        qWarning("Serial notification handler failed: %s", e.what());
    }
}

// On Linux a line that has hung up (pty master closed, USB adapter pulled) reads as 0 bytes
// forever while QSerialPort keeps its read notifier armed: it raises ReadError on every pass
// of the event loop, hundreds of thousands of times a second. So the first read or resource
// error makes us look at the line ourselves. A hung-up line means the device is gone: IsOpen()
// stays true (the dialog's watchdog notices the silence and resets; the handler is told
// nothing), what was received before is still delivered, and the QSerialPort is closed on the
// next pass of the event loop (not inside its own notifier), so nothing spins. Later writes
// say the device was disconnected; Close() works as always.
//
// A read error on a healthy line is no error: the first read after an open emptied the driver
// between the event dispatcher's poll and QSerialPort's read, so that read found nothing (and
// QSerialPort picks its error from a stale errno). It is ignored; after a ResourceError
// QSerialPort stops reading, so reading is re-armed.
void QtSerialPort::Impl::OnError(QSerialPort::SerialPortError error) {
    switch (life) {
        case PortLife::Closed:
        case PortLife::Gone:
            return;
        case PortLife::JustOpened:
        case PortLife::Open:
            break;
    }
    if (error == QSerialPort::NoError || error == QSerialPort::TimeoutError) {
        return;
    }
    const bool lineError = error == QSerialPort::ReadError || error == QSerialPort::ResourceError ||
                           error == QSerialPort::WriteError;
    bool gone = false;
    if (lineError) {
        gone = LineGone(port, error);
        if (!gone && error != QSerialPort::WriteError) {
            if (++spuriousErrors < kSpuriousErrorLimit) {
                if (error == QSerialPort::ResourceError) {
                    QueueRearm();
                }
                return;
            }
            gone = true;
        }
    }
    if (gone) {
        life = PortLife::Gone;
        const unsigned current = generation;
        QMetaObject::invokeMethod(
            &owner,
            [this, current] {
                if (current == generation && life == PortLife::Gone) {
                    DropDevice();
                }
            },
            Qt::QueuedConnection);
    }
}

void QtSerialPort::Impl::QueueRearm() {
    const unsigned current = generation;
    QMetaObject::invokeMethod(
        &owner,
        [this, current] {
            if (current != generation || life == PortLife::Gone) {
                return;
            }
            TakeBuffered();  // reading from QSerialPort turns its read notifier back on
            if (!pending.empty()) {
                QueueReceive();
            }
        },
        Qt::QueuedConnection);
}

// Keeps what was received before the line went away, then lets the device go.
void QtSerialPort::Impl::DropDevice() {
    TakeBuffered();
    DrainDriver(port, pending);
    port.close();  // closing the descriptor also releases our lock
    if (!pending.empty()) {
        QueueReceive();
    }
}

QtSerialPort::QtSerialPort(std::vector<std::string> portsDirs, QObject* parent)
    : QObject(parent), m_impl(std::make_unique<Impl>(*this)), m_portsDirs(std::move(portsDirs)) {
    connect(&m_impl->port, &QSerialPort::readyRead, this, [this] { m_impl->QueueReceive(); });
    connect(&m_impl->port, &QSerialPort::errorOccurred, this,
            [this](QSerialPort::SerialPortError error) { m_impl->OnError(error); });
}

QtSerialPort::QtSerialPort(std::string portsDir, QObject* parent)
    : QtSerialPort(std::vector<std::string>{std::move(portsDir)}, parent) {}

QtSerialPort::~QtSerialPort() {
    Close();
    QObject::disconnect(&m_impl->port, nullptr, this, nullptr);
}

bool QtSerialPort::IsOpen() const {
    return m_impl->life != PortLife::Closed;
}

void QtSerialPort::Close() {
    Impl& d = *m_impl;
    d.life = PortLife::Closed;
    d.receiveQueued = false;
    d.spuriousErrors = 0;
    d.pending.clear();
    ++d.generation;
    d.port.setReadBufferSize(0);
    if (d.port.isOpen()) {
        d.port.close();  // closing the descriptor also releases our lock
    }
}

void QtSerialPort::SelectPort(int number) {
    m_impl->number = number >= 1 && number <= 30 ? number : 1;
}

void QtSerialPort::Open() {
    Impl& d = *m_impl;
    if (d.life != PortLife::Closed) {
        Close();
    }
    m_devicePath = DeviceForPort(d.number, m_portsDirs);
    if (const auto refusal = RefusalBeforeOpen(m_devicePath)) {
        throw d.Fail(refusal->cause, refusal->detail);
    }

    d.port.setPortName(QString::fromLocal8Bit(m_devicePath.c_str()));
    // Open with a framing every tty takes, then apply the configured one, so a framing the
    // device refuses gets its own message instead of failing the open itself.
    d.port.setBaudRate(d.line.baud);
    d.port.setDataBits(QSerialPort::Data8);
    d.port.setParity(QSerialPort::NoParity);
    d.port.setStopBits(QSerialPort::OneStop);
    d.port.setFlowControl(QSerialPort::NoFlowControl);
    if (!d.port.open(QIODevice::ReadWrite)) {
        const QString reason = d.port.errorString();
        // Access rights were checked above, so a PermissionError is QSerialPort's lock file
        // held by another program or a tty opened exclusively, unless no lock file could be made.
        if (d.port.error() == QSerialPort::DeviceNotFoundError) {
            throw d.Fail(PortFailure::NotExist);
        }
        if (d.port.error() == QSerialPort::PermissionError &&
            !reason.contains(QStringLiteral("creating lock file"))) {
            throw d.Fail(PortFailure::InUse);
        }
        throw d.Fail(PortFailure::OpenFailed, reason.toStdString());
    }
    if (const auto refusal = LockOpenedPort(d.port)) {
        d.port.close();
        throw d.Fail(refusal->cause, refusal->detail);
    }
    if (!d.ApplyLine()) {
        const std::string reason = d.port.errorString().toStdString();
        d.port.close();
        throw d.Fail(PortFailure::SettingsRefusedAtOpen, reason, d.config.settings);
    }
    d.pending.clear();
    d.spuriousErrors = 0;
    ++d.generation;
    d.life = PortLife::JustOpened;
}

void QtSerialPort::Configure(const PortConfig& config) {
    Impl& d = *m_impl;
    const auto line = ParseLineSettings(config.settings);
    if (!line) {
        throw d.Fail(PortFailure::InvalidSettings, {}, config.settings);
    }
    // QSerialPort always passes bytes unchanged, which is what binary mode asks for.
    const LineSettings previous = d.line;
    d.line = *line;
    if (d.port.isOpen()) {
        if (!d.ApplyLine()) {
            const std::string reason = d.port.errorString().toStdString();
            d.line = previous;  // put back what was in force; the failed change is not kept
            d.ApplyLine();
            throw d.Fail(PortFailure::SettingsRefused, reason, config.settings);
        }
    }
    d.config = config;
}

void QtSerialPort::Write(std::span<const std::uint8_t> bytes) {
    Impl& d = *m_impl;
    switch (d.life) {
        case PortLife::Closed:
            throw d.Fail(PortFailure::NotOpenForWrite);
        case PortLife::Gone:
            throw d.Fail(PortFailure::Disconnected);
        case PortLife::JustOpened:
        case PortLife::Open:
            break;
    }
    if (bytes.empty()) {
        return;
    }
    d.port.clearError();
    const auto size = static_cast<qint64>(bytes.size());
    const qint64 queued = d.port.write(reinterpret_cast<const char*>(bytes.data()), size);
    if (queued == size) {
        // QSerialPort only writes from the event loop unless told to flush; the device must
        // see each byte now, before the pacing pause starts.
        d.port.flush();
        QDeadlineTimer deadline(kWriteTimeoutMs);
        while (d.port.bytesToWrite() > 0 && d.life != PortLife::Gone && !deadline.hasExpired()) {
            if (!d.port.waitForBytesWritten(static_cast<int>(deadline.remainingTime())) &&
                d.port.error() != QSerialPort::TimeoutError &&
                d.port.error() != QSerialPort::NoError) {
                break;
            }
        }
    }
    if (d.life == PortLife::Gone) {
        throw d.Fail(PortFailure::Disconnected);
    }
    if (queued != size || d.port.bytesToWrite() > 0) {
        const SerialError failure =
            queued == size && d.port.error() == QSerialPort::TimeoutError
                ? d.Fail(PortFailure::WriteStuck)
                : d.Fail(PortFailure::WriteFailed, d.port.errorString().toStdString());
        // Nothing of this write may go out later, out of turn.
        d.port.clear(QSerialPort::Output);
        throw failure;
    }
}

std::vector<std::uint8_t> QtSerialPort::ReadAll() {
    Impl& d = *m_impl;
    switch (d.life) {
        case PortLife::Closed:
            throw d.Fail(PortFailure::NotOpenForRead);
        case PortLife::JustOpened:
            d.TakeBuffered();
            // QSerialPort only fetches from the driver when the event loop runs, so right after
            // the open the bytes that arrived before it still wait there; the first read takes
            // them too, or it would not really discard them. Later reads leave the driver to
            // QSerialPort: reading it behind its back while the event loop has already seen the
            // line readable makes QSerialPort's own read find nothing and raise a read error.
            DrainDriver(d.port, d.pending);
            d.life = PortLife::Open;
            break;
        case PortLife::Open:
        case PortLife::Gone:
            d.TakeBuffered();
            break;
    }
    ++d.reads;
    std::vector<std::uint8_t> out;
    out.swap(d.pending);
    if (d.config.inputLength > 0 && out.size() > static_cast<std::size_t>(d.config.inputLength)) {
        const auto limit = static_cast<std::ptrdiff_t>(d.config.inputLength);
        d.pending.assign(out.begin() + limit, out.end());
        out.resize(static_cast<std::size_t>(limit));
    }
    return out;
}

void QtSerialPort::SetReceiveHandler(ReceiveHandler handler) {
    m_impl->handler = std::move(handler);
}

}  // namespace zk4
