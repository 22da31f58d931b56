// How fast the report exchange runs compared with the plainest possible request/reply loop over
// the same descriptor, and how little CPU it burns while it waits for a reply that never comes.
//
// Run: build/default/bin/report_exchange_bench [--benchmark_repetitions=5]
// The ratios printed at the end divide each exchange rate by the bare loop's rate (medians when
// repeated); the goal is at least 0.9, and under 1% of a core for the silent exchange.

#include "device/DescriptorHidrawNodeSource.h"
#include "device/HidrawHidService.h"
#include "device/USBHidManager.h"
#include "sim/SimulatedHidService.h"
#include "sim/VirtualConverter.h"

#include <QCoreApplication>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <map>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {
constexpr int reportSize = 64;

// syncPackNo with a one-byte counter, which the converter answers with counter + 1.
QByteArray syncRequest(int64_t packNo) {
    QByteArray request(reportSize, '\0');
    request[0] = static_cast<char>(0xA4);
    request[4] = static_cast<char>(packNo);
    request[8] = static_cast<char>(packNo);
    return request;
}

// Keeps the counter inside the one-byte field: 0, 2, ..., 254, 0, ...
int64_t nextSyncCounter(int64_t packNo) {
    return packNo >= 254 ? 0 : packNo;
}

// A socket pair whose device end a thread answers as the converter would; the host end is what
// /dev/hidrawN would be. `answers` false gives a device that never replies.
class ThreadAnsweredSocketPair {
public:
    explicit ThreadAnsweredSocketPair(bool answers) {
        int ends[2];
        if (::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends) != 0)
            std::abort();
        hostEnd_ = ends[0];
        deviceEnd_ = ends[1];
        if (answers)
            device_ = std::thread([this] { serve(); });
    }
    ~ThreadAnsweredSocketPair() {
        ::shutdown(deviceEnd_, SHUT_RDWR);
        if (device_.joinable())
            device_.join();
        ::close(hostEnd_);
        ::close(deviceEnd_);
    }
    int hostEnd() const { return hostEnd_; }

    // The bare loop is a plain blocking client; the service wants the descriptor non-blocking.
    void setHostEndBlocking(bool blocking) const {
        const int flags = ::fcntl(hostEnd_, F_GETFL);
        ::fcntl(hostEnd_, F_SETFL, blocking ? flags & ~O_NONBLOCK : flags | O_NONBLOCK);
    }

private:
    void serve() {
        VirtualConverter converter;
        char frame[256];
        for (int handled = 1;; ++handled) {
            const ssize_t length = ::read(deviceEnd_, frame, sizeof frame);
            if (length <= 1)
                return;
            // Drop report id 0, as the kernel does before the device sees the report.
            const std::optional<QByteArray> reply =
                converter.handleOutputReport(QByteArray(frame + 1, length - 1));
            if (reply && ::write(deviceEnd_, reply->constData(), reply->size()) != reply->size())
                return;
            if (handled % 4096 == 0)
                converter.clearHistory();
        }
    }

    int hostEnd_ = -1;
    int deviceEnd_ = -1;
    std::thread device_;
};

// The real hidraw service and manager on one socket pair's host end.
struct HidrawLink {
    explicit HidrawLink(int hostEnd, ReportExchangeTiming timing = {}) {
        auto source = std::make_unique<DescriptorHidrawNodeSource>();
        source->addNode({"/dev/hidraw0", 0x1209, 0x0002}, hostEnd);
        service = std::make_unique<HidrawHidService>(std::move(source));
        manager = std::make_unique<USBHidManager>(*service, std::vector<DeviceMatching>{},
                                                  std::weak_ptr<HIDManagerDelegate>{}, timing);
        device = service->copyDevices().front();
        service->openDevice(device);
        manager->setupReportCallback(device);
    }
    std::unique_ptr<HidrawHidService> service;
    std::unique_ptr<USBHidManager> manager;
    HidDeviceRef device;
};

ThreadAnsweredSocketPair* answeredPair = nullptr;
HidrawLink* hidrawLink = nullptr;

void BM_BareBlockingLoop(benchmark::State& state) {
    answeredPair->setHostEndBlocking(true);
    const int fd = answeredPair->hostEnd();
    int64_t packNo = 0;
    char reply[reportSize];
    for (auto _ : state) {
        packNo = nextSyncCounter(packNo);
        const QByteArray frame = QByteArray(1, '\0') + syncRequest(packNo);
        if (::write(fd, frame.constData(), frame.size()) != frame.size() ||
            ::read(fd, reply, sizeof reply) != reportSize || reply[4] != char(packNo + 1)) {
            state.SkipWithError("bare exchange failed");
            break;
        }
        packNo += 2;
    }
    state.SetItemsProcessed(state.iterations());
}

