// Measures, not tests: how long a converter takes from its creation in the kernel to the device
// screen, over uhid and over the gadget, with the search timer alone and with identification on
// plug; 20 plugs each, p50 and p95 printed. Runs with `scripts/test-kernel --bench` (which sets
// UPDATER_KERNEL_MEASURE), and skips otherwise and outside the test guest.
#include "ConverterDeviceProcess.h"
#include "KernelWindowSession.h"
#include "support/DiagnosticLog.h"

#include <algorithm>
#include <cstdio>
#include <gtest/gtest.h>

using Transport = ConverterDeviceProcess::Transport;

namespace {

constexpr int plugs = 20;

// The backend with the arrival news kept back: what the search timer alone achieves.
class TimerOnlyHidService : public HidrawHidService {
public:
    void setArrivalCallback(ArrivalCallback) override {}
};

// Notes when the first search tick after each plug begins, from its diagnostic line.
class FirstTickWatch {
public:
    explicit FirstTickWatch(std::optional<int64_t>& firstTickUs)
        : previous_(DiagnosticLog::setSink([&firstTickUs](const QString& line) {
              if (!firstTickUs && line.contains(QStringLiteral("][205][onSearchTimerTick]")))
                  firstTickUs = monotonicMicroseconds();
          })) {}
    ~FirstTickWatch() { DiagnosticLog::setSink(previous_); }
    FirstTickWatch(const FirstTickWatch&) = delete;
    FirstTickWatch& operator=(const FirstTickWatch&) = delete;

private:
    DiagnosticLog::Sink previous_;
};

double percentile(std::vector<double> values, double fraction) {
    std::sort(values.begin(), values.end());
    const auto index = static_cast<size_t>(fraction * static_cast<double>(values.size() - 1) + 0.5);
    return values.at(index);
}

} // namespace

class PlugLatencyKernelTest : public ::testing::TestWithParam<std::tuple<Transport, bool>> {
protected:
    void SetUp() override {
        if (qEnvironmentVariableIsEmpty("UPDATER_KERNEL_MEASURE"))
            GTEST_SKIP() << "a measurement: scripts/test-kernel --bench runs it";
        if (!ConverterDeviceProcess::available(std::get<0>(GetParam())))
            GTEST_SKIP() << "needs the test guest";
    }
};

TEST_P(PlugLatencyKernelTest, FromTheDevicesCreationToTheDeviceScreen) {
    const auto [transport, onPlug] = GetParam();
    TimerOnlyHidService timerOnly;
    HidrawHidService withArrivals;
    KernelWindowSession window(onPlug ? withArrivals : static_cast<HidrawHidService&>(timerOnly),
                               std::chrono::milliseconds{5000});
    // Where the time goes: until the search first looks, and from there to the device screen.
    std::optional<int64_t> firstTickUs;
    const FirstTickWatch watch(firstTickUs);
    std::vector<double> latenciesMs;
    std::vector<double> untilFirstTickMs;
    for (int plug = 0; plug < plugs && !::testing::Test::HasFailure(); ++plug) {
        ConverterDeviceProcess converter(transport);
        ASSERT_TRUE(converter.beginPlugIn()) << converter.error().toStdString();
        firstTickUs.reset();
        ASSERT_TRUE(window.waitForStatus(UIStatus::DEVICE_PLUG, std::chrono::seconds{30}));
        const int64_t createdAtUs = *converter.createdAtUs();
        latenciesMs.push_back((window.shownAtUs[UIStatus::DEVICE_PLUG] - createdAtUs) / 1000.0);
        untilFirstTickMs.push_back(firstTickUs ? (*firstTickUs - createdAtUs) / 1000.0
                                               : latenciesMs.back());
        ASSERT_TRUE(converter.finishPlugIn()) << converter.error().toStdString();
        ASSERT_TRUE(converter.unplug().has_value());
        ASSERT_TRUE(window.waitForStatus(UIStatus::NORMAL, std::chrono::seconds{30}));
    }
    std::printf("plug to DEVICE_PLUG over %s, %s, %zu plugs: p50 %.0f ms, p95 %.0f ms, max %.0f "
                "ms; until the first tick p50 %.0f ms, p95 %.0f ms\n",
                qPrintable(ConverterDeviceProcess::transportName(transport)),
                onPlug ? "identified on plug" : "timer alone", latenciesMs.size(),
                percentile(latenciesMs, 0.5), percentile(latenciesMs, 0.95),
                *std::max_element(latenciesMs.begin(), latenciesMs.end()),
                percentile(untilFirstTickMs, 0.5), percentile(untilFirstTickMs, 0.95));
    std::fflush(stdout);
}

INSTANTIATE_TEST_SUITE_P(
    Kernel, PlugLatencyKernelTest,
    ::testing::Combine(::testing::Values(Transport::Uhid, Transport::Gadget), ::testing::Bool()),
    [](const auto& info) {
        return ConverterDeviceProcess::transportName(std::get<0>(info.param)).toStdString() +
               (std::get<1>(info.param) ? "_on_plug" : "_timer_alone");
    });
