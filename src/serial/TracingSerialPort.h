// A SerialPort that passes every operation to another one and keeps a wire trace of it: each
// write (H>D), each read that returned bytes (D>H), and notes when the port opens, closes or
// refuses. Lines go to memory and reach the file from the event loop at least once a second and
// on destruction, so tracing never holds up a paced byte. See protocol/WireTrace.h for the form.
#pragma once

#include <QFile>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "protocol/WireTrace.h"
#include "serial/SerialPort.h"

namespace zk4 {

class TracingSerialPort final : public SerialPort {
  public:
    // Microseconds on the steady (monotonic) clock.
    using TraceClock = std::function<std::int64_t()>;
    static std::int64_t SteadyMicroseconds();

    // While this much waits for the file (it stalls, or is full), further lines are counted,
    // not kept. A second of a saturated line, traced a byte per read, takes about 250 KB.
    static constexpr std::size_t kBufferLimit = 1 << 20;

    struct Opened {
        std::unique_ptr<TracingSerialPort> port;  // null when the file cannot be written
        UserText error;                           // the sentence to tell the user then
    };
    // Creates or empties the file at `path`; `inner` must outlive the result.
    static Opened OpenTrace(SerialPort& inner, const std::string& path,
                            TraceClock clock = SteadyMicroseconds,
                            std::size_t bufferLimit = kBufferLimit);

    ~TracingSerialPort() override;

    bool IsOpen() const override;
    void Close() override;
    void SelectPort(int number) override;
    void Open() override;
    void Configure(const PortConfig& config) override;
    void Write(std::span<const std::uint8_t> bytes) override;
    std::vector<std::uint8_t> ReadAll() override;
    void SetReceiveHandler(ReceiveHandler handler) override;

  private:
    TracingSerialPort(SerialPort& inner, std::unique_ptr<QFile> file, TraceClock clock,
                      std::size_t bufferLimit);
    // Writes what is buffered to the file; what the file does not take stays for the next time.
    void Flush();
    void Record(std::int64_t us, TraceKind kind, std::string_view bytes);

    SerialPort& m_inner;
    std::unique_ptr<QFile> m_file;
    TraceClock m_clock;
    std::size_t m_bufferLimit;
    QTimer m_flushTimer;
    std::string m_buffer;
    std::uint64_t m_dropped = 0;  // lines not kept since the buffer last had room
    int m_port = 0;
};

}  // namespace zk4