void runExchanges(benchmark::State& state, USBHidManager& manager, const HidDeviceRef& device,
                  VirtualConverter* converter) {
    int64_t packNo = 0;
    for (auto _ : state) {
        packNo = nextSyncCounter(packNo);
        if (!manager.sendAndReceiveReport(device, packNo, syncRequest(packNo))) {
            state.SkipWithError("exchange failed");
            break;
        }
        if (converter && state.iterations() % 4096 == 0)
            converter->clearHistory();
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_ExchangeOverSocketPair(benchmark::State& state) {
    answeredPair->setHostEndBlocking(false);
    runExchanges(state, *hidrawLink->manager, hidrawLink->device, nullptr);
}

void BM_ExchangeWithVirtualConverter(benchmark::State& state) {
    SimulatedHidService service;
    auto converter = std::make_shared<VirtualConverter>();
    const HidDeviceRef device = service.plugIn(converter);
    USBHidManager manager(service, {}, {});
    service.openDevice(device);
    manager.setupReportCallback(device);
    runExchanges(state, manager, device, converter.get());
}

double seconds(clockid_t clock) {
    timespec now{};
    clock_gettime(clock, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// A 2-second exchange with a device that never answers, over the real hidraw code.
void BM_SilentExchangeCpu(benchmark::State& state) {
    ThreadAnsweredSocketPair silent(false);
    HidrawLink link(silent.hostEnd(), {std::chrono::seconds{2}, std::chrono::milliseconds{100}});
    double cpu = 0, wall = 0;
    for (auto _ : state) {
        const double cpuStart = seconds(CLOCK_PROCESS_CPUTIME_ID);
        const double wallStart = seconds(CLOCK_MONOTONIC);
        int64_t packNo = 0;
        if (link.manager->sendAndReceiveReport(link.device, packNo, syncRequest(0)))
            state.SkipWithError("a silent device answered");
        cpu += seconds(CLOCK_PROCESS_CPUTIME_ID) - cpuStart;
        wall += seconds(CLOCK_MONOTONIC) - wallStart;
    }
    state.counters["cpu_ms"] = cpu * 1000 / static_cast<double>(state.iterations());
    state.counters["wall_ms"] = wall * 1000 / static_cast<double>(state.iterations());
    state.counters["core_percent"] = 100 * cpu / wall;
}

BENCHMARK(BM_BareBlockingLoop)->UseRealTime();
BENCHMARK(BM_ExchangeOverSocketPair)->UseRealTime();
BENCHMARK(BM_ExchangeWithVirtualConverter)->UseRealTime();
BENCHMARK(BM_SilentExchangeCpu)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// Prints as usual and remembers each benchmark's rate (its median when repeated).
class RateRecorder : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            const auto rate = run.counters.find("items_per_second");
            if (rate == run.counters.end() || run.error_occurred)
                continue;
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if (median ||
                (run.run_type == Run::RT_Iteration && !medians_.count(run.run_name.function_name)))
                rates_[run.run_name.function_name] = rate->second.value;
            if (median)
                medians_[run.run_name.function_name] = true;
        }
    }
    std::optional<double> rate(const std::string& name) const {
        const auto it = rates_.find(name);
        return it == rates_.end() ? std::nullopt : std::optional<double>(it->second);
    }

private:
    std::map<std::string, double> rates_;
    std::map<std::string, bool> medians_;
};
} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    ThreadAnsweredSocketPair pair(true);
    answeredPair = &pair;
    HidrawLink link(pair.hostEnd());
    hidrawLink = &link;

    RateRecorder recorder;
    benchmark::RunSpecifiedBenchmarks(&recorder);

    const std::optional<double> bare = recorder.rate("BM_BareBlockingLoop");
    for (const char* name : {"BM_ExchangeOverSocketPair", "BM_ExchangeWithVirtualConverter"})
        if (const std::optional<double> rate = recorder.rate(name); rate && bare)
            std::printf("%s / BM_BareBlockingLoop = %.3f\n", name, *rate / *bare);
    benchmark::Shutdown();
    return 0;
}
