// Receive path: bytes from the port through the framer into line classification and decoding,
// the work done for every chunk the serial port delivers.
#include "protocol/DeviceLine.h"
#include "protocol/ReceiveFramer.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

namespace {

constexpr std::size_t kStreamSize = 1 << 20;

// What a linked device sends: a burst of report lines per poll plus the odd identification
// line, some of it in lower case, with a little noise ahead of a line now and then.
std::vector<std::uint8_t> MakeStream() {
    constexpr std::array<std::string_view, 10> kLines = {
        "AT DV=12.6\r\n",
        "AT RPM=1500\r\n",
        "AT MPH=55\r\n",
        "AT CN=4\r\n",
        "AT HZVSMPH=1.7881\r\n",
        "AT FW=0.5N\r\n",
        "ACK IDA2100000000003\r\n",
        "at rpm=2250\r\n",
        "x~AT MPH=61\r\n",
        "ack id65876543210051\r\n",
    };
    std::vector<std::uint8_t> stream;
    stream.reserve(kStreamSize + 32);
    for (std::size_t i = 0; stream.size() < kStreamSize; ++i) {
        const std::string_view line = kLines[i % kLines.size()];
        stream.insert(stream.end(), line.begin(), line.end());
    }
    return stream;
}

struct Tally {
    std::uint64_t reports = 0;
    std::uint64_t valueBytes = 0;
    std::uint64_t identifications = 0;
    std::uint64_t serialSum = 0;
};

void Decode(const zk4::RxWindow& window, Tally& tally) {
    const zk4::Bytes line = window.Line();
    switch (zk4::ClassifyLine(line)) {
        case zk4::LineKind::Report: {
            const zk4::Report report = zk4::ParseReportLine(line);
            tally.reports += report.row != nullptr;
            tally.valueBytes += report.value.size();
            break;
        }
        case zk4::LineKind::Acknowledgement:
            if (zk4::IsIdentificationLine(line) && zk4::IdentificationChecksumOk(line)) {
                const zk4::Identification id = zk4::DecodeIdentification(line);
                tally.identifications += zk4::LookupProduct(id.productCode).valid;
                tally.serialSum += id.serialNo;
            }
            break;
        case zk4::LineKind::Ignored:
            break;
    }
}

// Argument: bytes per chunk, as the serial port would hand them over.
void BM_FrameAndDecode(benchmark::State& state) {
    const std::vector<std::uint8_t> stream = MakeStream();
    const auto chunk = static_cast<std::size_t>(state.range(0));
    Tally tally;
    const zk4::LineHandler handler = [&tally](const zk4::RxWindow& w) { Decode(w, tally); };
    zk4::RxWindow window;
    for (auto _ : state) {
        const std::span<const std::uint8_t> all(stream);
        for (std::size_t pos = 0; pos < all.size(); pos += chunk) {
            zk4::FrameBytes(window, all.subspan(pos, std::min(chunk, all.size() - pos)), handler);
        }
        benchmark::DoNotOptimize(tally);
    }
    if (tally.reports == 0 || tally.identifications == 0) {
        state.SkipWithError("stream was not decoded");
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * stream.size()));
    state.counters["lines/s"] = benchmark::Counter(
        static_cast<double>(tally.reports + tally.identifications), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_FrameAndDecode)->Arg(1)->Arg(64)->Arg(2048)->Arg(kStreamSize);

}  // namespace
