#include "ConverterDeviceServer.h"

#include "GadgetEndpoint.h"
#include "HidrawNodeLocator.h"
#include "UhidEndpoint.h"
#include "firmware/HexImageDecoder.h"

#include <QFile>
#include <QSaveFile>
#include <QThread>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <poll.h>
#include <sys/signalfd.h>
#include <unistd.h>

// How long the host may take to pick up one reply before the device drops it.
static constexpr int replyHandOverMs = 5000;

static void say(const QString& line) {
    std::fprintf(stdout, "%s\n", line.toLocal8Bit().constData());
    std::fflush(stdout);
}

// The clock the tests read too (CLOCK_MONOTONIC), so that both sides' moments compare.
static QString monotonicMicroseconds() {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return QString::number(int64_t{now.tv_sec} * 1000000 + now.tv_nsec / 1000);
}

ConverterDeviceServer::ConverterDeviceServer(ConverterDeviceOptions options)
    : options_(std::move(options)), converter_(options_.firmware) {
    converter_.setFaults(options_.faults);
    QFile release(options_.releaseHexFile);
    if (!options_.releaseHexFile.isEmpty() && release.open(QIODevice::ReadOnly))
        converter_.setImageVersion(
            HexImageDecoder::decodeHexImage(QString::fromLatin1(release.readAll())),
            options_.releaseVersion);
}

int ConverterDeviceServer::run() {
    // Signals arrive through a descriptor, so the loop below sees them between two reports and
    // never tears the device down in the middle of one.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    sigprocmask(SIG_BLOCK, &stopSignals, nullptr);
    const int stopSignalFd = signalfd(-1, &stopSignals, SFD_CLOEXEC);

    QString error;
    std::unique_ptr<KernelHidEndpoint> endpoint;
    if (options_.transport == ConverterDeviceOptions::Transport::Uhid)
        endpoint = UhidEndpoint::create(options_.usbIdentity, &error);
    else
        endpoint = GadgetEndpoint::create(options_.usbIdentity, &error);
    if (!endpoint) {
        say(QStringLiteral("error %1").arg(error));
        return 1;
    }
    say(QStringLiteral("created at-us=%1").arg(monotonicMicroseconds()));

    // uhid creates the node only after the device was started, which happens while the loop
    // below answers the kernel's events, so the node is looked for between events.
    bool announced = false;
    int status = 0;
    bool running = true;
    bool commandsOpen = true;
    while (running) {
        // Checked between events, never waited for: a device answers as soon as the host writes,
        // whatever udev is still doing with its node.
        if (!announced) {
            if (const auto settled = HidrawNodeLocator::waitForNode(options_.usbIdentity, 0)) {
                writeReadyFile(*settled);
                say(QStringLiteral("ready %1").arg(*settled));
                announced = true;
            }
        }
        pollfd fds[3] = {{endpoint->descriptor(), POLLIN, 0},
                         {stopSignalFd, POLLIN, 0},
                         {commandsOpen ? STDIN_FILENO : -1, POLLIN, 0}};
        const int ready = ::poll(fds, 3, announced ? -1 : 10);
        if (ready < 0 && errno != EINTR) {
            say(QStringLiteral("error poll failed"));
            status = 1;
            break;
        }
        if (fds[1].revents & POLLIN) {
            drainPendingReports(*endpoint);
            break;
        }
        if (fds[0].revents & (POLLERR | POLLHUP)) {
            say(QStringLiteral("error the kernel closed the device end"));
            status = 1;
            break;
        }
        if (fds[0].revents & POLLIN) {
            if (const std::optional<QByteArray> request = endpoint->takeOutputReport())
                running = serveOneReport(*endpoint, *request);
        } else if (fds[2].revents & (POLLIN | POLLHUP)) {
            commandsOpen = readCommands(*endpoint);
        }
    }
    say(QStringLiteral("unplugging at-us=%1").arg(monotonicMicroseconds()));
    endpoint.reset(); // unplugs
    writeReceivedImage();
    printSummary(QStringLiteral("unplugged"));
    ::close(stopSignalFd);
    return status;
}

// A report the host wrote just before the unplug (the unanswered end of an upgrade, say) is
// already queued in the kernel; it still counts as received.
void ConverterDeviceServer::drainPendingReports(KernelHidEndpoint& endpoint) {
    for (;;) {
        pollfd readable{endpoint.descriptor(), POLLIN, 0};
        if (::poll(&readable, 1, 0) != 1 || !(readable.revents & POLLIN))
            return;
        if (const std::optional<QByteArray> request = endpoint.takeOutputReport())
            serveOneReport(endpoint, *request);
    }
}

bool ConverterDeviceServer::readCommands(KernelHidEndpoint& endpoint) {
    char buffer[4096];
    const ssize_t count = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (count <= 0)
        return count < 0 && errno == EINTR;
    pendingInput_.append(buffer, count);
    for (qsizetype end = pendingInput_.indexOf('\n'); end >= 0; end = pendingInput_.indexOf('\n')) {
        const QString line = QString::fromLocal8Bit(pendingInput_.left(end)).trimmed();
        pendingInput_.remove(0, end + 1);
        runCommand(endpoint, line);
    }
    return true;
}

