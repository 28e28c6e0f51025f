// The cost of taking up the device's identification line in the real main dialog (offscreen):
// from the 22 bytes arriving at the receive notification to the product shown, the setting
// controls of the variant enabled, Connect disabled and Disconnect enabled. Each iteration
// starts from a fresh connection whose firmware line has been seen; that reset is not timed.
#include <benchmark/benchmark.h>
#include <string_view>

#include "support/DialogHarness.h"

namespace {

bool Identified(const zk4::test::DialogHarness& h) {
    return h.Enabled(zk4::IDC_DISCONNECT) && !h.Enabled(zk4::IDC_CONNECT) &&
           h.Enabled(zk4::IDC_PROCEED) && h.Text(zk4::IDC_PRODUCT_ID).startsWith("ZK4-");
}

void BM_IdentificationLineToControlsEnabled(benchmark::State& state, std::string_view idLine) {
    zk4::test::DialogHarness h;
    for (auto _ : state) {
        state.PauseTiming();
        h.dlg->OnDisconnect();
        h.dlg->OnConnect();
        h.serial.Receive("AT FW=0.5N\r\n");
        // The fake port records every call and byte; keep that from growing over the run.
        h.serial.calls.clear();
        h.serial.ClearWritten();
        if (h.Enabled(zk4::IDC_DISCONNECT)) {
            state.SkipWithError("the reset did not return to the disconnected look");
            break;
        }
        state.ResumeTiming();

        h.serial.Receive(idLine);
    }
    if (!Identified(h)) {
        state.SkipWithError("the identification line did not enable the controls");
    }
    state.SetItemsProcessed(state.iterations());
}
// -003: both settings enabled; -001: cylinders only.
BENCHMARK_CAPTURE(BM_IdentificationLineToControlsEnabled, J1708_003, zk4::test::kIdJ1708_003)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_IdentificationLineToControlsEnabled, J1939_001, zk4::test::kIdJ1939_001)
    ->Unit(benchmark::kMicrosecond);

}  // namespace
