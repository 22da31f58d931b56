// A full transfer of the largest image the converter takes (1 834 944 bytes, 32 767 packets)
// against a virtual converter that answers at once, beside the bare exchange loop: the same
// number of request/reply exchanges through the same manager and simulated service, with one
// prebuilt request whose packet number is patched in. The difference is what the transfer adds
// per packet (slicing the image into a fresh request, checksums, progress). The goal is under
// 30 us a packet, so that the host adds under 1.5% to the 2 ms a full-speed USB request and reply
// take at least.
//
// The last lines printed give the peak resident memory of the process (getrusage). Run one
// benchmark at a time (--benchmark_filter) to see each one's peak.

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <cstdio>
#include <sys/resource.h>

#include "protocol/Commands.h"
#include "protocol/FirmwareTransfer.h"
#include "sim/SimulatedHidService.h"

static constexpr int64_t packetsPerTransfer = 32767;

static QByteArray largestImage() {
    QByteArray image(FirmwareTransfer::maximumImageLength, '\0');
    for (qsizetype i = 0; i < image.size(); ++i)
        image[i] = static_cast<char>((i * 131 + 7) & 0xFF);
    return image;
}

// A converter plugged into its own service, with a manager on it. The device's request history
// is cleared between iterations, so it holds at most one transfer's worth.
struct Bench {
    SimulatedHidService service;
    std::shared_ptr<VirtualConverter> converter = std::make_shared<VirtualConverter>();
    HidDeviceRef device = service.plugIn(converter);
    USBHidManager manager{service, {}, {}};
};

static void perPacketCounters(benchmark::State& state, int64_t packets) {
    state.counters["packets"] = static_cast<double>(packets);
    // Inverted rate: seconds per packet, printed with an SI prefix (u = microseconds).
    state.counters["time_per_packet"] = benchmark::Counter(
        static_cast<double>(packets),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

static void BM_BareExchangeLoop(benchmark::State& state) {
    Bench bench;
    bench.service.openDevice(bench.device);
    bench.manager.setupReportCallback(bench.device);
    QByteArray request(Commands::reportSize, '\0');
    for (auto _ : state) {
        bench.converter->clearHistory();
        int64_t packNo = 2;
        for (int64_t i = 0; i < packetsPerTransfer; ++i) {
            request[4] = static_cast<char>(packNo & 0xFF);
            request[5] = static_cast<char>((packNo >> 8) & 0xFF);
            if (!bench.manager.sendAndReceiveReport(bench.device, packNo, request)) {
                state.SkipWithError("an exchange failed");
                return;
            }
        }
    }
    perPacketCounters(state, packetsPerTransfer);
}
BENCHMARK(BM_BareExchangeLoop)->Unit(benchmark::kMillisecond)->UseRealTime();

static void BM_FullTransfer(benchmark::State& state) {
    Bench bench;
    const QByteArray image = largestImage();
    const int64_t checkSum = VirtualConverter::checksum16(image);
    int pictures = 0;
    FirmwareTransfer transfer({[&pictures](const QString&) { ++pictures; }, {}});
    for (auto _ : state) {
        bench.converter->clearHistory();
        int64_t packNo = 0;
        if (!transfer.upgradeFW(&bench.manager, bench.device, packNo, checkSum, image)) {
            state.SkipWithError("the transfer failed");
            return;
        }
        if (packNo != 2 + 2 * packetsPerTransfer) {
            state.SkipWithError("unexpected number of packets");
            return;
        }
    }
    // The synchronisation is one exchange more; at 32 768 exchanges it changes nothing visible.
    perPacketCounters(state, packetsPerTransfer);
    benchmark::DoNotOptimize(pictures);
}
BENCHMARK(BM_FullTransfer)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv) {
    // The exchange waits by running the event loop, and replies arrive through it.
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("peak resident memory: %ld KiB\n", usage.ru_maxrss);
    return 0;
}
