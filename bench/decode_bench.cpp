// Throughput of line assembly plus decoding, the whole receive path but the port.
#include "instrument/line_assembly.h"
#include "instrument/line_encoder.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

class NullHost : public CLineAssembly::Host {
public:
    long accepted = 0;
    UINT_PTR SetTimer(UINT_PTR id, UINT) override { return id; }
    void KillTimer(UINT_PTR) override {}
    void SetLastChannel(int) override {}
    void ApplyReading(BOOL ok) override { accepted += ok; }
};

std::vector<unsigned char> Stream(bool fine) {
    std::vector<unsigned char> s;
    for (int i = 0; i < 900; ++i) {
        InstrumentReading r;
        r.channel = i % 9;
        r.fine = fine;
        r.value = 20.0 + (i % 97) * (fine ? 0.01 : 0.1);
        r.serialNumber = 0x1234;
        const auto line = EncodeLineOrThrow(r);
        s.insert(s.end(), line.begin(), line.end());
    }
    return s;
}

void BM_AssembleAndDecode(benchmark::State& state) {
    const auto stream = Stream(state.range(0) != 0);
    NullHost host;
    CLineAssembly assembly(host);
    for (auto _ : state) {
        for (unsigned char b : stream) assembly.OnPortChar(b);
        benchmark::DoNotOptimize(host.accepted);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * stream.size()));
    state.counters["lines/s"] = benchmark::Counter(static_cast<double>(state.iterations() * 900),
                                                   benchmark::Counter::kIsRate);
}
BENCHMARK(BM_AssembleAndDecode)->Arg(0)->Arg(1)->ArgName("long");

}  // namespace

BENCHMARK_MAIN();
