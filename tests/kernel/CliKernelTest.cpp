// velmar-converter-cli as a process of its own on the hidraw backend, against a converter the
// kernel presents as a USB device (a gadget on dummy_hcd). Skips where there is no USB device
// controller, so it does its work only in the test guest.
#include "ConverterDeviceProcess.h"

#include "firmware/HexImageDecoder.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using Transport = ConverterDeviceProcess::Transport;

// What someone at a terminal does: name the converter's node and the newer shipped release.
TEST(CliKernelTest, UpdatesAGadgetConverterWithAShippedRelease) {
    if (!ConverterDeviceProcess::available(Transport::Gadget))
        GTEST_SKIP() << "no USB device controller here; scripts/test-kernel runs this in the "
                        "test guest";
    QTemporaryDir folder;
    const QString received = folder.filePath("received.bin");
    const QString releaseFile =
        qEnvironmentVariable("UPDATER_RESOURCE_DIR") + "/data/QK100201/standard/V1.1.0.2/tmp.hex";
    ConverterDeviceProcess converter(Transport::Gadget,
                                     {"--version", "1.0.0.5", "--release", releaseFile + "=1.1.0.2",
                                      "--received-image", received});
    ASSERT_TRUE(converter.plugIn()) << converter.error().toStdString();

    QProcess cli;
    cli.start(CLI_PROGRAM,
              {"update", "--release", "V1.1.0.2", "--device", converter.node(), "--json"});
    ASSERT_TRUE(cli.waitForFinished(120000));
    const QList<QByteArray> lines = cli.readAllStandardOutput().trimmed().split('\n');
    EXPECT_EQ(cli.exitCode(), 0) << cli.readAllStandardError().toStdString();
    const QJsonObject result = QJsonDocument::fromJson(lines.last()).object();
    EXPECT_EQ(result["version"].toString(), "V1.1.0.2"); // read again from the converter

    const std::optional<DeviceSideSummary> deviceSide = converter.unplug();
    ASSERT_TRUE(deviceSide.has_value());
    EXPECT_TRUE(deviceSide->imageComplete && deviceSide->endUpgradeReceived);
    const QByteArray release = readWholeFile(releaseFile);
    EXPECT_TRUE(readWholeFile(received) ==
                HexImageDecoder::decodeHexImage(QString::fromLatin1(release)));
}
