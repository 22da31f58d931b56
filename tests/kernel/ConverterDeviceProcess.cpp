#include "ConverterDeviceProcess.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
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
    const QDeadlineTimer deadline(plugInLimitMs);
    while (!deadline.hasExpired()) {
        while (process_.canReadLine()) {
            const QByteArray line = process_.readLine().trimmed();
            if (line.startsWith("ready ")) {
                node_ = QString::fromLocal8Bit(line.mid(6));
                settleUdev();
                return true;
            }
            if (line.startsWith("error ")) {
                error_ = QString::fromLocal8Bit(line.mid(6));
                process_.waitForFinished();
                return false;
            }
        }
        if (process_.state() == QProcess::NotRunning) {
            error_ = QStringLiteral("converter-device ended before its device was ready");
            return false;
        }
        process_.waitForReadyRead(static_cast<int>(std::max<qint64>(1, deadline.remainingTime())));
    }
    error_ = QStringLiteral("no hidraw node within %1 ms").arg(plugInLimitMs);
    return false;
}

void ConverterDeviceProcess::beginUnplug() {
    if (process_.state() != QProcess::NotRunning)
        process_.terminate();
}

std::optional<DeviceSideSummary> ConverterDeviceProcess::finishUnplug() {
    if (!process_.waitForFinished(unplugLimitMs) && process_.state() != QProcess::NotRunning) {
        process_.kill();
        process_.waitForFinished();
        return std::nullopt;
    }
    settleUdev();
    static const QRegularExpression summaryLine(QStringLiteral(
        "unplugged output-reports=(\\d+) data-packets=(\\d+) unanswered-data-packets=(\\d+) "
        "image-bytes=(\\d+) image-complete=(yes|no) image-sum=0x([0-9a-f]{4}) "
        "end-upgrade=(yes|no)"));
    const QRegularExpressionMatch match =
        summaryLine.match(QString::fromLocal8Bit(process_.readAll()));
    if (!match.hasMatch() || process_.exitStatus() != QProcess::NormalExit ||
        process_.exitCode() != 0)
        return std::nullopt;
    DeviceSideSummary summary;
    summary.outputReports = match.captured(1).toInt();
    summary.dataPackets = match.captured(2).toInt();
    summary.unansweredDataPackets = match.captured(3).toInt();
    summary.imageBytes = match.captured(4).toLongLong();
    summary.imageComplete = match.captured(5) == QLatin1String("yes");
    summary.imageSum = static_cast<uint16_t>(match.captured(6).toUInt(nullptr, 16));
    summary.endUpgradeReceived = match.captured(7) == QLatin1String("yes");
    return summary;
}

std::optional<DeviceSideSummary> ConverterDeviceProcess::unplug() {
    beginUnplug();
    return finishUnplug();
}
