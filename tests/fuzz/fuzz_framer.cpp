// Receive framer plus device-line decoding: arbitrary bytes in arbitrary chunks, with the
// nested framing that a modal message box's event loop causes while a line is being handled.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "FuzzCheck.h"
#include "protocol/DeviceLine.h"
#include "protocol/ReceiveFramer.h"

namespace {

using zk4::Bytes;

bool StartsWith(Bytes line, std::string_view prefix) {
    return line.size() >= prefix.size() &&
           std::string_view(reinterpret_cast<const char*>(line.data()), prefix.size()) == prefix;
}

bool ValidCode(std::uint8_t code) {
    return (code >= 0x2A && code <= 0x2C) || (code >= 0x54 && code <= 0x5C);
}

// Everything the dialog's line handler asks of one complete line.
void DecodeLine(Bytes line) {
    switch (zk4::ClassifyLine(line)) {
        case zk4::LineKind::Ignored:
            ZK4_CHECK(!StartsWith(line, "AT ") && !StartsWith(line, "ACK "));
            break;
        case zk4::LineKind::Report: {
            ZK4_CHECK(StartsWith(line, "AT "));
            const zk4::Report report = zk4::ParseReportLine(line);
            if (report.field == zk4::ReportField::Unknown) {
                ZK4_CHECK(report.value.empty());
                break;
            }
            // The value lies inside the line and stops right before its CR LF.
            const auto* begin = reinterpret_cast<const char*>(line.data());
            ZK4_CHECK(report.value.data() >= begin + 6);
            ZK4_CHECK(report.value.data() + report.value.size() == begin + line.size() - 2);
            if (report.field == zk4::ReportField::Firmware) {
                ZK4_CHECK(zk4::FirmwareGatePasses(report.value) ==
                          (report.value.substr(0, 4) == "0.5N"));
            }
            break;
        }
        case zk4::LineKind::Acknowledgement: {
            ZK4_CHECK(StartsWith(line, "ACK "));
            (void)zk4::IdentificationChecksumOk(line);
            if (!zk4::IsIdentificationLine(line)) {
                break;
            }
            ZK4_CHECK(line.size() == 22 && StartsWith(line, "ACK ID"));
            const zk4::Identification id = zk4::DecodeIdentification(line);
            ZK4_CHECK(id.productCode == zk4::HexPairToByte(line[7], line[6]));
            const zk4::ProductInfo product = zk4::LookupProduct(id.productCode);
            ZK4_CHECK(product.valid == ValidCode(id.productCode));
            if (product.valid) {
                ZK4_CHECK(product.productId.substr(0, 4) == "ZK4-");
                ZK4_CHECK(product.cylinders || product.hzPerMph);
            } else {
                ZK4_CHECK(product.productId == "Wrong ID" && !product.cylinders &&
                          !product.hzPerMph);
            }
            break;
        }
    }
}

struct Session {
    zk4::RxWindow window;
    FuzzedDataProvider* input = nullptr;
    int depth = 0;
    zk4::LineHandler handler;

    void OnLine(const zk4::RxWindow& w) {
        ZK4_CHECK(&w == &window);
        ZK4_CHECK(w.count >= 5 && w.count <= zk4::kRxWindowSize);
        const Bytes line = w.Line();
        ZK4_CHECK(line[line.size() - 2] == '\r' && line[line.size() - 1] == '\n');
        for (const std::uint8_t b : line) {
            ZK4_CHECK(b < 'a' || b > 'z');
        }
        DecodeLine(line);

        // Now and then a modal box opens and its nested loop receives a few more bytes.
        if (depth < 2 && input->remaining_bytes() > 0 &&
            input->ConsumeIntegralInRange<int>(0, 7) == 0) {
            const auto nested = input->ConsumeBytes<std::uint8_t>(
                input->ConsumeIntegralInRange<std::size_t>(1, 40));
            ++depth;
            zk4::FrameBytes(window, nested, handler);
            --depth;
            ZK4_CHECK(window.count <= zk4::kRxWindowSize);
        }
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    Session session;
    session.input = &input;
    session.handler = [&session](const zk4::RxWindow& w) { session.OnLine(w); };
    while (input.remaining_bytes() > 0) {
        const auto length = input.ConsumeIntegralInRange<std::size_t>(1, 64);
        const std::vector<std::uint8_t> chunk = input.ConsumeBytes<std::uint8_t>(length);
        zk4::FrameBytes(session.window, chunk, session.handler);
        ZK4_CHECK(session.window.count <= zk4::kRxWindowSize);
    }
    return 0;
}
