#include "ConverterDeviceProcess.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <ctime>
#include <unistd.h>

// Generous: under software emulation a gadget takes a few seconds to enumerate.
static constexpr int plugInLimitMs = 60000;
static constexpr int unplugLimitMs = 30000;

// Waits until udev has handled every event so far. A test that starts right after the previous
// one unplugged its converter would otherwise meet that converter's removal, still on its way
// through udev, naming the same /dev/hidrawN as the new converter.
static void settleUdev() {
    QProcess settle;
    settle.start(QStringLiteral("udevadm"),
                 {QStringLiteral("settle"), QStringLiteral("--timeout=30")});
    settle.waitForFinished(35000);
}

QByteArray readWholeFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

int64_t monotonicMicroseconds() {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return int64_t{now.tv_sec} * 1000000 + now.tv_nsec / 1000;
}

// The line converter-device prints of what it saw, after `prefix`.
static std::optional<DeviceSideSummary> parseSummary(const QString& output, QStringView prefix) {
    static const QRegularExpression summaryLine(QStringLiteral(
        "(\\w+) output-reports=(\\d+) data-packets=(\\d+) unanswered-data-packets=(\\d+) "
        "image-bytes=(\\d+) image-complete=(yes|no) image-sum=0x([0-9a-f]{4}) "
        "end-upgrade=(yes|no)"));
    const QRegularExpressionMatch match = summaryLine.match(output);
    if (!match.hasMatch() || match.capturedView(1) != prefix)
        return std::nullopt;
    DeviceSideSummary summary;
    summary.outputReports = match.captured(2).toInt();
    summary.dataPackets = match.captured(3).toInt();
    summary.unansweredDataPackets = match.captured(4).toInt();
    summary.imageBytes = match.captured(5).toLongLong();
    summary.imageComplete = match.captured(6) == QLatin1String("yes");
    summary.imageSum = static_cast<uint16_t>(match.captured(7).toUInt(nullptr, 16));
    summary.endUpgradeReceived = match.captured(8) == QLatin1String("yes");
    return summary;
}

bool ConverterDeviceProcess::available(Transport transport) {
    if (transport == Transport::Uhid)
        return ::access("/dev/uhid", R_OK | W_OK) == 0;
    return ::geteuid() == 0 && QDir(QStringLiteral("/sys/kernel/config/usb_gadget")).exists() &&
           !QDir(QStringLiteral("/sys/class/udc"))
                .entryList(QDir::Dirs | QDir::NoDotAndDotDot)
                .isEmpty();
}

QString ConverterDeviceProcess::transportName(Transport transport) {
    return transport == Transport::Uhid ? QStringLiteral("uhid") : QStringLiteral("gadget");
}

ConverterDeviceProcess::ConverterDeviceProcess(Transport transport, QStringList arguments)
    : transport_(transport), arguments_(std::move(arguments)) {
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
}

ConverterDeviceProcess::~ConverterDeviceProcess() {
    if (process_.state() != QProcess::NotRunning)
        unplug();
}

bool ConverterDeviceProcess::plugIn() {
    return beginPlugIn() && waitForReady(true);
}

bool ConverterDeviceProcess::finishPlugIn() {
    return waitForReady(false);
}

bool ConverterDeviceProcess::beginPlugIn() {
    const QString program =
        QCoreApplication::applicationDirPath() + QStringLiteral("/converter-device");
    if (!QFileInfo(program).isExecutable()) {
        error_ = program + QStringLiteral(" is missing");
        return false;
    }
    process_.start(program, QStringList{QStringLiteral("--transport"), transportName(transport_)} +
                                arguments_);
    if (!process_.waitForStarted()) {
        error_ = process_.errorString();
        return false;
    }
    const QByteArray line = nextLine(plugInLimitMs);
    if (line.startsWith("created at-us=")) {
        createdAtUs_ = line.mid(14).toLongLong();
        return true;
    }
    error_ = line.startsWith("error ") ? QString::fromLocal8Bit(line.mid(6))
                                       : QStringLiteral("converter-device created no device");
    process_.waitForFinished();
    return false;
}

bool ConverterDeviceProcess::waitForReady(bool settle) {
    const QByteArray line = nextLine(plugInLimitMs);
    if (line.startsWith("ready ")) {
        node_ = QString::fromLocal8Bit(line.mid(6));
        if (settle)
            settleUdev();
        return true;
    }
    error_ = line.startsWith("error ")
                 ? QString::fromLocal8Bit(line.mid(6))
                 : QStringLiteral("no hidraw node within %1 ms").arg(plugInLimitMs);
    return false;
}

QByteArray ConverterDeviceProcess::nextLine(int limitMs) {
    const QDeadlineTimer deadline(limitMs);
    for (;;) {
        while (!process_.canReadLine()) {
            if (process_.state() == QProcess::NotRunning || deadline.hasExpired())
                return {};
            process_.waitForReadyRead(
                static_cast<int>(std::max<qint64>(1, deadline.remainingTime())));
        }
        // A reply the host did not take is worth a line, but no answer to anything.
        const QByteArray line = process_.readLine().trimmed();
        if (!line.startsWith("warning "))
            return line;
    }
}

bool ConverterDeviceProcess::arm(const QStringList& faultArguments) {
    process_.write("arm " + faultArguments.join(u' ').toLocal8Bit() + "\n");
    const QByteArray line = nextLine(unplugLimitMs);
    if (line == "armed")
        return true;
    error_ = QString::fromLocal8Bit(line);
    return false;
}

std::optional<DeviceSideSummary> ConverterDeviceProcess::report() {
    process_.write("report\n");
    return parseSummary(QString::fromLocal8Bit(nextLine(unplugLimitMs)), u"seen");
}

void ConverterDeviceProcess::beginUnplug() {
    if (process_.state() != QProcess::NotRunning)
        process_.terminate();
}

std::optional<DeviceSideSummary> ConverterDeviceProcess::finishUnplug() {
    if (!process_.waitForFinished(unplugLimitMs) && process_.state() != QProcess::NotRunning) {
        process_.kill();
        process_.waitForFinished();
        error_ = QStringLiteral("the device did not unplug itself");
        return std::nullopt;
    }
    settleUdev();
    const QString output = QString::fromLocal8Bit(process_.readAll());
    if (process_.exitStatus() != QProcess::NormalExit || process_.exitCode() != 0) {
        error_ = QStringLiteral("the device ended with status %1: %2")
                     .arg(process_.exitCode())
                     .arg(output.trimmed());
        return std::nullopt;
    }
    std::optional<DeviceSideSummary> summary = parseSummary(output, u"unplugged");
    static const QRegularExpression unpluggingLine(QStringLiteral("unplugging at-us=(\\d+)"));
    if (const QRegularExpressionMatch match = unpluggingLine.match(output);
        summary && match.hasMatch())
        summary->unplugStartedAtUs = match.captured(1).toLongLong();
    return summary;
}

std::optional<DeviceSideSummary> ConverterDeviceProcess::unplug() {
    beginUnplug();
    return finishUnplug();
}
