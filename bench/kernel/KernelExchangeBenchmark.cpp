// Request/reply exchanges per second with a converter served through the kernel (uhid and a USB
// gadget), through USBHidManager::sendAndReceiveReport on the hidraw backend, against the
// reference: a bare write/poll/read loop on the same hidraw node in the same run. The ratio of
// the two is what counts; the guest's emulated CPU makes the absolute numbers meaningless.
#include "ConverterDeviceProcess.h"

#include "device/HIDManagerDelegate.h"
#include "device/HidrawHidService.h"
#include "device/USBHidManager.h"

#include <QCoreApplication>
#include <QFile>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <map>
#include <memory>
#include <poll.h>
#include <string>
#include <tuple>
#include <unistd.h>
#include <vector>

using Transport = ConverterDeviceProcess::Transport;

// One converter at a time, attached for every benchmark of its transport: the backend finds it
// by identity, so a second one would be ambiguous.
static std::unique_ptr<ConverterDeviceProcess> converter;

static ConverterDeviceProcess* converterFor(Transport transport) {
    static Transport attached = Transport::Uhid;
    if (converter && attached != transport)
        converter.reset();
    if (!converter) {
        if (!ConverterDeviceProcess::available(transport))
            return nullptr;
        attached = transport;
        converter = std::make_unique<ConverterDeviceProcess>(transport);
        if (!converter->plugIn())
            std::fprintf(stderr, "converter-device: %s\n",
                         converter->error().toLocal8Bit().constData());
    }
    return converter->node().isEmpty() ? nullptr : converter.get();
}

// A synchronisation request: the cheapest request the converter answers, carrying packNo.
static QByteArray syncRequest(int64_t packNo) {
    QByteArray request(64, '\0');
    request[0] = static_cast<char>(0xA4);
    request[4] = static_cast<char>(packNo);
    request[8] = static_cast<char>(packNo);
    return request;
}

// Rates by transport, by kind (true: through the manager) and by round.
static std::map<std::tuple<Transport, bool, int>, double> exchangesPerSecond;

static void record(benchmark::State& state, Transport transport, bool throughManager, int round,
                   std::chrono::steady_clock::duration elapsed) {
    const double rate =
        static_cast<double>(state.iterations()) / std::chrono::duration<double>(elapsed).count();
    state.counters["exchanges_per_s"] = rate;
    exchangesPerSecond[{transport, throughManager, round}] = rate;
}

static void BM_BareWriteRead(benchmark::State& state, Transport transport, int round) {
    ConverterDeviceProcess* converter = converterFor(transport);
    if (!converter) {
        state.SkipWithError("no converter for this transport here");
        return;
    }
    const int fd = ::open(QFile::encodeName(converter->node()).constData(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        state.SkipWithError("cannot open the hidraw node");
        return;
    }
    int64_t packNo = 0;
    char frame[65] = {};
    char reply[64];
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        const QByteArray request = syncRequest(packNo);
        std::memcpy(frame + 1, request.constData(), 64);
        pollfd readable{fd, POLLIN, 0};
        if (::write(fd, frame, sizeof frame) != sizeof frame || ::poll(&readable, 1, 5000) != 1 ||
            ::read(fd, reply, sizeof reply) != sizeof reply ||
            reply[4] != static_cast<char>(packNo + 1)) {
            state.SkipWithError("exchange failed");
            break;
        }
        packNo = (packNo + 2) % 250;
    }
    record(state, transport, false, round, std::chrono::steady_clock::now() - start);
    ::close(fd);
}

class NoDelegate : public HIDManagerDelegate {
    void hidDeviceRemoved(const HidDeviceRef&) override {}
};

static void BM_SendAndReceiveReport(benchmark::State& state, Transport transport, int round) {
    ConverterDeviceProcess* converter = converterFor(transport);
    if (!converter) {
        state.SkipWithError("no converter for this transport here");
        return;
    }
    HidrawHidService service;
    const auto delegate = std::make_shared<NoDelegate>();
    USBHidManager manager(service, {{4617, 2}}, delegate);
    const std::vector<HidDeviceRef> devices = service.copyDevices();
    if (devices.size() != 1 || service.openDevice(devices.front()) != 0) {
        state.SkipWithError("the backend cannot open the converter");
        return;
    }
    manager.setupReportCallback(devices.front());
    int64_t packNo = 0;
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        if (!manager.sendAndReceiveReport(devices.front(), packNo, syncRequest(packNo))) {
            state.SkipWithError("exchange failed");
            break;
        }
        packNo %= 250;
    }
    record(state, transport, true, round, std::chrono::steady_clock::now() - start);
    service.closeDevice(devices.front());
}

// The emulated machine's speed drifts with the host's load, so the two loops take turns in short
// rounds of a fixed number of exchanges, and each round gives one ratio; the median of the rounds
// is the figure, with the quartiles beside it to show how far the host let the rounds scatter.
static constexpr int rounds = 41;
static constexpr int exchangesPerRound = 100;

static double quantile(std::vector<double> values, double q) {
    std::sort(values.begin(), values.end());
    return values[static_cast<size_t>(q * static_cast<double>(values.size() - 1) + 0.5)];
}

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    for (const Transport transport : {Transport::Uhid, Transport::Gadget}) {
        const std::string name = ConverterDeviceProcess::transportName(transport).toStdString();
        for (int round = 0; round < rounds; ++round) {
            benchmark::RegisterBenchmark(("BareWriteRead/" + name).c_str(), BM_BareWriteRead,
                                         transport, round)
                ->Iterations(exchangesPerRound)
                ->UseRealTime();
            benchmark::RegisterBenchmark(("SendAndReceiveReport/" + name).c_str(),
                                         BM_SendAndReceiveReport, transport, round)
                ->Iterations(exchangesPerRound)
                ->UseRealTime();
        }
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    converter.reset(); // unplugs while Qt is still up
    for (const Transport transport : {Transport::Uhid, Transport::Gadget}) {
        std::vector<double> bare, managed, ratios;
        for (int round = 0; round < rounds; ++round) {
            const auto b = exchangesPerSecond.find({transport, false, round});
            const auto m = exchangesPerSecond.find({transport, true, round});
            if (b == exchangesPerSecond.end() || m == exchangesPerSecond.end())
                continue;
            bare.push_back(b->second);
            managed.push_back(m->second);
            ratios.push_back(m->second / b->second);
        }
        if (!ratios.empty())
            std::printf("ratio %s: sendAndReceiveReport %.0f/s vs bare write/read %.0f/s (medians "
                        "of %zu rounds); ratio median %.3f, quartiles %.3f-%.3f\n",
                        ConverterDeviceProcess::transportName(transport).toLocal8Bit().constData(),
                        quantile(managed, 0.5), quantile(bare, 0.5), ratios.size(),
                        quantile(ratios, 0.5), quantile(ratios, 0.25), quantile(ratios, 0.75));
    }
    benchmark::Shutdown();
    return 0;
}
