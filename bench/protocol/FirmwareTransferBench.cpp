// A full transfer of the largest image the converter takes (1 834 944 bytes, 32 767 data packets)
// against a virtual converter that answers at once, beside the reference loops of the device-link
// benchmark, all in this run and all 32 767 exchanges an iteration:
//   BM_BareBlockingLoop          blocking write/read of prebuilt packets on a socket pair whose
//                                other end a thread answers as the converter (no event loop)
//   BM_ExchangeLoopSimulated     the report exchange on the simulated HID service, one prebuilt
//                                packet with its number patched in
//   BM_FullTransferSimulated     the transfer on the simulated HID service (the figure asked for)
//   BM_FullTransferOverHidraw    the transfer through the real hidraw code on the socket pair
//   BM_CliUpdateSimulated        the same image through velmar-converter-cli's update on the
//                                simulated service: its progress bar redrawn on a terminal
//                                (/dev/null), the end command, and the converter asked again
// The goal is under 30 us a packet, so that the host adds under 1.5% to the 2 ms a full-speed
// USB request and reply take at least.
//
// Run: build/default/bin/firmware_transfer_bench [--benchmark_repetitions=3]
// The ratios at the end divide each time per packet by a reference's (medians when repeated):
// each transfer by the exchange loop on its own transport, the command-line program's update by
// the window's transfer (BM_FullTransferSimulated), and everything by the bare loop.
// The last line is the process's peak resident memory; run one benchmark alone
// (--benchmark_filter=BM_FullTransferSimulated) for the peak of that run.

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <cstdio>
#include <fcntl.h>
#include <map>
#include <string>
#include <sys/resource.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "DescriptorHidrawNodeSource.h"
#include "cli/CliSession.h"
#include "cli/TextReport.h"
#include "cli/UpdateCommand.h"
#include "device/HidrawHidService.h"
#include "protocol/Commands.h"
#include "protocol/FirmwareTransfer.h"
#include "sim/SimulatedHidService.h"
#include "support/ResourceDirectory.h"

namespace {
constexpr int64_t packetsPerTransfer = 32767;
const char* const perPacket = "time_per_packet";

QByteArray largestImage() {
    QByteArray image(FirmwareTransfer::maximumImageLength, '\0');
    for (qsizetype i = 0; i < image.size(); ++i)
        image[i] = static_cast<char>((i * 131 + 7) & 0xFF);
    return image;
}

// Inverted rate: seconds per packet, printed with an SI prefix (u = microseconds).
void countPackets(benchmark::State& state) {
    state.counters[perPacket] = benchmark::Counter(static_cast<double>(packetsPerTransfer),
                                                   benchmark::Counter::kIsIterationInvariantRate |
                                                       benchmark::Counter::kInvert);
}

// A continuation packet carrying `packNo`, which the converter answers with packNo + 1.
void patchPackNo(QByteArray& request, int64_t packNo) {
    request[4] = static_cast<char>(packNo & 0xFF);
    request[5] = static_cast<char>((packNo >> 8) & 0xFF);
}

// A synchronisation (a transfer begins) or the bare loop's first packet.
bool startsAnExchangeSeries(const QByteArray& request) {
    const auto byte = [&request](int index) { return static_cast<uint8_t>(request[index]); };
    return byte(0) == VirtualConverter::syncPackNoCode ||
           (byte(0) == VirtualConverter::continuationDataCode && byte(4) == 2 && byte(5) == 0);
}

// A socket pair standing in for /dev/hidrawN: a thread answers the device end as the converter
// would. The converter's history starts afresh with each transfer and each pass of the bare loop,
// so it never holds more than one series of 32 767 requests (and never loses a transfer's image).
class ConverterSocketPair {
public:
    ConverterSocketPair() {
        int ends[2];
        if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends) != 0)
            std::abort();
        hostEnd = ends[0];
        deviceEnd_ = ends[1];
        thread_ = std::thread([this] { serve(); });
    }
    ~ConverterSocketPair() {
        ::shutdown(deviceEnd_, SHUT_RDWR);
        thread_.join();
        ::close(hostEnd);
        ::close(deviceEnd_);
    }
    void setHostEndBlocking(bool blocking) const {
        const int flags = ::fcntl(hostEnd, F_GETFL);
        ::fcntl(hostEnd, F_SETFL, blocking ? flags & ~O_NONBLOCK : flags | O_NONBLOCK);
    }
    int hostEnd = -1;

