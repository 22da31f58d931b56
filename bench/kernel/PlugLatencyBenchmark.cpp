// How long a converter takes from its creation in the kernel to the device screen, over uhid and
// over the gadget, with the search timer alone and with identification on plug; 20 plugs each,
// p50 and p95 printed. Runs in the test guest (scripts/test-kernel --bench); a transport the
// machine lacks is skipped.
#include "ConverterDeviceProcess.h"
#include "KernelWindowSession.h"
#include "ScopedDiagnosticCapture.h"

#include <QApplication>
#include <algorithm>
#include <cstdio>

using Transport = ConverterDeviceProcess::Transport;

namespace {

constexpr int plugs = 20;

// The backend with the arrival news kept back: what the search timer alone achieves.
class TimerOnlyHidService : public HidrawHidService {
public:
    void setArrivalCallback(DeviceCallback) override {}
};

// Notes when the first search tick after each plug begins, from its diagnostic line.
class FirstTickWatch {
public:
    explicit FirstTickWatch(std::optional<int64_t>& firstTickUs)
        : capture_([&firstTickUs](const QString& line) {
              if (!firstTickUs && line.contains(QStringLiteral("][205][onSearchTimerTick]")))
                  firstTickUs = monotonicMicroseconds();
          }) {}

private:
    ScopedDiagnosticCapture capture_;
};

double percentile(std::vector<double> values, double fraction) {
    std::sort(values.begin(), values.end());
    const auto index = static_cast<size_t>(fraction * static_cast<double>(values.size() - 1) + 0.5);
    return values.at(index);
}

// Plugs and unplugs a converter `plugs` times; false, with `error` set, when one did not come
// up or was not identified.
bool measure(Transport transport, bool onPlug, QString& error) {
    TimerOnlyHidService timerOnly;
    HidrawHidService withArrivals;
    KernelWindowSession window(onPlug ? withArrivals : static_cast<HidrawHidService&>(timerOnly),
                               std::chrono::milliseconds{5000});
    // Where the time goes: until the search first looks, and from there to the device screen.
    std::optional<int64_t> firstTickUs;
    const FirstTickWatch watch(firstTickUs);
    std::vector<double> latenciesMs;
    std::vector<double> untilFirstTickMs;
    for (int plug = 0; plug < plugs; ++plug) {
        ConverterDeviceProcess converter(transport);
        firstTickUs.reset();
        if (!converter.beginPlugIn() ||
            !window.waitForStatus(UIStatus::DEVICE_PLUG, std::chrono::seconds{30})) {
            error =
                converter.error().isEmpty() ? QStringLiteral("not identified") : converter.error();
            return false;
        }
        const int64_t createdAtUs = *converter.createdAtUs();
        latenciesMs.push_back((window.shownAtUs[UIStatus::DEVICE_PLUG] - createdAtUs) / 1000.0);
        untilFirstTickMs.push_back(firstTickUs ? (*firstTickUs - createdAtUs) / 1000.0
                                               : latenciesMs.back());
        if (!converter.finishPlugIn() || !converter.unplug() ||
            !window.waitForStatus(UIStatus::NORMAL, std::chrono::seconds{30})) {
            error = QStringLiteral("unplug: ") + converter.error();
            return false;
        }
    }
    std::printf("plug to DEVICE_PLUG over %s, %s, %zu plugs: p50 %.0f ms, p95 %.0f ms, max %.0f "
                "ms; until the first tick p50 %.0f ms, p95 %.0f ms\n",
                qPrintable(ConverterDeviceProcess::transportName(transport)),
                onPlug ? "identified on plug" : "timer alone", latenciesMs.size(),
                percentile(latenciesMs, 0.5), percentile(latenciesMs, 0.95),
                *std::max_element(latenciesMs.begin(), latenciesMs.end()),
                percentile(untilFirstTickMs, 0.5), percentile(untilFirstTickMs, 0.95));
    std::fflush(stdout);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    int status = 0;
    for (const Transport transport : {Transport::Uhid, Transport::Gadget}) {
        if (!ConverterDeviceProcess::available(transport)) {
            std::printf("%s: not here, skipped\n",
                        qPrintable(ConverterDeviceProcess::transportName(transport)));
            continue;
        }
        for (const bool onPlug : {false, true}) {
            QString error;
            if (!measure(transport, onPlug, error)) {
                std::fprintf(stderr, "%s: %s\n",
                             qPrintable(ConverterDeviceProcess::transportName(transport)),
                             qPrintable(error));
                status = 1;
            }
        }
    }
    return status;
}
