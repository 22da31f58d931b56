// What a download costs while it waits, against the blocking wait it replaced, both on a real
// curl and a real FTP server on loopback.
//
// Run: build/default/bin/ftp_download_bench
// "core_percent": the CPU share of this process while curl waits 10 s for a server that never
// answers; goal < 1. "peak_rss_growth_mib": how far the process's peak resident memory rose while
// a 64 MiB version list was refused at the 1 MiB limit; the reference reads the list whole as the
// blocking version did. The memory benchmarks run after each other in one process, the bounded one
// first, since a peak never goes down.

#include "firmware/FtpDownloader.h"
#include "support/LoopbackFtpServer.h"

#include <QCoreApplication>
#include <QProcess>
#include <benchmark/benchmark.h>
#include <ctime>
#include <functional>
#include <sys/resource.h>

namespace {
constexpr qsizetype listLimit = qsizetype{1} << 20;

double seconds(clockid_t clock) {
    timespec now{};
    clock_gettime(clock, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

double peakResidentMiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024;
}

// The download as it was: curl's output collected by a wait that blocks the thread.
QByteArray blockingCurl(const QString& host, const QString& path, double timeout) {
    QProcess curl;
    curl.setProcessChannelMode(QProcess::MergedChannels);
    curl.start(QStringLiteral("/usr/bin/curl"),
               {QStringLiteral("-m"), FtpDownloader::timeoutArgument(timeout), QStringLiteral("-s"),
                QStringLiteral("ftp://%1/%2").arg(host, path)});
    curl.waitForFinished(-1);
    return curl.readAll();
}

void measureSilentWait(benchmark::State& state, const std::function<void(const QString&)>& wait) {
    LoopbackFtpServer silent(LoopbackFtpServer::Behaviour::Silent);
    if (!silent.start()) {
        state.SkipWithError("the server did not come up");
        return;
    }
    double cpu = 0, wall = 0;
    for (auto _ : state) {
        const double cpuStart = seconds(CLOCK_PROCESS_CPUTIME_ID);
        const double wallStart = seconds(CLOCK_MONOTONIC);
        wait(silent.host());
        cpu += seconds(CLOCK_PROCESS_CPUTIME_ID) - cpuStart;
        wall += seconds(CLOCK_MONOTONIC) - wallStart;
    }
    state.counters["cpu_ms"] = cpu * 1000 / static_cast<double>(state.iterations());
    state.counters["core_percent"] = 100 * cpu / wall;
}

void BM_SilentServerWait(benchmark::State& state) {
    measureSilentWait(state, [&](const QString& host) {
        FtpDownloader downloader(host);
        if (downloader.curlDownload(QStringLiteral("fw.hex"), 10.0, listLimit))
            state.SkipWithError("a silent server sent a file");
    });
}

void BM_SilentServerBlockingReference(benchmark::State& state) {
    measureSilentWait(state, [](const QString& host) {
        benchmark::DoNotOptimize(blockingCurl(host, QStringLiteral("fw.hex"), 10.0));
    });
}

void measureOverlongList(benchmark::State& state,
                         const std::function<void(const QString&)>& download) {
    LoopbackFtpServer server;
    if (!server.start() || !server.addZeroFile(QStringLiteral("list.txt"), qint64{64} << 20)) {
        state.SkipWithError("the server did not come up");
        return;
    }
    const double before = peakResidentMiB();
    for (auto _ : state)
        download(server.host());
    state.counters["peak_rss_growth_mib"] = peakResidentMiB() - before;
}

void BM_OverlongListBounded(benchmark::State& state) {
    measureOverlongList(state, [&](const QString& host) {
        FtpDownloader downloader(host);
        if (downloader.curlDownload(QStringLiteral("list.txt"), 10.0, listLimit))
            state.SkipWithError("an overlong list was taken");
    });
}

void BM_OverlongListWholeReference(benchmark::State& state) {
    measureOverlongList(state, [](const QString& host) {
        benchmark::DoNotOptimize(blockingCurl(host, QStringLiteral("list.txt"), 10.0));
    });
}

BENCHMARK(BM_SilentServerWait)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SilentServerBlockingReference)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_OverlongListBounded)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_OverlongListWholeReference)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv); // the event loop the download waits on
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
