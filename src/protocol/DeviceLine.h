// Device lines: the rules for reading what the ZK4 sends.
//
// Report lines:      "AT " word "=" value CR LF       (one running value or setting)
// Identification:    22 bytes, see DecodeIdentification
// Everything here is a pure function of the line's bytes; the dialog applies the results.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "protocol/ReportedValues.h"

namespace zk4 {

using Bytes = std::span<const std::uint8_t>;

// One byte from two ASCII characters; the device sends the low nibble's character first.
// Exact arithmetic, modulo 256, no check that the characters are hexadecimal digits.
std::uint8_t HexPairToByte(std::uint8_t highChar, std::uint8_t lowChar);

// Dispatch on the first four bytes of a complete (upper-cased) line.
enum class LineKind {
    Ignored,          // neither "AT " nor "ACK "
    Report,           // "AT "
    Acknowledgement,  // "ACK "
};
LineKind ClassifyLine(Bytes line);

struct Report {
    const ReportedValue* row = nullptr;  // nullptr: an "AT " line with a word we do not know
    std::string_view value;  // bytes after the prefix up to the final CR LF; may be empty
};

// For a line that ClassifyLine called Report. The value views the line's bytes.
Report ParseReportLine(Bytes line);

// "ACK ID" line of exactly 22 bytes (the dialog also needs a pending request and a firmware line).
bool IsIdentificationLine(Bytes line);

// Sum of bytes 0..17 plus the checksum byte from 18..19 must be 0 modulo 256.
bool IdentificationChecksumOk(Bytes line);

struct Identification {
    std::uint8_t productCode = 0;
    std::uint32_t serialNo = 0;
};

//  0     6    8    10   12   14   16   18   20
//  ACK ID pc   s0   s1   s2   s3   xx   ck   CR LF      (pairs: low-nibble char first)
// s0 is the least significant byte of the serial number. Precondition: IsIdentificationLine.
Identification DecodeIdentification(Bytes line);

struct ProductInfo {
    std::string_view productId;  // "ZK4-J1939-001" ... or "Wrong ID"
    bool valid = false;
    bool cylinders = false;  // accepts the cylinder-number setting
    bool hzPerMph = false;   // accepts the Hz-per-MPH setting
};
ProductInfo LookupProduct(std::uint8_t productCode);
bool IsCylinderCapable(std::uint8_t productCode);
bool IsHzCapable(std::uint8_t productCode);

// The one supported firmware release: the text's first four characters are "0.5N".
bool FirmwareGatePasses(std::string_view firmware);

inline constexpr const char* kFirmwareMessage = QT_TRANSLATE_NOOP(
    "zk4",
    "This release requires ZK4 (firmware) version 0.5N; please update your device accordingly.");

}  // namespace zk4
