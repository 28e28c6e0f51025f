// Device lines: report lines, identification line, product table and firmware gate.
#include "protocol/DeviceLine.h"

#include "protocol/ReceiveFramer.h"

#include <array>

namespace zk4 {

namespace {

constexpr std::size_t kIdentificationLength = 22;

bool StartsWith(Bytes line, std::string_view prefix) {
    if (line.size() < prefix.size()) {
        return false;
    }
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (line[i] != static_cast<std::uint8_t>(prefix[i])) {
            return false;
        }
    }
    return true;
}

struct Product {
    std::uint8_t code;
    std::string_view id;
    bool cylinders;
    bool hzPerMph;
};

// -001 variants take the cylinder number, -002 the Hz per MPH, -003 both.
constexpr std::array<Product, 12> kProducts{{
    {0x2A, "ZK4-J1939-001", true, false},
    {0x2B, "ZK4-J1939-002", false, true},
    {0x2C, "ZK4-J1939-003", true, true},
    {0x54, "ZK4-J1708-001", true, false},
    {0x55, "ZK4-J1708-002", false, true},
    {0x56, "ZK4-J1708-003", true, true},
    {0x57, "ZK4-OBD2-001", true, false},
    {0x58, "ZK4-OBD2-002", false, true},
    {0x59, "ZK4-OBD2-003", true, true},
    {0x5A, "ZK4-COMBO-001", true, false},
    {0x5B, "ZK4-COMBO-002", false, true},
    {0x5C, "ZK4-COMBO-003", true, true},
}};

// The device sends the low-nibble character first, so the pair at `pos` is (low, high).
std::uint8_t PairAt(Bytes line, std::size_t pos) {
    return HexPairToByte(line[pos + 1], line[pos]);
}

}  // namespace

std::uint8_t HexPairToByte(std::uint8_t highChar, std::uint8_t lowChar) {
    // Unsigned arithmetic wraps modulo 256 on the final cast; characters that are not hex
    // digits give a defined (if meaningless) byte, which the checksum then usually rejects.
    const unsigned high = highChar >= 0x41 ? (highChar + 9u) * 16u : highChar * 16u;
    const unsigned low = lowChar >= 0x41 ? lowChar - 0x37u : lowChar - 0x30u;
    return static_cast<std::uint8_t>(high + low);
}

LineKind ClassifyLine(Bytes line) {
    if (line.empty() || line[0] != 'A') {
        return LineKind::Ignored;
    }
    if (line.size() > 1 && line[1] == 'C') {
        return StartsWith(line, "ACK ") ? LineKind::Acknowledgement : LineKind::Ignored;
    }
    return StartsWith(line, "AT ") ? LineKind::Report : LineKind::Ignored;
}

Report ParseReportLine(Bytes line) {
    for (const ReportedValue& row : kReportedValues) {
        if (!StartsWith(line, row.prefix)) {
            continue;
        }
        std::size_t end = line.size();
        if (end >= row.prefix.size() + 2 && line[end - 2] == kCr && line[end - 1] == kLf) {
            end -= 2;
        }
        const std::size_t begin = row.prefix.size();
        return {&row,
                std::string_view(reinterpret_cast<const char*>(line.data()) + begin, end - begin)};
    }
    return {};
}

bool IsIdentificationLine(Bytes line) {
    return line.size() == kIdentificationLength && StartsWith(line, "ACK ID");
}

bool IdentificationChecksumOk(Bytes line) {
    if (line.size() < 20) {
        return false;
    }
    // Summed over the bytes as handed over, i.e. after upper-casing.
    unsigned sum = 0;
    for (std::size_t i = 0; i < 18; ++i) {
        sum += line[i];
    }
    sum += PairAt(line, 18);
    return (sum & 0xFFu) == 0;
}

Identification DecodeIdentification(Bytes line) {
    if (line.size() < 16) {
        return {};
    }
    Identification id;
    id.productCode = PairAt(line, 6);
    for (std::size_t i = 0; i < 4; ++i) {
        id.serialNo |= static_cast<std::uint32_t>(PairAt(line, 8 + 2 * i)) << (8 * i);
    }
    return id;
}

ProductInfo LookupProduct(std::uint8_t productCode) {
    for (const Product& product : kProducts) {
        if (product.code == productCode) {
            return {product.id, true, product.cylinders, product.hzPerMph};
        }
    }
    return {"Wrong ID", false, false, false};
}

bool IsCylinderCapable(std::uint8_t productCode) {
    return LookupProduct(productCode).cylinders;
}

bool IsHzCapable(std::uint8_t productCode) {
    return LookupProduct(productCode).hzPerMph;
}

bool FirmwareGatePasses(std::string_view firmware) {
    // A shorter text is compared in full and so never matches.
    return firmware.substr(0, 4) == "0.5N";
}

}  // namespace zk4
