#pragma once

#include <array>
#include <random>
#include <vector>

#include "app/WindowHarness.h"
#include "core/UIStatus.h"
#include "sim/SimulatedDeviceFaults.h"

// What can go wrong with the converter during one update, each at a random point of the transfer.
enum class SoakFault {
    None,
    NoReply,             // silent from one packet on
    WrongPackNo,         // one reply carries the request's own number
    WrongPacketChecksum, // one reply's per-packet sum is off
    WrongFinalChecksum,  // the device's sum of the whole image is off
    Unplug,              // the device goes away after some data packets
    RefuseOpen,          // opening the device fails (permission denied)
    FailedWrite,         // a write fails with an I/O error
    Delay,               // every reply comes a few milliseconds late, well within the deadline
    LateReply,           // the replies come after the deadline
    SlowReply,           // one reply comes at about two thirds of the deadline: late but in time
};
inline constexpr int soakFaultCount = 11;

// The version every soak release carries.
extern const QString soakVersion;
// Makes `image`, with its own 16-bit sum, the release `soakVersion` of the first test product.
inline void writeSoakRelease(TestResources& resources, const QByteArray& image) {
    resources.addRelease(soakVersion, image, VirtualConverter::checksum16(image));
}

// The test configuration with a soak release on offer, written before a program reads it.
struct SoakReleaseResources : TestResources {
    SoakReleaseResources() {
        writeConfig(TestConfig{});
        writeSoakRelease(*this, QByteArray(1, '\0'));
    }
};

// One planned update: the image, the fault and where it strikes, and the outcome it must have.
struct SoakRun {
    QByteArray image;
    SoakFault fault = SoakFault::None;
    // The data packet (0-based) the fault strikes; -1 is the synchronisation before the first.
    int packet = -1;
    VirtualConverter::Faults converterFaults;
    SimulatedDeviceFaults deviceFaults;        // applied once the device has been identified
    std::optional<int64_t> replyDelayAtPackNo; // the delay holds only for this reply
    bool expectSuccess = true;
    std::optional<QString> expectedAlert; // the start of its informative text

    // What a failure message says of the run, so that it can be replayed.
    QString description(unsigned index, unsigned seed) const;
    // Checks the statuses since START, that a success is a true one, the alerts, and (unless
    // `outcomeOpen`) the outcome itself; returns whether the update finished.
    bool expectOutcome(const std::vector<UIStatus>& statuses, bool imageHeld,
                       const std::vector<Alert>& alerts, bool outcomeOpen = false) const;
};

// A soak's setting from the environment (UPDATER_SOAK_RUNS, ...), or `fallback`.
unsigned soakSetting(const char* name, unsigned fallback);

// How the runs of each fault ended, printed as a table at the end of a soak.
class SoakTally {
public:
    void count(SoakFault fault, bool finished);
    // A figure of one run (e.g. unplug to failed screen in ms), listed in its fault's row.
    void note(SoakFault fault, double milliseconds);
    void print(const QString& title) const;

private:
    struct Row {
        int runs = 0;
        int finished = 0;
        QStringList notes;
    };
    std::array<Row, soakFaultCount> rows_{};
};

// Draws runs from a seeded generator, so that a failing run can be replayed by its seed.
class SoakFaultPlan {
public:
    // `faults`: drawn with equal odds (by default all the simulator plays).
    SoakFaultPlan(unsigned seed, std::chrono::milliseconds deadline,
                  std::vector<SoakFault> faults = simulatedFaults());
    static std::vector<SoakFault> simulatedFaults();

    SoakRun next();

    static int dataPacketsFor(qsizetype imageLength);
    // The packet number a data packet carries: the synchronisation takes 0 and 1.
    static int64_t packNoOfDataPacket(int packet) { return 2 + 2 * int64_t{packet}; }

private:
    QByteArray randomImage();
    int uniform(int low, int high);

    std::mt19937 random_;
    std::chrono::milliseconds deadline_;
    std::vector<SoakFault> faults_;
};
