// Receive framer and device-line decoding: arbitrary bytes in arbitrary chunks, with the nested
// framing that a modal message box's event loop causes while a line is being handled.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "FuzzCheck.h"
#include "protocol/DeviceLine.h"
#include "protocol/ReceiveFramer.h"

namespace {

// Feeds a chunk; now and then a line's handler opens a modal box whose nested loop receives a
// few more bytes.
void Feed(FuzzedDataProvider& input, zk4::RxWindow& window, int depth = 0) {
    const std::vector<std::uint8_t> chunk =
        input.ConsumeBytes<std::uint8_t>(input.ConsumeIntegralInRange<std::size_t>(1, 64));
    zk4::FrameBytes(window, chunk, [&](const zk4::RxWindow& w) {
        const zk4::Bytes line = w.Line();
        ZK4_CHECK(&w == &window && line.size() >= 5 && line.size() <= zk4::kRxWindowSize);
        ZK4_CHECK(line[line.size() - 2] == '\r' && line.back() == '\n');
        ZK4_CHECK(
            std::none_of(line.begin(), line.end(), [](auto b) { return b >= 'a' && b <= 'z'; }));
        // Everything the link asks of the line; the sanitizers watch every byte read.
        const zk4::Report report = zk4::ParseReportLine(line);
        // A value is a view into the line that stops right before its CR LF.
        const auto* end = reinterpret_cast<const char*>(line.data() + line.size());
        ZK4_CHECK(report.row == nullptr ? report.value.empty()
                                        : report.value.data() + report.value.size() == end - 2);
        (void)zk4::ClassifyLine(line);
        (void)zk4::FirmwareGatePasses(report.value);
        (void)zk4::IdentificationChecksumOk(line);
        if (zk4::IsIdentificationLine(line)) {
            const auto product = zk4::LookupProduct(zk4::DecodeIdentification(line).productCode);
            ZK4_CHECK(product.valid == (product.cylinders || product.hzPerMph));
        }
        if (depth < 2 && input.ConsumeIntegralInRange<int>(0, 7) == 0) {
            Feed(input, window, depth + 1);
        }
    });
    ZK4_CHECK(window.count <= zk4::kRxWindowSize);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    zk4::RxWindow window{};
    while (input.remaining_bytes() > 0) {
        Feed(input, window);
    }
    return 0;
}
