#include <QApplication>
#include <QCommandLineParser>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <chrono>
#include <memory>

#include "app/AnswerWithoutDisplay.h"
#include "app/MainApplication.h"
#include "core/ReleaseTree.h"
#include "core/ReleaseVersion.h"
#include "core/Utf8Text.h"
#include "firmware/HexImageDecoder.h"
#include "sim/SimulatedHidService.h"
#include "sim/VirtualConverter.h"

// A resource directory in `folder` whose configuration is the shipped one switched to online.
static QString onlineConfiguration(const QString& shipped, const QTemporaryDir& folder) {
    QFile source(shipped + QStringLiteral("/config"));
    QFile target(folder.filePath(QStringLiteral("config")));
    if (!source.open(QIODevice::ReadOnly) || !target.open(QIODevice::WriteOnly))
        return shipped;
    QByteArray xml = QByteArray::fromBase64(source.readAll());
    xml.replace("<IsOnline>false</IsOnline>", "<IsOnline>true</IsOnline>");
    target.write(xml.toBase64());
    return folder.path();
}

// Tells the converter the version each shipped release's image carries, so that after an update
// it reports the new one, as a converter restarted into its new firmware does.
static void teachShippedReleases(VirtualConverter& converter, const QString& resources) {
    const ReleaseTree tree(resources);
    const std::optional<QString> partNumber = QString::fromLatin1(converter.identity().partNumber);
    for (const bool standard : {true, false})
        for (const QString& version : tree.listFwVersions(partNumber, standard))
            if (const auto path = tree.releaseFile(partNumber, standard, version, "tmp.hex"))
                if (const auto text = Utf8Text::readFile(*path))
                    if (const auto number = ReleaseVersion::number(version))
                        converter.setImageVersion(HexImageDecoder::decodeHexImage(*text), *number);
}

// The updater's window on a virtual converter instead of hardware: a converter in loader mode,
// part number and firmware of the shipped sample releases, is plugged in a second after start.
// Pressing START updates it from the sample releases, packet by packet, as slowly as a real
// converter answers; the options make it start by itself and fail on purpose, so every screen
// of an update can be seen (and photographed) without anyone at the keyboard.
int main(int argc, char** argv) {
    QCommandLineParser parser;
    parser.setApplicationDescription("The converter updater on a virtual converter.");
    const QCommandLineOption replyDelay(
        "reply-delay", "Milliseconds the converter takes to answer a report (default 2).", "ms",
        "2");
    const QCommandLineOption autoStart(
        "start-after", "Press START this many milliseconds after the converter is identified.",
        "ms");
    const QCommandLineOption unplugAfter(
        "unplug-after", "Pull the converter out after it has answered this many data packets.",
        "packets");
    const QCommandLineOption wrongFinalChecksum(
        "wrong-final-checksum", "The converter reports a final checksum that does not match.");
    const QCommandLineOption onlineAt(
        "online-at",
        "Fetch version lists and images from this FTP server (host or host:port) instead of "
        "the bundled releases; a server that is not there shows a failed download.",
        "host");
    const QCommandLineOption unplugAwaiting(
        "unplug-awaiting",
        "Pull the converter out while the updater waits for its answer to this data packet.",
        "packet");
    parser.addOptions(
        {replyDelay, autoStart, unplugAfter, unplugAwaiting, wrongFinalChecksum, onlineAt});
    AnswerWithoutDisplay::answer(parser, argc, argv);

    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false); // closing the window is handled explicitly
    parser.process(app);

    SimulatedHidService hidService;
    MainApplication::Options options = MainApplication::Options::forThisExecutable();
    QTemporaryDir onlineResources;
    if (parser.isSet(onlineAt)) {
        options.resourceDirectory = onlineConfiguration(options.resourceDirectory, onlineResources);
        options.ftpHost = parser.value(onlineAt);
    }
    MainApplication program(hidService, options);
    program.start();

    VirtualConverter::Identity identity;
    identity.firmwareVersion = 0x01000005; // V1.0.0.5, the older of the sample releases
    auto converter = std::make_shared<VirtualConverter>(identity);
    VirtualConverter::Faults converterFaults;
    converterFaults.wrongFinalChecksum = parser.isSet(wrongFinalChecksum);
    converter->setFaults(converterFaults);
    teachShippedReleases(*converter,
                         MainApplication::Options::forThisExecutable().resourceDirectory);
    SimulatedDeviceFaults linkFaults;
    linkFaults.replyDelay = std::chrono::milliseconds{parser.value(replyDelay).toInt()};
    if (parser.isSet(unplugAfter))
        linkFaults.unplugAfterDataPackets = parser.value(unplugAfter).toInt();
    if (parser.isSet(unplugAwaiting))
        linkFaults.unplugAwaitingDataPacket = parser.value(unplugAwaiting).toInt();
    QTimer::singleShot(1000, &app, [&hidService, converter, linkFaults] {
        hidService.plugIn(converter, SimulatedHidService::loaderIdentity, linkFaults);
    });

    ViewController& controller = program.viewController();
    Cancellable startOnce;
    if (parser.isSet(autoStart)) {
        const int delay = parser.value(autoStart).toInt();
        startOnce = controller.mainVM.CurrentUIStatus.subscribe([&](const UIStatus& status) {
            if (status != UIStatus::DEVICE_PLUG)
                return;
            QTimer::singleShot(delay, &app,
                               [&controller] { controller.outlets.CommonButton->click(); });
            startOnce.cancel(); // once: "Confirm" brings the converter back without a second update
        });
    }
    return QApplication::exec();
}
