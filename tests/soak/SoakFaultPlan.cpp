#include "SoakFaultPlan.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>

const QString soakVersion = QStringLiteral("V9.9.9.9");

static QString soakFaultName(SoakFault fault) {
    static const QStringList names =
        QStringLiteral("none|no reply|wrong packet number|wrong packet checksum|wrong final "
                       "checksum|unplugging|refusing to open|failed write|delays|late replies|"
                       "slow reply")
            .split(u'|');
    return names.value(static_cast<int>(fault));
}

unsigned soakSetting(const char* name, unsigned fallback) {
    bool ok = false;
    const unsigned number = qgetenv(name).toUInt(&ok);
    return ok ? number : fallback;
}

void SoakTally::count(SoakFault fault, bool finished) {
    Row& row = rows_[static_cast<size_t>(fault)];
    ++row.runs;
    row.finished += finished ? 1 : 0;
}

void SoakTally::note(SoakFault fault, double milliseconds) {
    rows_[static_cast<size_t>(fault)].notes << QString::number(milliseconds, 'f', 0);
}

void SoakTally::print(const QString& title) const {
    std::printf("%s\n%-22s %6s %18s %18s\n", qPrintable(title), "fault", "runs",
                "UPGRADE_FW_FINISH", "UPGRADE_FW_FAILED");
    for (size_t i = 0; i < rows_.size(); ++i) {
        const Row& row = rows_[i];
        if (row.runs > 0) // a fault this soak draws
            std::printf("%-22s %6d %18d %18d  %s\n",
                        qPrintable(soakFaultName(static_cast<SoakFault>(i))), row.runs,
                        row.finished, row.runs - row.finished, qPrintable(row.notes.join(u' ')));
    }
    std::fflush(stdout);
}

QString SoakRun::description(unsigned index, unsigned seed) const {
    return QString::asprintf("run %u: %s at packet %d of %d, image %lld bytes, seed %u", index,
                             qPrintable(soakFaultName(fault)), packet,
                             SoakFaultPlan::dataPacketsFor(image.size()),
                             static_cast<long long>(image.size()), seed);
}

bool SoakRun::expectOutcome(const std::vector<UIStatus>& statuses, bool imageHeld,
                            const std::vector<Alert>& alerts, bool outcomeOpen) const {
    const bool finished = !statuses.empty() && statuses.back() == UIStatus::UPGRADE_FW_FINISH;
    EXPECT_EQ(statuses, (std::vector<UIStatus>{UIStatus::UPGRADE_FW,
                                               finished ? UIStatus::UPGRADE_FW_FINISH
                                                        : UIStatus::UPGRADE_FW_FAILED}));
    EXPECT_TRUE(outcomeOpen || finished == expectSuccess) << "finished: " << finished;
    EXPECT_TRUE(!finished || (imageHeld && !converterFaults.wrongFinalChecksum));
    QStringList texts;
    for (const Alert& alert : alerts)
        texts << alert.informativeText;
    const bool expected =
        expectedAlert ? texts.size() == 1 && texts[0].startsWith(*expectedAlert) : texts.isEmpty();
    EXPECT_TRUE(expected) << texts.join(u'|').toStdString();
    return finished;
}

SoakFaultPlan::SoakFaultPlan(unsigned seed, std::chrono::milliseconds deadline,
                             std::vector<SoakFault> faults)
    : random_(seed), deadline_(deadline), faults_(std::move(faults)) {}

std::vector<SoakFault> SoakFaultPlan::simulatedFaults() {
    std::vector<SoakFault> faults; // all but SlowReply, the last
    for (int fault = 0; fault < soakFaultCount - 1; ++fault)
        faults.push_back(static_cast<SoakFault>(fault));
    return faults;
}

