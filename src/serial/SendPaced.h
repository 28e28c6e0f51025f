#pragma once

#include <cstdint>

#include "serial/Clock.h"
#include "serial/SerialPort.h"

namespace zk4 {

// Writes one command line a byte at a time, each byte followed by a wait of two counter
// steps, so the device sees an evenly spaced stream. Sends exactly `length` bytes; a write the
// port refuses throws SerialError at that byte.
void SendPaced(SerialPort& port, Clock& clock, const std::uint8_t* bytes, std::uint8_t length);

}  // namespace zk4
