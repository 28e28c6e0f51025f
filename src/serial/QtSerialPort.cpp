// The serial layer on QSerialPort: COM numbers resolved to devices, exclusive access, writes
// that leave the host at once, and receive notifications delivered through the event loop.
#include "serial/QtSerialPort.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QMetaObject>
#include <QString>
#include <QtGlobal>
#include <array>
#include <cerrno>
#include <cstring>
#include <exception>
#include <utility>

#include "serial/LineSettings.h"
#include "serial/PortNames.h"

#if !defined(_WIN32)
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace zk4 {

namespace {

// How long a write may wait for the driver to take its bytes before the port counts as stuck.
constexpr int kWriteTimeoutMs = 1000;

// Read errors in a row, with no data between them and no hang-up seen, after which the line
// is treated as gone anyway, so an unusual driver cannot make the event loop spin.
constexpr int kSpuriousErrorLimit = 1000;

std::string PortLabel(int number) {
    return "COM" + std::to_string(number);
}

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

#if !defined(_WIN32)

// True when the line is gone: the other end of a pseudo-terminal closed, or the tty was hung
// up (a USB adapter pulled out). A healthy tty never reports POLLHUP or POLLERR.
bool LineHungUp(int fd) {
    if (fd < 0) {
        return false;
    }
    pollfd entry{fd, POLLIN, 0};
    if (::poll(&entry, 1, 0) < 0) {
        return false;
    }
    return (entry.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
}

// Everything the driver still holds for us. The tty runs with VMIN = VTIME = 0, so an empty
// queue reads as 0 bytes; a hung-up line reads as 0 or fails, which also ends the loop.
void DrainKernel(int fd, std::vector<std::uint8_t>& out) {
    if (fd < 0) {
        return;
    }
    std::array<std::uint8_t, 4096> chunk{};
    for (;;) {
        const ssize_t n = ::read(fd, chunk.data(), chunk.size());
        if (n > 0) {
            out.insert(out.end(), chunk.begin(), chunk.begin() + n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            return;
        }
    }
}

// The folders where serial programs keep UUCP-style lock files "LCK..<device>", in the
// order QSerialPort (Qt 6.4, Linux) searches them.
constexpr std::array<const char*, 8> kLockDirs = {
    "/var/lock", "/etc/locks", "/var/spool/locks",  "/var/spool/uucp",
    "/tmp",      "/var/tmp",   "/var/lock/lockdev", "/run/lock"};

std::string LockFileName(const std::string& device) {
    std::string name = device.rfind("/dev/", 0) == 0 ? device.substr(5) : device;
    for (char& c : name) {
        if (c == '/') {
            c = '_';
        }
    }
    return "LCK.." + name;
}

// The process, other than this one, that holds a lock file on the device and is still alive;
// 0 when there is none. QSerialPort's own check would treat the lock file of a program that
// writes only its pid (the lockdev format "      1234\n") as stale and take the port over.
pid_t ForeignLockOwner(const std::string& device) {
    const std::string name = LockFileName(device);
    for (const char* dir : kLockDirs) {
        const std::string path = std::string(dir) + "/" + name;
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0) {
            continue;
        }
        std::array<char, 32> text{};
        const ssize_t n = ::read(fd, text.data(), text.size() - 1);
        ::close(fd);
        long pid = 0;
        int digits = 0;
        for (ssize_t i = 0; i < n && digits < 10; ++i) {
            const char c = text[static_cast<std::size_t>(i)];
            if (c >= '0' && c <= '9') {
                pid = pid * 10 + (c - '0');
                ++digits;
            } else if (digits > 0 || c != ' ') {
                break;
            }
        }
        if (pid > 0 && pid != ::getpid() &&
            (::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM)) {
            return static_cast<pid_t>(pid);
        }
    }
    return 0;
}

#endif

// Counts the calls of ours that are running, so errors QSerialPort raises inside them are
// reported by the call's exception instead of a notification.
class CallScope {
  public:
    explicit CallScope(int& depth) : m_depth(depth) { ++m_depth; }
    ~CallScope() { --m_depth; }
    CallScope(const CallScope&) = delete;
    CallScope& operator=(const CallScope&) = delete;

  private:
    int& m_depth;
};

}  // namespace

struct QtSerialPort::Impl {
    explicit Impl(QtSerialPort& self) : owner(self) {}

    QtSerialPort& owner;
    QSerialPort port;
    int number = 1;
    PortConfig config;
    LineSettings line;
    bool open = false;          // what IsOpen() reports
    bool disconnected = false;  // the device went away while open; `port` is (being) closed
    bool receiveQueued = false;
    bool drainOnRead = false;  // the next read also empties the driver
    int callDepth = 0;
    int spuriousErrors = 0;
    unsigned generation = 0;  // changes at every open and close; stale queued work checks it
    unsigned reads = 0;
    std::vector<std::uint8_t> pending;  // received bytes taken out of `port`, not yet read
    ReceiveHandler handler;

    std::string Label() const { return PortLabel(number) + " (" + owner.m_devicePath + ")"; }

    SerialError OpenFailure(const std::string& cause) const {
        return SerialError("Cannot open " + Label() + ": " + cause);
    }
    SerialError NotExist() const {
        return OpenFailure(
            "the device does not exist. Check that the adapter is plugged in, or "
            "link ports/" +
            PortLabel(number) + " to the right device.");
    }
    SerialError PermissionDenied() const {
        return OpenFailure(
            "permission denied. Add your user to the dialout group (sudo usermod -aG dialout "
            "$USER), then log out and in again.");
    }
    SerialError InUse(long pid = 0) const {
        const std::string who = pid > 0 ? " (process " + std::to_string(pid) + ")" : "";
        return OpenFailure("the port is in use by another program" + who + ".");
    }
    SerialError Disconnected(const char* action) const {
        return SerialError("Cannot " + std::string(action) + " " + Label() +
                           ": the device was disconnected. Check the cable and the adapter, "
                           "then connect again.");
    }
    SerialError NotOpen(const char* action) const {
        return SerialError("Cannot " + std::string(action) + " " + PortLabel(number) +
                           ": the port is not open.");
    }

    // Hands the line settings to QSerialPort: stored while closed, applied at once while open.
    bool ApplyLine() {
        return port.setBaudRate(line.baud) &&
               port.setDataBits(static_cast<QSerialPort::DataBits>(line.dataBits)) &&
               port.setParity(ToQt(line.parity)) && port.setStopBits(ToQt(line.stopBits)) &&
               port.setFlowControl(QSerialPort::NoFlowControl);
    }

    void CheckBeforeOpen() const;
    void Lock();
    std::size_t Waiting() const {
        return pending.size() +
               (port.isOpen() ? static_cast<std::size_t>(port.bytesAvailable()) : std::size_t{0});
    }

    void QueueReceive();
    void DeliverReceive();
    void OnError(QSerialPort::SerialPortError error);
    void QueueErrorNotification();
    void QueueRearm();
    void DropDevice();
    void CallHandler(int commEvent);
};

// Refuses early, with a precise cause, what QSerialPort would only report vaguely: its
// PermissionError stands for a missing access right, a held lock file and a busy tty alike.
void QtSerialPort::Impl::CheckBeforeOpen() const {
#if !defined(_WIN32)
    const std::string& device = owner.m_devicePath;
    struct stat info {};
    if (::stat(device.c_str(), &info) != 0) {
        if (errno == ENOENT || errno == ENOTDIR) {
            throw NotExist();
        }
        if (errno == EACCES) {
            throw PermissionDenied();
        }
        return;
    }
    if (::faccessat(AT_FDCWD, device.c_str(), R_OK | W_OK, AT_EACCESS) != 0 &&
        (errno == EACCES || errno == EPERM)) {
        throw PermissionDenied();
    }
    if (const pid_t holder = ForeignLockOwner(device); holder != 0) {
        throw InUse(holder);
    }
#endif
}

// QSerialPort already holds the lock file and sets TIOCEXCL, but TIOCEXCL does not stop root
// and lock files are only honoured by programs that look for them; an advisory lock on the
// device itself also keeps out every program that takes one.
void QtSerialPort::Impl::Lock() {
#if !defined(_WIN32)
    int rc = 0;
    do {
        rc = ::flock(port.handle(), LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        const int error = errno;
        port.close();
        if (error == EWOULDBLOCK) {
            throw InUse();
        }
        throw OpenFailure(std::string("cannot lock the device: ") + std::strerror(error) + ".");
    }
#endif
}

// QSerialPort does not emit readyRead again while a slot connected to it is still running,
// but the handler may open a modal message box whose nested event loop must go on receiving.
// So readyRead only posts the notification; the handler runs from the event loop, outside
// QSerialPort's signal, and a nested loop gets its own notifications. Several arrivals before
// the loop comes round make one notification.
void QtSerialPort::Impl::QueueReceive() {
    spuriousErrors = 0;
    if (receiveQueued) {
        return;
    }
    receiveQueued = true;
    QMetaObject::invokeMethod(
        &owner, [this] { DeliverReceive(); }, Qt::QueuedConnection);
}

void QtSerialPort::Impl::DeliverReceive() {
    receiveQueued = false;
    const auto threshold = static_cast<std::size_t>(config.receiveThreshold);
    if (!open || !handler || config.receiveThreshold <= 0 || Waiting() < threshold) {
        return;
    }
    const unsigned readsBefore = reads;
    CallHandler(kCommEventReceive);
    // Bytes left after a handler that did read (a limited input length, or arrivals during
    // the handler) get another notification. A handler that read nothing is not asked again
    // until more bytes come, or it would be called in a tight loop.
    if (open && reads != readsBefore && Waiting() >= threshold) {
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
// stays true (the dialog's watchdog notices the silence and resets), the handler gets one error
// notification, and the QSerialPort is closed on the next pass of the event loop (not inside
// its own notifier), so nothing spins. Later writes say the device was disconnected; Close()
// works as always.
//
// A read error on a healthy line is no error: the first read after an open emptied the driver
// between the event dispatcher's poll and QSerialPort's read, so that read found nothing (and
// QSerialPort picks its error from a stale errno). It is ignored; after a ResourceError
// QSerialPort stops reading, so reading is re-armed.
void QtSerialPort::Impl::OnError(QSerialPort::SerialPortError error) {
    if (error == QSerialPort::NoError || error == QSerialPort::TimeoutError || !open ||
        disconnected) {
        return;
    }
    const bool lineError = error == QSerialPort::ReadError || error == QSerialPort::ResourceError ||
                           error == QSerialPort::WriteError;
    bool gone = false;
    if (lineError) {
#if !defined(_WIN32)
        gone = LineHungUp(port.handle());
#else
        gone = error == QSerialPort::ResourceError;
#endif
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
        disconnected = true;
        const unsigned current = generation;
        QMetaObject::invokeMethod(
            &owner,
            [this, current] {
                if (current == generation && disconnected) {
                    DropDevice();
                }
            },
            Qt::QueuedConnection);
    }
    if (callDepth == 0) {
        QueueErrorNotification();
    }
}

void QtSerialPort::Impl::QueueErrorNotification() {
    const unsigned current = generation;
    QMetaObject::invokeMethod(
        &owner,
        [this, current] {
            if (current == generation && open && handler) {
                CallHandler(kCommEventError);
            }
        },
        Qt::QueuedConnection);
}

void QtSerialPort::Impl::QueueRearm() {
    const unsigned current = generation;
    QMetaObject::invokeMethod(
        &owner,
        [this, current] {
            if (current != generation || disconnected || !port.isOpen()) {
                return;
            }
            // Reading from QSerialPort turns its read notifier back on.
            const QByteArray buffered = port.readAll();
            pending.insert(pending.end(), buffered.begin(), buffered.end());
            if (!pending.empty()) {
                QueueReceive();
            }
        },
        Qt::QueuedConnection);
}

// Keeps what was received before the line went away, then lets the device go.
void QtSerialPort::Impl::DropDevice() {
    if (!port.isOpen()) {
        return;
    }
    const QByteArray buffered = port.readAll();
    pending.insert(pending.end(), buffered.begin(), buffered.end());
#if !defined(_WIN32)
    DrainKernel(port.handle(), pending);
#endif
    CallScope scope(callDepth);
    port.close();  // closing the descriptor also releases our lock
    if (!pending.empty()) {
        QueueReceive();
    }
}

QtSerialPort::QtSerialPort(std::string portsDir, QObject* parent)
    : QObject(parent), m_impl(std::make_unique<Impl>(*this)), m_portsDir(std::move(portsDir)) {
    connect(&m_impl->port, &QSerialPort::readyRead, this, [this] { m_impl->QueueReceive(); });
    connect(&m_impl->port, &QSerialPort::errorOccurred, this,
            [this](QSerialPort::SerialPortError error) { m_impl->OnError(error); });
}

QtSerialPort::~QtSerialPort() {
    Close();
    QObject::disconnect(&m_impl->port, nullptr, this, nullptr);
}

bool QtSerialPort::IsOpen() const {
    return m_impl->open;
}

void QtSerialPort::Close() {
    Impl& d = *m_impl;
    d.open = false;
    d.disconnected = false;
    d.receiveQueued = false;
    d.spuriousErrors = 0;
    d.pending.clear();
    ++d.generation;
    if (d.port.isOpen()) {
        CallScope scope(d.callDepth);
        d.port.close();  // closing the descriptor also releases our lock
    }
}

void QtSerialPort::SelectPort(int number) {
    m_impl->number = number >= 1 && number <= 30 ? number : 1;
}

void QtSerialPort::Open() {
    Impl& d = *m_impl;
    if (d.open) {
        Close();
    }
    m_devicePath = DeviceForPort(d.number, m_portsDir);
    d.CheckBeforeOpen();

    CallScope scope(d.callDepth);
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
        switch (d.port.error()) {
            case QSerialPort::DeviceNotFoundError:
                throw d.NotExist();
            case QSerialPort::PermissionError:
                // Access rights were checked above, so this is QSerialPort's lock file held by
                // another program or a tty opened exclusively, unless no lock file could be made.
                if (!reason.contains(QStringLiteral("creating lock file"))) {
                    throw d.InUse();
                }
                break;
            default:
                break;
        }
        throw d.OpenFailure(reason.toStdString() + ".");
    }
    d.Lock();
    if (!d.ApplyLine()) {
        const std::string reason = d.port.errorString().toStdString();
        d.port.close();
        throw d.OpenFailure("the device does not accept the settings " + d.config.settings + " (" +
                            reason + ").");
    }
    d.pending.clear();
    d.disconnected = false;
    d.drainOnRead = true;
    d.spuriousErrors = 0;
    ++d.generation;
    d.open = true;
}

void QtSerialPort::Configure(const PortConfig& config) {
    Impl& d = *m_impl;
    const auto line = ParseLineSettings(config.settings);
    if (!line) {
        throw SerialError("Invalid serial settings \"" + config.settings +
                          "\": expected baud rate, parity, data bits and stop bits, such as "
                          "115200,n,8,1.");
    }
    // QSerialPort always passes bytes unchanged, which is what binary mode asks for.
    const LineSettings previous = d.line;
    d.line = *line;
    if (d.port.isOpen()) {
        CallScope scope(d.callDepth);
        if (!d.ApplyLine()) {
            const std::string reason = d.port.errorString().toStdString();
            d.line = previous;  // put back what was in force; the failed change is not kept
            d.ApplyLine();
            throw SerialError("Cannot apply the settings " + config.settings + " to " + d.Label() +
                              ": the device does not accept them (" + reason + ").");
        }
    }
    d.config = config;
}

void QtSerialPort::Write(std::span<const std::uint8_t> bytes) {
    Impl& d = *m_impl;
    if (!d.open) {
        throw d.NotOpen("write to");
    }
    if (d.disconnected) {
        throw d.Disconnected("write to");
    }
    if (bytes.empty()) {
        return;
    }
    CallScope scope(d.callDepth);
    d.port.clearError();
    const auto size = static_cast<qint64>(bytes.size());
    const qint64 queued = d.port.write(reinterpret_cast<const char*>(bytes.data()), size);
    if (queued == size) {
        // QSerialPort only writes from the event loop unless told to flush; the device must
        // see each byte now, before the pacing pause starts.
        d.port.flush();
        QDeadlineTimer deadline(kWriteTimeoutMs);
        while (d.port.bytesToWrite() > 0 && !d.disconnected && !deadline.hasExpired()) {
            if (!d.port.waitForBytesWritten(static_cast<int>(deadline.remainingTime())) &&
                d.port.error() != QSerialPort::TimeoutError &&
                d.port.error() != QSerialPort::NoError) {
                break;
            }
        }
    }
    if (d.disconnected) {
        throw d.Disconnected("write to");
    }
    if (queued != size || d.port.bytesToWrite() > 0) {
        const bool stuck = queued == size && d.port.error() == QSerialPort::TimeoutError;
        const std::string reason = stuck ? "the device does not take the data. Check the "
                                           "cable, the adapter and the flow control."
                                         : d.port.errorString().toStdString() + ".";
        // Nothing of this write may go out later, out of turn.
        d.port.clear(QSerialPort::Output);
        throw SerialError("Cannot write to " + d.Label() + ": " + reason);
    }
}

std::vector<std::uint8_t> QtSerialPort::ReadAll() {
    Impl& d = *m_impl;
    if (!d.open) {
        throw d.NotOpen("read from");
    }
    ++d.reads;
    std::vector<std::uint8_t> out;
    out.swap(d.pending);
    if (d.port.isOpen()) {
        const QByteArray buffered = d.port.readAll();
        out.insert(out.end(), buffered.begin(), buffered.end());
#if !defined(_WIN32)
        // QSerialPort only fetches from the driver when the event loop runs, so right after
        // the open the bytes that arrived before it still wait there; the first read takes
        // them too, or it would not really discard them. Later reads leave the driver to
        // QSerialPort: reading it behind its back while the event loop has already seen the
        // line readable makes QSerialPort's own read find nothing and raise a read error.
        if (d.drainOnRead && !d.disconnected) {
            DrainKernel(d.port.handle(), out);
        }
#endif
        d.drainOnRead = false;
    }
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
