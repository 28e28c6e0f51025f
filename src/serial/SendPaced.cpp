// The paced transmitter: one byte per write, two counter steps after each.
#include "serial/SendPaced.h"

#include <span>

namespace zk4 {

void SendPaced(SerialPort& port, Clock& clock, const std::uint8_t* bytes, std::uint8_t length) {
    // The position is as wide as the length, so a 255-byte line ends at position 254 and the
    // loop never reads past the given bytes, whatever the last byte is.
    for (std::uint8_t i = 0; i < length; ++i) {
        port.Write(std::span<const std::uint8_t>(bytes + i, 1));
        WaitMilliseconds(clock, 2);
    }
}

}  // namespace zk4