void ConverterDeviceServer::runCommand(KernelHidEndpoint& endpoint, const QString& line) {
    // What the host wrote before the command was given belongs to the time before it.
    drainPendingReports(endpoint);
    const QStringList words = line.split(QChar(' '), Qt::SkipEmptyParts);
    if (words.value(0) == QLatin1String("report")) {
        writeReceivedImage();
        printSummary(QStringLiteral("seen"));
    } else if (words.value(0) == QLatin1String("arm")) {
        QString error;
        const std::optional<ConverterDeviceOptions> faults = ConverterDeviceOptions::parse(
            QStringList{QStringLiteral("converter-device")} + words.mid(1), &error);
        if (!faults) {
            say(QStringLiteral("refused %1").arg(error.simplified()));
            return;
        }
        arm(*faults);
        say(QStringLiteral("armed"));
    } else {
        say(QStringLiteral("refused unknown command %1").arg(line));
    }
}

// The faults of the next update, from zero: counters, received image and requests forgotten.
void ConverterDeviceServer::arm(const ConverterDeviceOptions& faults) {
    options_.faults = faults.faults;
    options_.replyDelay = faults.replyDelay;
    options_.replyDelayAtPackNo = faults.replyDelayAtPackNo;
    options_.unplugAfterDataPackets = faults.unplugAfterDataPackets;
    options_.unplugAwaitingDataPacket = faults.unplugAwaitingDataPacket;
    options_.killAtDataPacket = faults.killAtDataPacket;
    options_.killPid = faults.killPid;
    converter_.setFaults(options_.faults);
    converter_.clearHistory();
    outputReports_ = 0;
    dataPackets_ = 0;
    dataPacketsWithoutAnswer_ = 0;
}

// False once the device is to unplug itself.
bool ConverterDeviceServer::serveOneReport(KernelHidEndpoint& endpoint, const QByteArray& request) {
    ++outputReports_;
    const bool dataPacket =
        !request.isEmpty() &&
        (static_cast<uint8_t>(request.at(0)) == VirtualConverter::firstDataCode ||
         static_cast<uint8_t>(request.at(0)) == VirtualConverter::continuationDataCode);
    // The updater dies the moment this packet is out; nobody is left to take a reply.
    const bool killNow = dataPacket && options_.killAtDataPacket == dataPackets_ + 1;
    if (killNow) {
        ::kill(static_cast<pid_t>(*options_.killPid), SIGKILL);
        options_.killAtDataPacket.reset();
    }
    // Gone while the updater waits for the answer to this packet.
    const bool goneAwaiting = dataPacket && options_.unplugAwaitingDataPacket == dataPackets_ + 1;
    std::optional<QByteArray> reply = converter_.handleOutputReport(request);
    if (killNow || goneAwaiting)
        reply.reset();
    if (dataPacket) {
        ++dataPackets_;
        if (!reply)
            ++dataPacketsWithoutAnswer_;
    }
    if (reply) {
        const int64_t packNo = request.size() < 6 ? -1
                                                  : static_cast<uint8_t>(request.at(4)) |
                                                        (static_cast<uint8_t>(request.at(5)) << 8);
        if (options_.replyDelay.count() > 0 &&
            (!options_.replyDelayAtPackNo || *options_.replyDelayAtPackNo == packNo))
            QThread::msleep(static_cast<unsigned long>(options_.replyDelay.count()));
        if (!endpoint.sendInputReport(*reply, replyHandOverMs))
            say(QStringLiteral("warning %1").arg(endpoint.lastError()));
    }
    const bool unplugNow = goneAwaiting || (dataPacket && options_.unplugAfterDataPackets &&
                                            dataPackets_ >= *options_.unplugAfterDataPackets);
    // "Answered" means the host has the reply: going before it is taken would lose it.
    if (unplugNow && reply)
        endpoint.waitUntilTaken(replyHandOverMs);
    return !unplugNow;
}

void ConverterDeviceServer::writeReadyFile(const QString& node) const {
    if (options_.readyFile.isEmpty())
        return;
    QSaveFile file(options_.readyFile); // appears whole: a waiting test never reads half a path
    if (file.open(QIODevice::WriteOnly)) {
        file.write(node.toLocal8Bit() + '\n');
        file.commit();
    }
}

void ConverterDeviceServer::writeReceivedImage() const {
    if (options_.receivedImageFile.isEmpty())
        return;
    QSaveFile file(options_.receivedImageFile);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(converter_.receivedImage());
        file.commit();
    }
}

// One line the tests parse: what reached the device through the kernel.
void ConverterDeviceServer::printSummary(const QString& prefix) const {
    const QByteArray& image = converter_.receivedImage();
    say(QStringLiteral(
            "%8 output-reports=%1 data-packets=%2 unanswered-data-packets=%3 image-bytes=%4 "
            "image-complete=%5 image-sum=0x%6 end-upgrade=%7")
            .arg(outputReports_)
            .arg(dataPackets_)
            .arg(dataPacketsWithoutAnswer_)
            .arg(image.size())
            .arg(converter_.imageComplete() ? QStringLiteral("yes") : QStringLiteral("no"))
            .arg(VirtualConverter::checksum16(image), 4, 16, QChar('0'))
            .arg(converter_.endUpgradePackNo() ? QStringLiteral("yes") : QStringLiteral("no"))
            .arg(prefix));
}
