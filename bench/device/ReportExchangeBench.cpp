// How fast the report exchange runs compared with the plainest possible request/reply loop over
// the same descriptor, and how little CPU it burns while it waits for a reply that never comes.
//
// Run: build/default/bin/report_exchange_bench [--benchmark_repetitions=5]
// "ratio" is the exchange rate divided by the bare loop's rate, measured in alternating batches;
// the goal is at least 0.9. "core_percent" is the CPU share of the silent exchange; goal < 1.

#include "DescriptorHidrawNodeSource.h"
#include "device/HidrawHidService.h"
#include "device/USBHidManager.h"
#include "sim/SimulatedHidService.h"
#include "sim/VirtualConverter.h"

#include <QCoreApplication>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <functional>
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

using Clock = std::chrono::steady_clock;

// Exchanges per batch: long enough to time, short enough that a change in the machine's load
// hits both loops alike, since they take turns.
constexpr int batchSize = 256;

ThreadAnsweredSocketPair* answeredPair = nullptr;
HidrawLink* hidrawLink = nullptr;

// The reference: a plain client blocking in write and read on the same socket pair.
bool bareBatch(int64_t& packNo) {
    answeredPair->setHostEndBlocking(true);
    const int fd = answeredPair->hostEnd();
    char reply[reportSize];
    for (int i = 0; i < batchSize; ++i) {
        packNo = nextSyncCounter(packNo);
        const QByteArray frame = QByteArray(1, '\0') + syncRequest(packNo);
        if (::write(fd, frame.constData(), frame.size()) != frame.size() ||
            ::read(fd, reply, sizeof reply) != reportSize || reply[4] != char(packNo + 1))
            return false;
        packNo += 2;
    }
    return true;
}

bool exchangeBatch(USBHidManager& manager, const HidDeviceRef& device, int64_t& packNo) {
    for (int i = 0; i < batchSize; ++i) {
        packNo = nextSyncCounter(packNo);
        if (!manager.sendAndReceiveReport(device, packNo, syncRequest(packNo)))
            return false;
    }
    return true;
}

// Alternates batches of the bare loop and of `exchange`, timing each side on its own.
void compareWithBareLoop(benchmark::State& state, const std::function<bool(int64_t&)>& exchange) {
    Clock::duration bareTime{}, exchangeTime{};
    int64_t barePackNo = 0, exchangePackNo = 0;
    for (auto _ : state) {
        const Clock::time_point start = Clock::now();
        if (!bareBatch(barePackNo)) {
            state.SkipWithError("bare exchange failed");
            break;
        }
        const Clock::time_point middle = Clock::now();
        if (!exchange(exchangePackNo)) {
            state.SkipWithError("exchange failed");
            break;
        }
        bareTime += middle - start;
        exchangeTime += Clock::now() - middle;
    }
    const double exchanges = static_cast<double>(state.iterations()) * batchSize;
    const double bareRate = exchanges / std::chrono::duration<double>(bareTime).count();
    const double exchangeRate = exchanges / std::chrono::duration<double>(exchangeTime).count();
    state.counters["bare_per_s"] = bareRate;
    state.counters["exchanges_per_s"] = exchangeRate;
    state.counters["ratio"] = exchangeRate / bareRate;
}

void BM_ExchangeOverSocketPair(benchmark::State& state) {
    compareWithBareLoop(state, [](int64_t& packNo) {
        answeredPair->setHostEndBlocking(false);
        return exchangeBatch(*hidrawLink->manager, hidrawLink->device, packNo);
    });
}

void BM_ExchangeWithVirtualConverter(benchmark::State& state) {
    SimulatedHidService service;
    auto converter = std::make_shared<VirtualConverter>();
    const HidDeviceRef device = service.plugIn(converter);
    USBHidManager manager(service, {}, {});
    service.openDevice(device);
    manager.setupReportCallback(device);
    compareWithBareLoop(state, [&](int64_t& packNo) {
        converter->clearHistory();
        return exchangeBatch(manager, device, packNo);
    });
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
    state.counters["core_percent"] = 100 * cpu / wall;
}

BENCHMARK(BM_ExchangeOverSocketPair)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExchangeWithVirtualConverter)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SilentExchangeCpu)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    ThreadAnsweredSocketPair pair(true);
    answeredPair = &pair;
    HidrawLink link(pair.hostEnd());
    hidrawLink = &link;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
