// Serial layer: the operations the dialog needs from a serial port, and nothing else.
//
// One implementation talks to a real port through QSerialPort (QtSerialPort.h); tests use a
// fake. Every refused operation throws SerialError carrying a sentence the user can act on.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "text/UserText.h"

namespace zk4 {

class SerialError : public std::runtime_error {
  public:
    explicit SerialError(UserText text)
        : std::runtime_error(text.English()), m_text(std::move(text)) {}
    // The sentence for the user, to be translated by whoever shows it.
    const UserText& Text() const { return m_text; }

  private:
    UserText m_text;
};

// The receive notification's code.
inline constexpr int kCommEventReceive = 2;  // bytes are waiting to be read

struct PortConfig {
    std::string settings = "115200,n,8,1";  // baud,parity,data bits,stop bits
    bool binary = true;                     // input as bytes, never as text
    int receiveThreshold = 1;               // notify as soon as one byte is waiting
    int inputLength = 0;                    // a read returns everything pending
};

class SerialPort {
  public:
    using ReceiveHandler = std::function<void(int commEvent)>;

    virtual ~SerialPort() = default;

    virtual bool IsOpen() const = 0;
    virtual void Close() = 0;
    // Port number 1..30; only used while the port is closed.
    virtual void SelectPort(int number) = 0;
    // Opens the selected port; throws SerialError naming the device and the cause.
    virtual void Open() = 0;
    // Accepted whether the port is open or not; in force while it is open.
    virtual void Configure(const PortConfig& config) = 0;
    // Sends the bytes unchanged and in order; they have left the host when this returns.
    virtual void Write(std::span<const std::uint8_t> bytes) = 0;
    // Every received byte not yet read, in arrival order (empty when none).
    virtual std::vector<std::uint8_t> ReadAll() = 0;
    // Delivered on the UI thread, through the event loop, when bytes are waiting.
    virtual void SetReceiveHandler(ReceiveHandler handler) = 0;
};

}  // namespace zk4
