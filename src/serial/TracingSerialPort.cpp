#include "serial/TracingSerialPort.h"

#include <algorithm>
#include <chrono>
#include <utility>

namespace zk4 {

std::int64_t TracingSerialPort::SteadyMicroseconds() {
    return std::chrono::duration_cast<std::chrono::microseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

TracingSerialPort::Opened TracingSerialPort::OpenTrace(SerialPort& inner, const std::string& path,
                                                       TraceClock clock, std::size_t bufferLimit) {
    auto file = std::make_unique<QFile>(QString::fromStdString(path));
    if (!file->open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)) {
        return {nullptr,
                {QT_TRANSLATE_NOOP("zk4", "Cannot write the trace to %1: %2."),
                 {path, file->errorString().toStdString()}}};
    }
    return {std::unique_ptr<TracingSerialPort>(
                new TracingSerialPort(inner, std::move(file), std::move(clock), bufferLimit)),
            {}};
}

TracingSerialPort::TracingSerialPort(SerialPort& inner, std::unique_ptr<QFile> file,
                                     TraceClock clock, std::size_t bufferLimit)
    : m_inner(inner),
      m_file(std::move(file)),
      m_clock(std::move(clock)),
      m_bufferLimit(bufferLimit) {
    m_flushTimer.setInterval(1000);
    QObject::connect(&m_flushTimer, &QTimer::timeout, [this] { Flush(); });
    m_flushTimer.start();
}

TracingSerialPort::~TracingSerialPort() {
    Flush();
    Record(m_clock(), TraceKind::Note, "trace ends");
    Flush();
}

void TracingSerialPort::Flush() {
    while (!m_buffer.empty()) {
        const qint64 n = m_file->write(m_buffer.data(), static_cast<qint64>(m_buffer.size()));
        if (n <= 0) {
            return;
        }
        m_buffer.erase(0, static_cast<std::size_t>(n));
    }
}

void TracingSerialPort::Record(std::int64_t us, TraceKind kind, std::string_view bytes) {
    // Room for the line at its longest and for the note about lost lines before it.
    const std::size_t needed = 4 * bytes.size() + 128;
    if (m_buffer.size() + needed > m_bufferLimit) {
        ++m_dropped;
        return;
    }
    if (m_dropped > 0) {
        AppendTraceLine(m_buffer, us, TraceKind::Note,
                        std::to_string(std::exchange(m_dropped, 0)) +
                            " lines lost here: the trace file did not keep up");
    }
    AppendTraceLine(m_buffer, us, kind, bytes);
}

bool TracingSerialPort::IsOpen() const {
    return m_inner.IsOpen();
}

void TracingSerialPort::Close() {
    const bool wasOpen = m_inner.IsOpen();
    m_inner.Close();
    if (wasOpen) {
        Record(m_clock(), TraceKind::Note, "COM" + std::to_string(m_port) + " closed");
    }
}

void TracingSerialPort::SelectPort(int number) {
    m_inner.SelectPort(number);
    m_port = number;
}

void TracingSerialPort::Open() {
    const std::string port = "COM" + std::to_string(m_port);
    try {
        m_inner.Open();
    } catch (const SerialError& e) {
        Record(m_clock(), TraceKind::Note, port + " not opened: " + e.what());
        throw;
    }
    Record(m_clock(), TraceKind::Note, port + " opened");
}

void TracingSerialPort::Configure(const PortConfig& config) {
    m_inner.Configure(config);
}

void TracingSerialPort::Write(std::span<const std::uint8_t> bytes) {
    const std::int64_t at = m_clock();
    const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    try {
        m_inner.Write(bytes);
    } catch (const SerialError& e) {
        Record(at, TraceKind::Note, "write refused: " + std::string(e.what()));
        throw;
    }
    Record(at, TraceKind::HostToDevice, text);
}

std::vector<std::uint8_t> TracingSerialPort::ReadAll() {
    std::vector<std::uint8_t> bytes = m_inner.ReadAll();
    if (!bytes.empty()) {
        Record(m_clock(), TraceKind::DeviceToHost,
               std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    }
    return bytes;
}

void TracingSerialPort::SetReceiveHandler(ReceiveHandler handler) {
    m_inner.SetReceiveHandler(std::move(handler));
}

}  // namespace zk4
