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
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <map>
#include <memory>
#include <poll.h>
#include <unistd.h>

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

static std::map<std::pair<Transport, bool>, double> exchangesPerSecond;

static void record(benchmark::State& state, Transport transport, bool throughManager,
                   std::chrono::steady_clock::duration elapsed) {
    const double rate =
        static_cast<double>(state.iterations()) / std::chrono::duration<double>(elapsed).count();
    state.counters["exchanges_per_s"] = rate;
    exchangesPerSecond[{transport, throughManager}] = rate;
}

static void BM_BareWriteRead(benchmark::State& state, Transport transport) {
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
    record(state, transport, false, std::chrono::steady_clock::now() - start);
    ::close(fd);
}

class NoDelegate : public HIDManagerDelegate {
    void hidDeviceRemoved(const HidDeviceRef&) override {}
};

static void BM_SendAndReceiveReport(benchmark::State& state, Transport transport) {
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
    record(state, transport, true, std::chrono::steady_clock::now() - start);
    service.closeDevice(devices.front());
}

BENCHMARK_CAPTURE(BM_BareWriteRead, uhid, Transport::Uhid)->MinTime(3.0)->UseRealTime();
BENCHMARK_CAPTURE(BM_SendAndReceiveReport, uhid, Transport::Uhid)->MinTime(3.0)->UseRealTime();
BENCHMARK_CAPTURE(BM_BareWriteRead, gadget, Transport::Gadget)->MinTime(3.0)->UseRealTime();
BENCHMARK_CAPTURE(BM_SendAndReceiveReport, gadget, Transport::Gadget)->MinTime(3.0)->UseRealTime();

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    converter.reset(); // unplugs while Qt is still up
    for (const Transport transport : {Transport::Uhid, Transport::Gadget}) {
        const auto bare = exchangesPerSecond.find({transport, false});
        const auto managed = exchangesPerSecond.find({transport, true});
        if (bare != exchangesPerSecond.end() && managed != exchangesPerSecond.end())
            std::printf("ratio %s: sendAndReceiveReport %.0f/s vs bare write/read %.0f/s = %.3f\n",
                        ConverterDeviceProcess::transportName(transport).toLocal8Bit().constData(),
                        managed->second, bare->second, managed->second / bare->second);
    }
    benchmark::Shutdown();
    return 0;
}
