// The cost of one report line in the real main dialog (offscreen): the receive notification,
// the framer, the line handler and both data exchanges.
#include <benchmark/benchmark.h>

#include "support/DialogHarness.h"

namespace {

void BM_ReportLineInDialog(benchmark::State& state) {
    zk4::test::DialogHarness h;
    h.Identify("AT FW=0.5N\r\n", zk4::test::kIdJ1708_003);
    // Alternate values so every line really changes what the box shows.
    const std::string lines[2] = {"AT RPM=1500\r\n", "AT RPM=1501\r\n"};
    std::size_t n = 0;
    for (auto _ : state) {
        h.serial.Receive(lines[n++ & 1]);
    }
    if (h.Text(zk4::IDC_ENGINE_RPM).isEmpty()) {
        state.SkipWithError("the line was not shown");
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ReportLineInDialog)->Unit(benchmark::kMicrosecond);

void BM_AllFiveReportLinesInDialog(benchmark::State& state) {
    zk4::test::DialogHarness h;
    h.Identify("AT FW=0.5N\r\n", zk4::test::kIdJ1708_003);
    const std::string poll[2] = {
        "AT DV=12.6\r\nAT RPM=1500\r\nAT MPH=55\r\nAT CN=4\r\nAT HZVSMPH=1.7881\r\n",
        "AT DV=12.7\r\nAT RPM=1510\r\nAT MPH=56\r\nAT CN=6\r\nAT HZVSMPH=2.5000\r\n"};
    std::size_t n = 0;
    for (auto _ : state) {
        h.serial.Receive(poll[n++ & 1]);
    }
    state.SetItemsProcessed(state.iterations() * 5);
}
BENCHMARK(BM_AllFiveReportLinesInDialog)->Unit(benchmark::kMicrosecond);

}  // namespace
