// Receive framer: joins the chunks the serial port delivers into complete device lines.
//
// The device ends every line with CR LF. Bytes collect in a 100-byte window that outlives
// connections (a partial line left at a disconnect is continued by the next bytes). When
// "ACK " or "AT " shows up after stray bytes the window restarts on that token; at CR LF the
// window is upper-cased in place and handed to the line handler, then emptied.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>

namespace zk4 {

// Every line, either way, ends with these two bytes.
inline constexpr std::uint8_t kCr = 0x0D;
inline constexpr std::uint8_t kLf = 0x0A;

inline constexpr std::size_t kRxWindowSize = 100;

// The bytes of the line being assembled. `count` is always 0..100.
struct RxWindow {
    std::array<std::uint8_t, kRxWindowSize> data{};
    std::uint8_t count = 0;

    std::span<const std::uint8_t> Line() const { return {data.data(), count}; }
};

// Called once per complete line with the window holding it: `count` bytes, upper-cased,
// the last two CR LF. The handler must not change the window, but it may run a nested event
// loop that frames more bytes into the same window; the window is emptied when it returns.
using LineHandler = std::function<void(const RxWindow&)>;

// Feeds one received byte through the framer.
void FrameByte(RxWindow& window, std::uint8_t byte, const LineHandler& onLine);

// Feeds a chunk, byte by byte, in order.
void FrameBytes(RxWindow& window, std::span<const std::uint8_t> bytes, const LineHandler& onLine);

}  // namespace zk4
