// Receive framer: the byte step over the 100-byte window.
#include "protocol/ReceiveFramer.h"

#include <algorithm>

namespace zk4 {

namespace {

constexpr std::uint8_t kSpace = 0x20;

// Restart tokens may arrive in either case; the space must be exact.
bool IsLetter(std::uint8_t byte, char upper) {
    return byte == static_cast<std::uint8_t>(upper) ||
           byte == static_cast<std::uint8_t>(upper + ('a' - 'A'));
}

void UpperCase(RxWindow& window) {
    for (std::size_t i = 0; i < window.count; ++i) {
        std::uint8_t& byte = window.data[i];
        if (byte >= 'a' && byte <= 'z') {
            byte = static_cast<std::uint8_t>(byte - ('a' - 'A'));
        }
    }
}

}  // namespace

void FrameByte(RxWindow& window, std::uint8_t byte, const LineHandler& onLine) {
    auto& data = window.data;
    if (window.count < kRxWindowSize) {
        data[window.count] = byte;
        ++window.count;
        if (window.count < 5) {
            return;
        }
    } else {
        // A run without CR LF keeps only the newest 100 bytes.
        std::copy(data.begin() + 1, data.end(), data.begin());
        data[kRxWindowSize - 1] = byte;
    }

    const std::size_t n = window.count;  // 5..100 from here on

    // "ACK " after stray bytes. The guards are deliberately loose: a window that already looks
    // like the start of a line is never cut, even by a genuine token.
    if (IsLetter(data[n - 4], 'A') && IsLetter(data[n - 3], 'C') && IsLetter(data[n - 2], 'K') &&
        data[n - 1] == kSpace && !(data[0] == 'A' || data[1] == 'T' || data[2] == kSpace)) {
        data[0] = 'A';
        data[1] = 'C';
        data[2] = 'K';
        data[3] = kSpace;
        window.count = 4;
        return;
    }
    // "AT " is recognised one byte late, so the byte after the space is kept at position 3.
    // With a single stray byte the token's own space sits at position 3 and the guard holds.
    if (IsLetter(data[n - 4], 'A') && IsLetter(data[n - 3], 'T') && data[n - 2] == kSpace &&
        !(data[0] == 'A' || data[1] == 'C' || data[2] == 'K' || data[3] == kSpace)) {
        data[3] = data[n - 1];
        data[0] = 'A';
        data[1] = 'T';
        data[2] = kSpace;
        window.count = 4;
        return;
    }

    if (data[n - 1] == kLf && data[n - 2] == kCr) {
        UpperCase(window);
        // The handler may open a modal box whose nested loop frames more bytes into this same
        // window (and may complete and reset it). Whatever is left when it returns belongs to
        // no line of ours, so it is dropped. The window is a fixed array: nothing the nested
        // calls do can invalidate it, and every path keeps `count` within 0..100.
        onLine(window);
        window.count = 0;
    }
}

void FrameBytes(RxWindow& window, std::span<const std::uint8_t> bytes, const LineHandler& onLine) {
    for (const std::uint8_t byte : bytes) {
        FrameByte(window, byte, onLine);
    }
}

}  // namespace zk4
