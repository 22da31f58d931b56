// Decoding the largest image the converter takes (1 834 944 bytes, about 5 MB of HEX text) beside
// binutils' objcopy converting the same file, both timed in this run. objcopy is the tool a
// developer would otherwise use; the updater should not be the slow step when it reads a release.
//
// Before timing, the image (gap-free, so objcopy's output carries no fill) is decoded by both and
// the bytes must equal each other and the generated data.

#include <benchmark/benchmark.h>

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <cstdio>
#include <map>
#include <random>
#include <spawn.h>
#include <string>
#include <sys/wait.h>

#include "firmware/HexImageDecoder.h"

extern char** environ;

static constexpr qsizetype imageSize = 1834944;
static constexpr int recordBytes = 16;

struct BenchFiles {
    QTemporaryDir dir;
    QString hexPath = dir.filePath("image.hex");
    QString objcopyOutput = dir.filePath("objcopy.bin");
    QByteArray image;
};

static BenchFiles& files() {
    static BenchFiles instance;
    return instance;
}

static void appendRecord(QByteArray& text, int type, int address, const char* data, int size) {
    QByteArray body;
    body.append(char(size))
        .append(char(address >> 8))
        .append(char(address & 0xFF))
        .append(char(type));
    body.append(data, size);
    unsigned sum = 0;
    for (char byte : body)
        sum += static_cast<unsigned char>(byte);
    body.append(char(-sum & 0xFF));
    text.append(':').append(body.toHex().toUpper()).append("\r\n");
}

// Flash at 0x08000000 like the converter's, one extended linear address record per 64 KiB.
static QByteArray hexTextFor(const QByteArray& image) {
    QByteArray text;
    text.reserve(image.size() * 3);
    for (qsizetype offset = 0; offset < image.size(); offset += recordBytes) {
        const qsizetype address = 0x08000000 + offset;
        if (offset == 0 || (address & 0xFFFF) == 0) {
            const char upper[2] = {char(address >> 24), char((address >> 16) & 0xFF)};
            appendRecord(text, 0x04, 0, upper, 2);
        }
        appendRecord(text, 0x00, int(address & 0xFFFF), image.constData() + offset,
                     int(qMin<qsizetype>(recordBytes, image.size() - offset)));
    }
    appendRecord(text, 0x01, 0, nullptr, 0);
    return text;
}

static bool runObjcopy(const BenchFiles& f) {
    const std::string input = f.hexPath.toStdString();
    const std::string output = f.objcopyOutput.toStdString();
    const char* argv[] = {"objcopy", "-I",          "ihex",         "-O",
                          "binary",  input.c_str(), output.c_str(), nullptr};
    pid_t pid = 0;
    if (posix_spawnp(&pid, "objcopy", nullptr, nullptr, const_cast<char**>(argv), environ) != 0)
        return false;
    int status = 0;
    return waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

static QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

static bool prepare() {
    BenchFiles& f = files();
    std::mt19937 random(20240611);
    f.image.resize(imageSize);
    for (char& byte : f.image)
        byte = static_cast<char>(random() & 0xFF);
    QFile hex(f.hexPath);
    if (!hex.open(QIODevice::WriteOnly) || hex.write(hexTextFor(f.image)) < 0)
        return false;
    hex.close();

    const QByteArray decoded =
        HexImageDecoder::decodeHexImage(QString::fromUtf8(readFile(f.hexPath)));
    if (!runObjcopy(f)) {
        std::fprintf(stderr, "objcopy failed\n");
        return false;
    }
    const QByteArray reference = readFile(f.objcopyOutput);
    std::printf("HEX text: %lld bytes; image: %lld bytes; objcopy output: %lld bytes; %s\n",
                static_cast<long long>(hex.size()), static_cast<long long>(decoded.size()),
                static_cast<long long>(reference.size()),
                decoded == reference && decoded == f.image ? "identical" : "DIFFERENT");
    return decoded == reference && decoded == f.image;
}

// What the updater does with a release file: read it, decode UTF-8, decode the records.
static void BM_DecodeHexFile(benchmark::State& state) {
    const BenchFiles& f = files();
    for (auto _ : state) {
        const QByteArray image =
            HexImageDecoder::decodeHexImage(QString::fromUtf8(readFile(f.hexPath)));
        benchmark::DoNotOptimize(image.constData());
    }
    state.SetBytesProcessed(state.iterations() * QFile(f.hexPath).size());
}
BENCHMARK(BM_DecodeHexFile)->Unit(benchmark::kMillisecond)->UseRealTime();

// The records alone, text already in memory.
static void BM_DecodeHexText(benchmark::State& state) {
    const QString text = QString::fromUtf8(readFile(files().hexPath));
    for (auto _ : state) {
        const QByteArray image = HexImageDecoder::decodeHexImage(text);
        benchmark::DoNotOptimize(image.constData());
    }
    state.SetBytesProcessed(state.iterations() * text.size());
}
BENCHMARK(BM_DecodeHexText)->Unit(benchmark::kMillisecond)->UseRealTime();

static void BM_Objcopy(benchmark::State& state) {
    const BenchFiles& f = files();
    for (auto _ : state) {
        if (!runObjcopy(f))
            state.SkipWithError("objcopy failed");
    }
    state.SetBytesProcessed(state.iterations() * QFile(f.hexPath).size());
}
BENCHMARK(BM_Objcopy)->Unit(benchmark::kMillisecond)->UseRealTime();

// Prints the runs as usual and keeps the mean wall time of each, for the ratio at the end.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Iteration && run.iterations > 0)
                seconds[run.benchmark_name()] = run.real_accumulated_time / run.iterations;
        }
    }
    std::map<std::string, double> seconds;
};

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (!prepare())
        return 1;
    std::fflush(stdout);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const auto objcopy = reporter.seconds.find("BM_Objcopy/real_time");
    for (const char* ours : {"BM_DecodeHexFile/real_time", "BM_DecodeHexText/real_time"}) {
        const auto found = reporter.seconds.find(ours);
        if (found != reporter.seconds.end() && objcopy != reporter.seconds.end())
            std::printf("throughput %s vs objcopy: %.2fx\n", ours, objcopy->second / found->second);
    }
    std::fflush(stdout);
    benchmark::Shutdown();
    return 0;
}
