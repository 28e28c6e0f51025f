#include "protocol/DeviceLine.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zk4 {
namespace {

Bytes Span(std::string_view text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

TEST(DeviceLine, HexPairToByteUsesExactWrappingArithmetic) {
    struct Case {
        std::uint8_t high, low, expected;
    };
    const std::vector<Case> cases = {
        {'0', '0', 0x00},   {'F', 'F', 0xFF}, {'2', 'A', 0x2A},
        {'A', '2', 0xA2},   {'9', 'B', 0x9B}, {'0', 'G', 0x10},  // not hex: 'G' - 0x37
        {'1', '/', 0x0F},                                        // '/' - 0x30 wraps to 0xFF
        {'a', '0', 0xA0},  // (0x61 + 9) * 16 keeps its low 8 bits
        {0xFF, 0xFF, 0x48},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << int{c.high} << ' ' << int{c.low});
        EXPECT_EQ(HexPairToByte(c.high, c.low), c.expected);
    }
}

TEST(DeviceLine, ClassifiesOnTheFirstFourBytes) {
    const std::vector<std::pair<std::string, LineKind>> cases = {
        {"AT DV=1\r\n", LineKind::Report},        {"ACK ID\r\n", LineKind::Acknowledgement},
        {"ACKID\r\n", LineKind::Ignored},         {"AC X\r\n", LineKind::Ignored},
        {"ATX\r\n", LineKind::Ignored},           {"XAT DV=1\r\n", LineKind::Ignored},
        {"AT\r\nAT DV=1\r\n", LineKind::Ignored}, {"", LineKind::Ignored},
    };
    for (const auto& [line, kind] : cases) {
        SCOPED_TRACE(line);
        EXPECT_EQ(ClassifyLine(Span(line)), kind);
    }
}

TEST(DeviceLine, ReportLineGivesFieldAndValueWithoutReadingPastTheLine) {
    // `length` cuts the line short inside a longer buffer: bytes beyond it must not match.
    struct Case {
        std::string buffer;
        std::size_t length;
        ReportField field;
        std::string value;
    };
    const std::vector<Case> cases = {
        {"AT RPM=1500\r\n", 13, ReportField::EngineRpm, "1500"},
        {"AT HZVSMPH=1.7881\r\n", 19, ReportField::HzPerMph, "1.7881"},
        {"AT DV=\r\n", 8, ReportField::Voltage, ""},
        {"AT MPH=55\r\n", 11, ReportField::VehicleMph, "55"},
        {"AT CN=4\r\n", 9, ReportField::Cylinders, "4"},
        {"AT FW=0.5N\r\n", 12, ReportField::Firmware, "0.5N"},
        {"AT DV==1 X\r\n", 12, ReportField::Voltage, "=1 X"},
        {"AT XY=1\r\n", 9, ReportField::Unknown, ""},
        {"AT HZ=01.7881\r\n", 15, ReportField::Unknown, ""},
        {"AT HZVSMPH=1\r\n", 10, ReportField::Unknown, ""},
        {"AT RPM=1500\r\n", 6, ReportField::Unknown, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.buffer.substr(0, c.length));
        const Report report = ParseReportLine(Span(c.buffer).first(c.length));
        EXPECT_EQ(report.field, c.field);
        EXPECT_EQ(report.value, c.value);
    }
}

TEST(DeviceLine, IdentificationLineIsCheckedAndDecoded) {
    struct Case {
        std::string line;
        bool isId, checksumOk;
        std::uint8_t code;
        std::uint32_t serial;
        std::string productId;
    };
    const std::vector<Case> cases = {
        {"ACK IDA2100000000003\r\n", true, true, 0x2A, 1, "ZK4-J1939-001"},
        {"ACK ID65876543210051\r\n", true, true, 0x56, 305419896, "ZK4-J1708-003"},
        {"ACK IDA2100000000004\r\n", true, false, 0x2A, 1, "ZK4-J1939-001"},
        {"ACK ID03000000000014\r\n", true, true, 0x30, 0, "Wrong ID"},
        {"ACK IDA21000000000003\r\n", false, false, 0, 0, ""},
        {"ACK IXA2100000000003\r\n", false, false, 0, 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        const Bytes line = Span(c.line);
        EXPECT_EQ(IsIdentificationLine(line), c.isId);
        if (!c.isId) {
            continue;
        }
        EXPECT_EQ(IdentificationChecksumOk(line), c.checksumOk);
        const Identification id = DecodeIdentification(line);
        EXPECT_EQ(id.productCode, c.code);
        EXPECT_EQ(id.serialNo, c.serial);
        EXPECT_EQ(LookupProduct(id.productCode).productId, c.productId);
    }
}

TEST(DeviceLine, ProductTableValidityAndCapabilitiesFollowTheVariant) {
    for (unsigned code = 0; code <= 0xFF; ++code) {
        SCOPED_TRACE(code);
        const ProductInfo info = LookupProduct(static_cast<std::uint8_t>(code));
        const bool valid = (code >= 0x2A && code <= 0x2C) || (code >= 0x54 && code <= 0x5C);
        ASSERT_EQ(info.valid, valid);
        if (!valid) {
            EXPECT_EQ(info.productId, "Wrong ID");
            EXPECT_FALSE(info.cylinders || info.hzPerMph);
            continue;
        }
        const char variant = info.productId.back();  // "-001", "-002" or "-003"
        EXPECT_EQ(info.cylinders, variant != '2');
        EXPECT_EQ(info.hzPerMph, variant != '1');
        EXPECT_EQ(IsCylinderCapable(static_cast<std::uint8_t>(code)), info.cylinders);
        EXPECT_EQ(IsHzCapable(static_cast<std::uint8_t>(code)), info.hzPerMph);
    }
    EXPECT_EQ(LookupProduct(0x59).productId, "ZK4-OBD2-003");
    EXPECT_EQ(LookupProduct(0x5B).productId, "ZK4-COMBO-002");
}

TEST(DeviceLine, FirmwareGateComparesTheFirstFourCharacters) {
    const std::vector<std::pair<std::string, bool>> cases = {
        {"0.5N", true}, {"0.5N7", true}, {"0.5M2", false}, {"0.5", false},
        {"", false},    {"0.5n", false}, {" 0.5N", false},
    };
    for (const auto& [firmware, passes] : cases) {
        SCOPED_TRACE(firmware);
        EXPECT_EQ(FirmwareGatePasses(firmware), passes);
    }
}

}  // namespace
}  // namespace zk4
