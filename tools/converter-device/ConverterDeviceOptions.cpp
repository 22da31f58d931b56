#include "ConverterDeviceOptions.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <limits>

static std::optional<int64_t> parseInteger(const QString& text) {
    bool ok = false;
    const qlonglong value = text.toLongLong(&ok, 0); // 0: "0x1209" and "4617" alike
    return ok ? std::optional<int64_t>(value) : std::nullopt;
}

// "1.2.3.4" -> 0x01020304, the version bytes 47..44 of the firmware information reply.
static std::optional<uint32_t> parseVersion(const QString& text) {
    const QStringList parts = text.split(QChar('.'));
    if (parts.size() != 4)
        return std::nullopt;
    uint32_t version = 0;
    for (const QString& part : parts) {
        bool ok = false;
        const uint value = part.toUInt(&ok);
        if (!ok || value > 255)
            return std::nullopt;
        version = (version << 8) | value;
    }
    return version;
}

std::optional<ConverterDeviceOptions> ConverterDeviceOptions::parse(const QStringList& arguments,
                                                                    QString* error) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Plays a Velmar converter in loader mode through the kernel, so the "
                       "updater's hidraw backend\n"
                       "talks to a real hidraw node. Prints \"ready /dev/hidrawN\" once the node "
                       "is usable; SIGTERM\n"
                       "or SIGINT unplugs the device and ends the program. On standard input, "
                       "\"arm OPTIONS\" replaces the\n"
                       "faults (the options below from --never-reply on) and forgets what the "
                       "device saw; \"report\"\n"
                       "prints what it saw since then."));
    parser.addHelpOption();
    const QCommandLineOption transport(
        QStringLiteral("transport"),
        QStringLiteral("uhid or gadget (configfs HID function on a USB device controller)."),
        QStringLiteral("kind"), QStringLiteral("uhid"));
    const QCommandLineOption vid(QStringLiteral("vid"), QStringLiteral("USB vendor id."),
                                 QStringLiteral("id"), QStringLiteral("0x1209"));
    const QCommandLineOption pid(QStringLiteral("pid"), QStringLiteral("USB product id."),
                                 QStringLiteral("id"), QStringLiteral("0x0002"));
    const QCommandLineOption serial(
        QStringLiteral("serial"),
        QStringLiteral("Serial number (the HID uniq string); tells converters apart."),
        QStringLiteral("text"));
    const QCommandLineOption name(QStringLiteral("name"), QStringLiteral("Product name."),
                                  QStringLiteral("text"),
                                  QStringLiteral("Velmar Converter Loader"));
    const QCommandLineOption partNumber(QStringLiteral("part-number"),
                                        QStringLiteral("Part number in the firmware information."),
                                        QStringLiteral("text"), QStringLiteral("QK100201"));
    const QCommandLineOption secondField(
        QStringLiteral("part-number-in-second-field"),
        QStringLiteral("Report the part number at offset 24, erased flash at 9."));
    const QCommandLineOption version(QStringLiteral("version"),
                                     QStringLiteral("Firmware version a.b.c.d."),
                                     QStringLiteral("version"), QStringLiteral("1.0.0.0"));
    const QCommandLineOption release(
        QStringLiteral("release"),
        QStringLiteral("After a confirmed update with the image of this HEX file, report this "
                       "version."),
        QStringLiteral("file=a.b.c.d"));
    const QCommandLineOption neverReply(QStringLiteral("never-reply"),
                                        QStringLiteral("Answer nothing."));
    const QCommandLineOption noReplyFrom(QStringLiteral("no-reply-from"),
                                         QStringLiteral("Silent from this packet number on."),
                                         QStringLiteral("packNo"));
    const QCommandLineOption wrongPackNoAt(
        QStringLiteral("wrong-packno-at"),
        QStringLiteral("Reply with the request's own packet number here."),
        QStringLiteral("packNo"));
    const QCommandLineOption wrongChecksumAt(QStringLiteral("wrong-checksum-at"),
                                             QStringLiteral("Per-packet checksum off by one here."),
                                             QStringLiteral("packNo"));
    const QCommandLineOption wrongFinal(QStringLiteral("wrong-final-checksum"),
                                        QStringLiteral("Final checksum off by one."));
    const QCommandLineOption ignoreInfo(
        QStringLiteral("ignore-getfwinfo"),
        QStringLiteral("Answer the synchronisation, never the firmware information."));
    const QCommandLineOption delay(QStringLiteral("reply-delay-ms"),
                                   QStringLiteral("Wait this long before each reply."),
                                   QStringLiteral("ms"), QStringLiteral("0"));
    const QCommandLineOption delayAt(QStringLiteral("reply-delay-at"),
                                     QStringLiteral("Delay only the reply to this packet number."),
                                     QStringLiteral("packNo"));
    const QCommandLineOption killAt(
        QStringLiteral("kill-at-data-packet"),
        QStringLiteral("Send SIGKILL to --kill-pid when this data packet (1-based) arrives."),
        QStringLiteral("count"));
    const QCommandLineOption killPid(QStringLiteral("kill-pid"),
                                     QStringLiteral("The process --kill-at-data-packet ends."),
                                     QStringLiteral("pid"));
    const QCommandLineOption unplugAfter(
        QStringLiteral("unplug-after-data-packets"),
        QStringLiteral("Answer this many data packets, then unplug."), QStringLiteral("count"));
    const QCommandLineOption unplugAwaiting(
        QStringLiteral("unplug-awaiting-data-packet"),
        QStringLiteral("Take in this data packet (1-based), then unplug without answering it."),
        QStringLiteral("count"));
    const QCommandLineOption ready(QStringLiteral("ready-file"),
                                   QStringLiteral("Write the hidraw node here once it is usable."),
                                   QStringLiteral("file"));
    const QCommandLineOption image(
        QStringLiteral("received-image"),
        QStringLiteral("Write the received image here when the device goes."),
        QStringLiteral("file"));
    parser.addOptions(
        {transport,       vid,        pid,        serial,     name,          partNumber,
         secondField,     version,    release,    neverReply, noReplyFrom,   wrongPackNoAt,
         wrongChecksumAt, wrongFinal, ignoreInfo, delay,      delayAt,       unplugAfter,
         killAt,          killPid,    ready,      image,      unplugAwaiting});
    if (!parser.parse(arguments)) {
        *error = parser.errorText();
        return std::nullopt;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        *error = parser.helpText();
        return std::nullopt;
    }
    if (!parser.positionalArguments().isEmpty()) {
        *error = QStringLiteral("unexpected argument %1").arg(parser.positionalArguments().first());
        return std::nullopt;
    }

    ConverterDeviceOptions options;
    const QString kind = parser.value(transport);
    if (kind == QLatin1String("uhid"))
        options.transport = Transport::Uhid;
    else if (kind == QLatin1String("gadget"))
        options.transport = Transport::Gadget;
    else {
        *error = QStringLiteral("--transport takes uhid or gadget, not %1").arg(kind);
        return std::nullopt;
    }

    // Every number-valued option, read the same way.
    QString badOption;
    auto number = [&](const QCommandLineOption& option, int64_t low,
                      int64_t high) -> std::optional<int64_t> {
        if (!parser.isSet(option) && option.defaultValues().isEmpty())
            return std::nullopt;
        const std::optional<int64_t> value = parseInteger(parser.value(option));
        if (!value || *value < low || *value > high) {
            badOption = option.names().first();
            return std::nullopt;
        }
        return value;
    };
    const auto vendorId = number(vid, 0, 0xFFFF);
    const auto productId = number(pid, 0, 0xFFFF);
    const auto delayMs = number(delay, 0, 60000);
    options.faults.noReplyFromPackNo = number(noReplyFrom, 0, 0xFFFF);
    options.faults.wrongPackNoAtPackNo = number(wrongPackNoAt, 0, 0xFFFF);
    options.faults.wrongChecksumAtPackNo = number(wrongChecksumAt, 0, 0xFFFF);
    const auto unplugCount = number(unplugAfter, 0, 1 << 20);
    const auto unplugAwaitingCount = number(unplugAwaiting, 1, 1 << 20);
    options.replyDelayAtPackNo = number(delayAt, 0, 0xFFFF);
    const auto killCount = number(killAt, 1, 1 << 20);
    options.killPid = number(killPid, 2, std::numeric_limits<int32_t>::max());
    if (!badOption.isEmpty()) {
        *error = QStringLiteral("--%1 needs a number in range, not %2")
                     .arg(badOption, parser.value(badOption));
        return std::nullopt;
    }
    options.usbIdentity.vendorId = static_cast<uint16_t>(*vendorId);
    options.usbIdentity.productId = static_cast<uint16_t>(*productId);
    options.replyDelay = std::chrono::milliseconds(*delayMs);
    if (unplugCount)
        options.unplugAfterDataPackets = static_cast<int>(*unplugCount);
    if (unplugAwaitingCount)
        options.unplugAwaitingDataPacket = static_cast<int>(*unplugAwaitingCount);
    if (killCount)
        options.killAtDataPacket = static_cast<int>(*killCount);
    if (options.killAtDataPacket.has_value() != options.killPid.has_value()) {
        *error = QStringLiteral("--kill-at-data-packet and --kill-pid go together");
        return std::nullopt;
    }

    const std::optional<uint32_t> firmwareVersion = parseVersion(parser.value(version));
    if (!firmwareVersion) {
        *error = QStringLiteral("--version takes four numbers 0-255 joined by dots, not %1")
                     .arg(parser.value(version));
        return std::nullopt;
    }
    options.firmware.firmwareVersion = *firmwareVersion;
    if (parser.isSet(release)) {
        const QString value = parser.value(release);
        const qsizetype split = value.lastIndexOf(u'=');
        const std::optional<uint32_t> releaseVersion =
            split > 0 ? parseVersion(value.mid(split + 1)) : std::nullopt;
        if (!releaseVersion) {
            *error = QStringLiteral("--release takes file=a.b.c.d, not %1").arg(value);
            return std::nullopt;
        }
        options.releaseHexFile = value.left(split);
        options.releaseVersion = *releaseVersion;
    }
    options.firmware.partNumber = parser.value(partNumber).toLatin1();
    options.firmware.partNumberInSecondField = parser.isSet(secondField);
    options.faults.neverReply = parser.isSet(neverReply);
    options.faults.wrongFinalChecksum = parser.isSet(wrongFinal);
    options.faults.ignoreGetFWInfo = parser.isSet(ignoreInfo);

    options.usbIdentity.name = parser.value(name);
    options.usbIdentity.serial =
        parser.isSet(serial) ? parser.value(serial)
                             : QStringLiteral("velmar-%1").arg(QCoreApplication::applicationPid());
    if (options.usbIdentity.serial.isEmpty() || options.usbIdentity.serial.size() > 60) {
        *error = QStringLiteral("--serial takes 1 to 60 characters");
        return std::nullopt;
    }
    options.readyFile = parser.value(ready);
    options.receivedImageFile = parser.value(image);
    return options;
}