private:
    void serve() {
        VirtualConverter converter;
        char frame[256];
        while (true) {
            const ssize_t length = ::read(deviceEnd_, frame, sizeof frame);
            if (length <= 1)
                return;
            // The kernel drops report id 0 before the device sees the report.
            const QByteArray request(frame + 1, length - 1);
            if (startsAnExchangeSeries(request))
                converter.clearHistory();
            const std::optional<QByteArray> reply = converter.handleOutputReport(request);
            if (reply && ::write(deviceEnd_, reply->constData(), reply->size()) != reply->size())
                return;
        }
    }
    int deviceEnd_ = -1;
    std::thread thread_;
};

ConverterSocketPair* socketPair = nullptr;

void BM_BareBlockingLoop(benchmark::State& state) {
    socketPair->setHostEndBlocking(true);
    QByteArray frame(1 + Commands::reportSize, '\0'); // report id 0, then the packet
    char reply[Commands::reportSize];
    for (auto _ : state) {
        for (int64_t packNo = 2; packNo < 2 + 2 * packetsPerTransfer; packNo += 2) {
            frame[5] = static_cast<char>(packNo & 0xFF);
            frame[6] = static_cast<char>((packNo >> 8) & 0xFF);
            if (::write(socketPair->hostEnd, frame.constData(), frame.size()) != frame.size() ||
                ::read(socketPair->hostEnd, reply, sizeof reply) != Commands::reportSize ||
                reply[4] != static_cast<char>((packNo + 1) & 0xFF)) {
                state.SkipWithError("bare exchange failed");
                return;
            }
        }
    }
    countPackets(state);
}

// A converter plugged into a simulated service, with a manager on it.
struct SimulatedLink {
    SimulatedHidService service;
    std::shared_ptr<VirtualConverter> converter = std::make_shared<VirtualConverter>();
    HidDeviceRef device = service.plugIn(converter);
    USBHidManager manager{service, {}, {}};
};

void BM_ExchangeLoopSimulated(benchmark::State& state) {
    SimulatedLink link;
    link.service.openDevice(link.device);
    link.manager.setupReportCallback(link.device);
    QByteArray request(Commands::reportSize, '\0');
    for (auto _ : state) {
        link.converter->clearHistory();
        for (int64_t packNo = 2; packNo < 2 + 2 * packetsPerTransfer;) {
            patchPackNo(request, packNo);
            if (!link.manager.sendAndReceiveReport(link.device, packNo, request)) {
                state.SkipWithError("an exchange failed");
                return;
            }
        }
    }
    countPackets(state);
}

void runTransfers(benchmark::State& state, USBHidManager& manager, const HidDeviceRef& device,
                  const std::function<void()>& beforeEach) {
    const QByteArray image = largestImage();
    const int64_t checkSum = VirtualConverter::checksum16(image);
    int pictures = 0;
    FirmwareTransfer transfer({[&pictures](const QString&) { ++pictures; }, {}});
    for (auto _ : state) {
        if (beforeEach)
            beforeEach();
        int64_t packNo = 0;
        if (!transfer.upgradeFW(&manager, device, packNo, checkSum, image) ||
            packNo != 2 + 2 * packetsPerTransfer) {
            state.SkipWithError("the transfer failed");
            return;
        }
    }
    // The synchronisation is one exchange more; at 32 768 exchanges it changes nothing visible.
    countPackets(state);
    benchmark::DoNotOptimize(pictures);
}