int SoakFaultPlan::dataPacketsFor(qsizetype imageLength) {
    const qsizetype rest =
        std::max<qsizetype>(imageLength - VirtualConverter::firstPacketPayload, 0);
    return 1 + static_cast<int>((rest + VirtualConverter::continuationPayload - 1) /
                                VirtualConverter::continuationPayload);
}

int SoakFaultPlan::uniform(int low, int high) {
    return std::uniform_int_distribution<int>(low, high)(random_);
}

QByteArray SoakFaultPlan::randomImage() {
    // The sizes where the packet layout changes, and otherwise anything up to about 100 packets.
    static const std::array<int, 8> edges{1, 47, 48, 49, 104, 105, 160, 161};
    const int length =
        uniform(0, 3) == 0 ? edges[static_cast<size_t>(uniform(0, 7))] : uniform(1, 6000);
    QByteArray image(length, Qt::Uninitialized);
    for (char& byte : image)
        byte = static_cast<char>(uniform(0, 255));
    return image;
}

SoakRun SoakFaultPlan::next() {
    SoakRun run;
    run.image = randomImage();
    run.fault = faults_[static_cast<size_t>(uniform(0, static_cast<int>(faults_.size()) - 1))];
    const int packets = dataPacketsFor(run.image.size());
    const int last = packets - 1;
    run.expectSuccess = run.fault == SoakFault::None || run.fault == SoakFault::Delay ||
                        run.fault == SoakFault::SlowReply;

    switch (run.fault) {
    case SoakFault::None:
        break;
    case SoakFault::RefuseOpen:
        run.deviceFaults.openError = -EACCES;
        break;
    case SoakFault::NoReply:
        run.packet = uniform(-1, last);
        run.converterFaults.noReplyFromPackNo = packNoOfDataPacket(run.packet);
        break;
    case SoakFault::WrongPackNo:
        run.packet = uniform(-1, last);
        run.converterFaults.wrongPackNoAtPackNo = packNoOfDataPacket(run.packet);
        break;
    case SoakFault::WrongPacketChecksum:
        // The last packet's own sum is not examined (its reply carries the final checksum).
        run.packet = uniform(0, last);
        run.converterFaults.wrongChecksumAtPackNo = packNoOfDataPacket(run.packet);
        run.expectSuccess = run.packet == last;
        if (!run.expectSuccess)
            run.expectedAlert = QStringLiteral("Checksum is wrong.");
        break;
    case SoakFault::WrongFinalChecksum:
        run.packet = last;
        run.converterFaults.wrongFinalChecksum = true;
        run.expectedAlert = QStringLiteral("Final Checksum: ");
        break;
    case SoakFault::Unplug:
        // Gone after answering packet `packet` (after the last, only the end command is lost)
        // or while it waits for its reply.
        run.packet = uniform(0, last);
        if (uniform(0, 1) == 0) {
            run.deviceFaults.unplugAfterDataPackets = run.packet + 1;
            run.expectSuccess = run.packet == last;
        } else {
            run.deviceFaults.unplugAwaitingDataPacket = run.packet + 1;
        }
        break;
    case SoakFault::FailedWrite: {
        // The synchronisation, every data packet, the end command (failing it loses only that).
        const int write = uniform(0, packets + 1);
        run.packet = write - 1;
        run.deviceFaults.writeError = -EIO;
        // The search's synchronisation and identification were written before the update.
        run.deviceFaults.writesBeforeWriteError = 2 + write;
        run.expectSuccess = write == packets + 1;
        break;
    }
    case SoakFault::Delay:
        run.deviceFaults.replyDelay = std::chrono::milliseconds(uniform(1, 3));
        break;
    case SoakFault::LateReply:
        run.deviceFaults.replyDelay = deadline_ * 2;
        break;
    case SoakFault::SlowReply:
        run.packet = uniform(-1, last);
        run.deviceFaults.replyDelay = deadline_ * 2 / 3;
        run.replyDelayAtPackNo = packNoOfDataPacket(run.packet);
        break;
    }
    return run;
}
