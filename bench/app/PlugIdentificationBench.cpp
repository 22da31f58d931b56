// How long a virtual converter takes from its plug-in to being identified, on the simulated HID
// service, with the identification started by the arrival news in both front ends:
//   BM_CliWaitIdentifies       velmar-converter-cli's `update --wait`: the session waits for the
//                              plug, then identifies the converter and announces it
//   BM_WindowIdentifiesOnPlug  the window: the search on plug, up to the device screen
// Each iteration plugs the converter in from the event loop and pulls it out again afterwards; the
// time runs from the plug-in to the announcement. The last line divides the two medians.
//
// Run: QT_QPA_PLATFORM=offscreen build/default/bin/plug_identification_bench
//      [--benchmark_repetitions=5]

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QEventLoop>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <map>

#include "app/MainApplication.h"
#include "cli/CliSession.h"
#include "cli/TextReport.h"
#include "sim/SimulatedHidService.h"
#include "support/ResourceDirectory.h"

namespace {

using Clock = std::chrono::steady_clock;

// The command line's words, dropped; only the moment of the announcement is kept.
class IdentifiedStopwatch : public TextReport {
public:
    explicit IdentifiedStopwatch(FILE* nowhere) : TextReport({nowhere, nowhere}) {}
    void identified(const Converter&) override { at = Clock::now(); }
    Clock::time_point at;
};

class NoAlerts : public AlertPresenter {
public:
    void runModal(const Alert&) override {}
};

// Plugs `converter` in from the event loop and notes when.
void plugSoon(SimulatedHidService& service, const std::shared_ptr<VirtualConverter>& converter,
              Clock::time_point& at) {
    QTimer::singleShot(0, [&service, converter, &at] {
        at = Clock::now();
        service.plugIn(converter);
    });
}

void BM_CliWaitIdentifies(benchmark::State& state) {
    FILE* nowhere = std::fopen("/dev/null", "w");
    SimulatedHidService service;
    IdentifiedStopwatch report(nowhere);
    CliSession::Environment environment;
    environment.resourceDirectory = ResourceDirectory::path();
    CliSession session(service, environment, report);
    const auto converter = std::make_shared<VirtualConverter>();
    for (auto _ : state) {
        Clock::time_point plugged;
        plugSoon(service, converter, plugged);
        ExitCode failure = ExitCode::Success;
        const std::optional<ConverterIdentity> identity =
            session.chooseConverter(std::nullopt, 0, failure);
        if (!identity) {
            state.SkipWithError("not identified");
            break;
        }
        state.SetIterationTime(std::chrono::duration<double>(report.at - plugged).count());
        service.unplug(identity->device);
    }
    std::fclose(nowhere);
}

void BM_WindowIdentifiesOnPlug(benchmark::State& state) {
    SimulatedHidService service;
    NoAlerts alerts;
    MainApplication::Options options;
    options.resourceDirectory = ResourceDirectory::path();
    options.executablePath = "velmar-converter-update";
    options.alerts = &alerts;
    options.terminate = [] {};
    MainApplication program(service, options);
    program.start();
    QEventLoop loop;
    Clock::time_point shown;
    std::optional<UIStatus> awaited;
    const Cancellable watch =
        program.viewController().mainVM.CurrentUIStatus.subscribe([&](const UIStatus& status) {
            if (status != awaited)
                return;
            shown = Clock::now();
            QTimer::singleShot(0, &loop, &QEventLoop::quit);
        });
    const auto converter = std::make_shared<VirtualConverter>();
    for (auto _ : state) {
        Clock::time_point plugged;
        plugSoon(service, converter, plugged);
        awaited = UIStatus::DEVICE_PLUG;
        loop.exec();
        state.SetIterationTime(std::chrono::duration<double>(shown - plugged).count());
        // Back to the search before the next plug, as after a real unplug.
        awaited = UIStatus::NORMAL;
        service.unplug(service.copyDevices().front());
        loop.exec();
    }
}

BENCHMARK(BM_CliWaitIdentifies)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_WindowIdentifiesOnPlug)->UseManualTime()->Unit(benchmark::kMicrosecond);

// Keeps each benchmark's time per iteration (the median when repeated).
class Recorder : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if (!run.error_occurred && (median || run.run_type == Run::RT_Iteration))
                seconds[run.run_name.function_name] = run.GetAdjustedRealTime();
        }
    }
    std::map<std::string, double> seconds;
};

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    Recorder recorder;
    benchmark::RunSpecifiedBenchmarks(&recorder);
    benchmark::Shutdown();
    const double cli = recorder.seconds["BM_CliWaitIdentifies"];
    const double window = recorder.seconds["BM_WindowIdentifiesOnPlug"];
    if (cli > 0 && window > 0)
        std::printf("plug to identified: command line %.0f us, window %.0f us, ratio %.3f\n", cli,
                    window, cli / window);
    return 0;
}