void BM_FullTransferSimulated(benchmark::State& state) {
    SimulatedLink link;
    runTransfers(state, link.manager, link.device, [&link] { link.converter->clearHistory(); });
}

void BM_FullTransferOverHidraw(benchmark::State& state) {
    socketPair->setHostEndBlocking(false);
    auto source = std::make_unique<DescriptorHidrawNodeSource>();
    source->addNode({"/dev/hidraw0", 0x1209, 0x0002}, socketPair->hostEnd);
    HidrawHidService service(std::move(source));
    USBHidManager manager(service, {}, {});
    runTransfers(state, manager, service.copyDevices().front(), {});
}

void BM_CliUpdateSimulated(benchmark::State& state) {
    SimulatedHidService service;
    auto converter = std::make_shared<VirtualConverter>(); // QK100201, which the configuration has
    service.plugIn(converter);
    FILE* terminal = std::fopen("/dev/null", "w");
    TextReport report({terminal, terminal, true});
    CliSession session(service, {ResourceDirectory::path(), "velmar-converter-cli"}, report);
    const ReleaseImage release{largestImage(), VirtualConverter::checksum16(largestImage())};
    ExitCode failure = ExitCode::Success;
    std::optional<ConverterIdentity> identity =
        session.chooseConverter(std::nullopt, std::nullopt, failure);
    for (auto _ : state) {
        converter->clearHistory();
        if (!identity || UpdateCommand(session).install(*identity, release) != ExitCode::Success) {
            state.SkipWithError("the command-line update failed");
            break;
        }
    }
    std::fclose(terminal);
    countPackets(state);
}

BENCHMARK(BM_BareBlockingLoop)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ExchangeLoopSimulated)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FullTransferSimulated)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FullTransferOverHidraw)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_CliUpdateSimulated)->Unit(benchmark::kMillisecond)->UseRealTime();

// Prints as usual and keeps each benchmark's time per packet (its median when repeated).
class PerPacketRecorder : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            const auto counter = run.counters.find(perPacket);
            if (counter == run.counters.end() || run.error_occurred)
                continue;
            const std::string& name = run.run_name.function_name;
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if (median || (run.run_type == Run::RT_Iteration && !fromMedian_[name]))
                seconds[name] = counter->second.value;
            fromMedian_[name] = fromMedian_[name] || median;
        }
    }
    std::map<std::string, double> seconds;

private:
    std::map<std::string, bool> fromMedian_;
};
} // namespace

int main(int argc, char** argv) {
    // Replies reach the manager through the event loop.
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    ConverterSocketPair pair;
    socketPair = &pair;

    PerPacketRecorder recorder;
    benchmark::RunSpecifiedBenchmarks(&recorder);
    benchmark::Shutdown();

    // Each transfer beside the loop on its own transport, and everything beside the bare loop.
    const std::map<std::string, std::string> references = {
        {"BM_ExchangeLoopSimulated", "BM_BareBlockingLoop"},
        {"BM_FullTransferSimulated", "BM_ExchangeLoopSimulated"},
        {"BM_FullTransferOverHidraw", "BM_BareBlockingLoop"},
        {"BM_CliUpdateSimulated", "BM_FullTransferSimulated"}};
    for (const auto& [name, seconds] : recorder.seconds) {
        std::printf("%s: %.2f us/packet", name.c_str(), seconds * 1e6);
        std::vector<std::string> against{"BM_BareBlockingLoop"};
        if (const auto own = references.find(name);
            own != references.end() && own->second != against.front())
            against.insert(against.begin(), own->second);
        for (const std::string& reference : against) {
            const auto found = recorder.seconds.find(reference);
            if (found != recorder.seconds.end() && reference != name)
                std::printf(", %.2f x %s", seconds / found->second, reference.c_str());
        }
        std::printf("\n");
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("peak resident memory: %ld KiB\n", usage.ru_maxrss);
    return 0;
}
