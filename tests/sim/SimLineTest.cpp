// The simulator's lines, read back with the tool's own decoder and framer.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "SimDevice.h"
#include "protocol/DeviceLine.h"
#include "protocol/ReceiveFramer.h"

namespace zk4sim {
namespace {

zk4::Bytes Span(std::string_view text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

TEST(SimIdentificationLine, EveryCodeAndSerialRoundTripsThroughTheToolsDecoder) {
    std::vector<std::uint8_t> codes = {0x30, 0x00, 0xFF};  // codes no variant carries
    for (const auto& variant : ProductVariants()) {
        const zk4::ProductInfo info = zk4::LookupProduct(variant.code);
        EXPECT_EQ(info.productId, "ZK4-" + std::string(variant.name));
        EXPECT_EQ(std::pair(info.cylinders, info.hzPerMph),
                  std::pair(variant.cylinders, variant.hzPerMph))
            << variant.name;
        codes.push_back(variant.code);
    }
    ASSERT_EQ(codes.size(), 15u);
    for (std::uint8_t code : codes) {
        for (std::uint32_t serial : {0u, 305419896u, 0x80000000u, 0xFFFFFFFFu, 0x00FF00FFu}) {
            SCOPED_TRACE(testing::Message() << "code " << int{code} << " serial " << serial);
            const std::string line = BuildIdentificationLine(code, serial);
            ASSERT_TRUE(zk4::IsIdentificationLine(Span(line)));
            EXPECT_TRUE(zk4::IdentificationChecksumOk(Span(line)));
            EXPECT_EQ(zk4::DecodeIdentification(Span(line)).productCode, code);
            EXPECT_EQ(zk4::DecodeIdentification(Span(line)).serialNo, serial);
            EXPECT_FALSE(
                zk4::IdentificationChecksumOk(Span(BuildIdentificationLine(code, serial, true))));
        }
    }
    EXPECT_EQ(BuildIdentificationLine(0x2C, 305419896), "ACK IDC28765432100B0\r\n");
    EXPECT_EQ(ProductCodeFromName("zk4-combo-001"), 0x5A);
    EXPECT_FALSE(ProductCodeFromName("J1939-004"));
}

// Lower case and stray bytes are faults the tool must survive: its framer has to recover every
// line intact, the identification still passing its checksum unless --bad-checksum says not.
TEST(SimDeviceOutput, FaultyLinesStillReachTheToolsLineHandlerIntact) {
    const std::vector<std::string> expected = {"AT FW=0.5N\r\n",       "ACK IDC28765432100B0\r\n",
                                               "AT DV=13.8\r\n",       "AT RPM=650\r\n",
                                               "AT MPH=0\r\n",         "AT CN=4\r\n",
                                               "AT HZVSMPH=1.7881\r\n"};
    for (const std::uint32_t bad : {0u, 2u}) {
        for (const bool lowercase : {false, true}) {
            for (const bool noise : {false, true}) {
                SCOPED_TRACE(testing::Message()
                             << "lowercase " << lowercase << " noise " << noise << " bad " << bad);
                SimDevice device({.lowercase = lowercase, .noise = noise, .badChecksums = bad});
                for (std::uint32_t round = 0; round < 4; ++round) {
                    const std::string wire =
                        device.Receive(Span("AT FW=?\r\nAT ID?\r\nAT RALL\r\n"), 0.0);
                    EXPECT_EQ(
                        wire.find_first_of(lowercase ? "ABCDEFGHIJKLMNOPQRSTUVWXYZ" : "abcdef"),
                        std::string::npos);
                    EXPECT_EQ(wire.front() == 'A' || wire.front() == 'a', !noise);
                    zk4::RxWindow window;
                    std::vector<std::string> lines;
                    zk4::FrameBytes(window, Span(wire), [&lines](const zk4::RxWindow& w) {
                        lines.emplace_back(w.Line().begin(), w.Line().end());
                    });
                    ASSERT_EQ(lines.size(), expected.size());
                    EXPECT_EQ(zk4::IdentificationChecksumOk(Span(lines[1])), round >= bad);
                    if (round < bad) {  // the same line but for its checksum
                        EXPECT_EQ(lines[1].substr(0, 18), expected[1].substr(0, 18));
                        lines[1] = expected[1];
                    }
                    EXPECT_EQ(lines, expected);
                }
            }
        }
    }
}

}  // namespace
}  // namespace zk4sim
