#include <gtest/gtest.h>

#include <QRandomGenerator>
#include <QTimer>
#include <algorithm>
#include <cstdio>

#include "RemovalToFailureWatch.h"
#include "WindowHarness.h"
#include "protocol/FirmwareTransfer.h"
#include "support/LoopbackFtpServer.h"
#include "ui/PictureResources.h"

using namespace std::chrono_literals;

namespace {
// Bytes that differ from packet to packet, so a slice from the wrong offset shows.
QByteArray patternedImage(qsizetype size) {
    QByteArray image(size, '\0');
    for (qsizetype i = 0; i < size; ++i)
        image[i] = static_cast<char>((i * 7 + 3) & 0xFF);
    return image;
}

bool isDataPacket(uint8_t command) {
    return command == VirtualConverter::firstDataCode ||
           command == VirtualConverter::continuationDataCode;
}

} // namespace

// The update on the window the program builds, a virtual converter in place of hardware.
class UpdateRunTest : public ::testing::Test {
protected:
    // A release of the Pro's Standard mode; without `checkSum` its description names none.
    void addRelease(const QString& version, const QByteArray& image,
                    std::optional<int64_t> checkSum) {
        const QString folder = "data/QK100201/standard/" + version + "/";
        resources.addFile(folder + "tmp.hex", hexText(image));
        resources.addFile(folder + "tmp.txt",
                          version.toLatin1() + "," +
                              (checkSum ? checksumField(*checkSum) + "," : QByteArray()) +
                              "tmp.hex\r\n");
    }
    void addRelease(const QString& version, const QByteArray& image) {
        addRelease(version, image, VirtualConverter::checksum16(image));
    }

    void startWindow(TestConfig config = {}, WindowHarness::Options options = {}) {
        resources.writeConfig(config);
        window = std::make_unique<WindowHarness>(resources, options);
        window->start();
        device = window->plugIn("QK100201", 0x01000005);
        converter = window->hidService.converter(device);
        ASSERT_TRUE(window->waitForStatus(UIStatus::DEVICE_PLUG));
        statusSubscription = controller().mainVM.CurrentUIStatus.subscribe(
            [this](const UIStatus& status) { statuses.push_back(status); });
        statuses.clear();
    }

    ViewController& controller() { return window->controller(); }
    Ui::MainWindow& outlets() { return window->outlets(); }

    void select(const QString& version) {
        const int index = outlets().PopUpFwVerItems->findText(version);
        ASSERT_GE(index, 0) << version.toStdString();
        outlets().PopUpFwVerItems->setCurrentIndex(index);
    }

    // Presses the big button and lets the update run to its result screen.
    bool startAndWaitForResult() {
        statuses.clear();
        converter->clearHistory();
        window->alerts.alerts.clear();
        EXPECT_EQ(outlets().CommonButton->title(), "START");
        outlets().CommonButton->click();
        return window->runUntil([this] {
            const UIStatus status = window->status();
            return status == UIStatus::UPGRADE_FW_FINISH || status == UIStatus::UPGRADE_FW_FAILED ||
                   status == UIStatus::DOWNLOAD_FAILED;
        });
    }

    // "Confirm", then the search identifies the converter again.
    bool confirmAndWaitForDevice() {
        EXPECT_EQ(outlets().CommonButton->title(), "Confirm");
        outlets().CommonButton->click();
        return window->waitForStatus(UIStatus::DEVICE_PLUG);
    }

    // Updates to `version`, first confirming the result of an earlier update; the result status.
    std::optional<UIStatus> update(const QString& version) {
        if (window->status() != UIStatus::DEVICE_PLUG && !confirmAndWaitForDevice())
            return std::nullopt;
        select(version);
        if (!startAndWaitForResult())
            return std::nullopt;
        return window->status();
    }

    size_t dataPacketsSent() const {
        const std::vector<uint8_t> commands = converter->commandSequence();
        return static_cast<size_t>(std::count_if(commands.begin(), commands.end(), isDataPacket));
    }

    const std::vector<Alert>& alerts() { return window->alerts.alerts; }

    TestResources resources;
    std::unique_ptr<WindowHarness> window;
    HidDeviceRef device;
    std::shared_ptr<VirtualConverter> converter;
    std::vector<UIStatus> statuses;
    Cancellable statusSubscription;
};

using Status = UIStatus;

TEST_F(UpdateRunTest, OfflineSuccessEndsTheUpgradeAndSearchesOnlyAfterConfirm) {
    const QByteArray image = patternedImage(1000);
    addRelease("V2.0.0.0", image);
    startWindow();
    select("V2.0.0.0");

    // The press only queues the job; nothing has happened when the handler returns. A second
    // press before the job runs (a double click) must not queue a second update.
    outlets().CommonButton->click();
    outlets().CommonButton->click();
    EXPECT_TRUE(statuses.empty());
    EXPECT_EQ(window->status(), Status::DEVICE_PLUG);
    const int ticks = window->searchTicks();
    ASSERT_TRUE(window->waitForStatus(Status::UPGRADE_FW_FINISH));
    EXPECT_EQ(statuses, (std::vector<Status>{Status::UPGRADE_FW, Status::UPGRADE_FW_FINISH}));

    EXPECT_EQ(converter->receivedImage(), image);
    std::vector<uint8_t> expected{0xA4, 0xA6, 0xA4, 0xA0};
    expected.insert(expected.end(), 17, 0x00);
    expected.push_back(0xAB);
    EXPECT_EQ(converter->commandSequence(), expected);
    // The end of the upgrade carries the counter the transfer left: 2 + 2 * 18 packets.
    EXPECT_EQ(converter->endUpgradePackNo(), 38);
    EXPECT_EQ(controller().identity.packNo, 38);
    EXPECT_TRUE(alerts().empty());

    window->runFor(700ms);
    EXPECT_EQ(window->searchTicks(), ticks);
    EXPECT_EQ(window->status(), Status::UPGRADE_FW_FINISH);

    // The converter now runs the new firmware; "Confirm" finds it again and reads it anew.
    converter->setIdentity({"QK100201", 0x02000000, false});
    statuses.clear();
    ASSERT_TRUE(confirmAndWaitForDevice());
    EXPECT_EQ(statuses.front(), Status::NORMAL);
    EXPECT_EQ(outlets().CurrentVersion->text(), "Current version: V2.0.0.0");
}

TEST_F(UpdateRunTest, TheProgressPicturesFollowThePackets) {
    addRelease("V2.0.0.0", patternedImage(1000));
    startWindow();
    select("V2.0.0.0");
    SimulatedDeviceFaults slow;
    slow.replyDelay = 5ms; // each picture stays long enough to be seen
    window->hidService.setDeviceFaults(device, slow);
    // Which numbered picture the device image shows, sampled every millisecond while the
    // transfer waits for its replies; each change is recorded once.
    std::vector<QImage> frames;
    for (int frame = 0; frame <= 20; ++frame)
        frames.push_back(*PictureResources::named(QString::number(frame)));
    QStringList shown;
    QTimer sampler;
    sampler.setTimerType(Qt::PreciseTimer);
    QObject::connect(&sampler, &QTimer::timeout, [&] {
        const std::optional<QImage> image = outlets().DeviceImage->image();
        const auto found = image ? std::find(frames.begin(), frames.end(), *image) : frames.end();
        const QString name = QString::number(found - frames.begin());
        if (found != frames.end() && (shown.isEmpty() || shown.last() != name))
            shown.append(name);
    });
    sampler.start(1);
    ASSERT_TRUE(startAndWaitForResult());
    EXPECT_EQ(window->status(), Status::UPGRADE_FW_FINISH);
    // "0" from the status, then 10 skipped as one packet passes it; "20" gives way at once to
    // the success screen.
    EXPECT_EQ(shown, (QStringList{"0", "2", "3", "4", "5", "6", "7", "8", "9", "11", "12", "13",
                                  "14", "15", "16", "17", "18"}));
}

TEST_F(UpdateRunTest, AFailedTransferAlertsWhereItShouldThenEndsTheUpgradeAndShowsTheFailure) {
    addRelease("V2.0.0.0", patternedImage(1000));
    startWindow();
    select("V2.0.0.0");
    // Both must have happened before the failure is shown.
    std::vector<std::pair<size_t, std::optional<int64_t>>> atFailure;
    Cancellable watch = controller().mainVM.CurrentUIStatus.subscribe([&](const UIStatus& s) {
        if (s == Status::UPGRADE_FW_FAILED)
            atFailure.emplace_back(alerts().size(), converter->endUpgradePackNo());
    });

    // A packet checksum wrong in the middle: nothing after that packet but the end.
    VirtualConverter::Faults wrongSum;
    wrongSum.wrongChecksumAtPackNo = 10;
    converter->setFaults(wrongSum);
    ASSERT_TRUE(startAndWaitForResult());
    EXPECT_EQ(statuses, (std::vector<Status>{Status::UPGRADE_FW, Status::UPGRADE_FW_FAILED}));
    EXPECT_EQ(dataPacketsSent(), 5u);
    EXPECT_EQ(converter->commandSequence().back(), 0xAB);
    ASSERT_EQ(alerts().size(), 1u);
    EXPECT_EQ(alerts()[0], (Alert{"Update Failed", "Checksum is wrong.", "OK"}));
    EXPECT_EQ(atFailure.back(), std::make_pair(size_t{1}, std::optional<int64_t>{12}));

    // A reply that never comes: a failure without an alert, the end still sent.
    ASSERT_TRUE(confirmAndWaitForDevice());
    VirtualConverter::Faults silent;
    silent.noReplyFromPackNo = 6;
    converter->setFaults(silent);
    ASSERT_TRUE(startAndWaitForResult());
    EXPECT_EQ(window->status(), Status::UPGRADE_FW_FAILED);
    EXPECT_TRUE(alerts().empty());
    EXPECT_EQ(converter->endUpgradePackNo(), 7);
}

TEST_F(UpdateRunTest, TheFinalChecksumMustMatchTheReleaseJustChosen) {
    // Image bytes that sum to 0x00AB, the description expecting something else.
    QByteArray odd(100, '\0');
    odd[60] = static_cast<char>(0xAB);
    addRelease("V2.0.0.0", odd, 0xAC);
    const QByteArray good = patternedImage(300);
    addRelease("V2.1.0.0", good);
    addRelease("V2.2.0.0", good, std::nullopt);
    startWindow();

    EXPECT_EQ(update("V2.0.0.0"), Status::UPGRADE_FW_FAILED);
    EXPECT_EQ(alerts(),
              (std::vector<Alert>{
                  {"Update Failed", "Final Checksum: 0x  AB\nFinal Checksum is wrong.", "OK"}}));
    EXPECT_EQ(update("V2.1.0.0"), Status::UPGRADE_FW_FINISH);

    // The same image from a release that names no checksum: the previous release's value must
    // not stand in for it.
    EXPECT_EQ(update("V2.2.0.0"), Status::UPGRADE_FW_FAILED);
    ASSERT_EQ(alerts().size(), 1u);
    EXPECT_EQ(alerts()[0].informativeText,
              "Final Checksum: " + FirmwareTransfer::hex4(VirtualConverter::checksum16(good)) +
                  "\nFinal Checksum is wrong.");
    EXPECT_TRUE(converter->imageComplete());
}

// Pulled out right after a reply, the converter fails the next write; pulled out while a packet
// waits for its reply, the removal ends that wait. Either way the failure shows no later than
// the turn of the event loop that brings the removal, and no end-of-upgrade command is sent.
TEST_F(UpdateRunTest, UnpluggingDuringTheTransferFailsAtOnceAndLeavesTheFailureShowing) {
    addRelease("V2.0.0.0", patternedImage(1000)); // 18 data packets
    const int awaited = QRandomGenerator::global()->bounded(1, 19);
    struct Row {
        const char* unplug;
        SimulatedDeviceFaults faults;
        size_t packets;
        std::optional<int> turnsFromRemovalToFailure; // absent: before the removal arrives
    };
    Row rows[] = {{"after answering packet 5", {}, 5, std::nullopt},
                  {"while a random packet awaits its reply", {}, size_t(awaited), 0}};
    rows[0].faults.unplugAfterDataPackets = 5;
    rows[1].faults.unplugAwaitingDataPacket = awaited;
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.unplug << ", packet " << row.packets);
        window.reset(); // one program, and one diagnostic capture, at a time
        startWindow();
        select("V2.0.0.0");
        window->hidService.setDeviceFaults(device, row.faults);
        const RemovalToFailureWatch watch(controller());
        ASSERT_TRUE(startAndWaitForResult());
        EXPECT_EQ(statuses, (std::vector<Status>{Status::UPGRADE_FW, Status::UPGRADE_FW_FAILED}));
        EXPECT_EQ(watch.turnsFromRemovalToFailure(), row.turnsFromRemovalToFailure);
        if (const std::optional<double> delay = watch.millisecondsFromRemovalToFailure())
            std::printf("simulated service, unplugged %s: removal to UPGRADE_FW_FAILED %+.3f ms\n",
                        row.unplug, *delay);
        EXPECT_EQ(dataPacketsSent(), row.packets);
        // Tried only while the removal is not yet known; it never reaches the converter.
        EXPECT_EQ(window->diagnostics.lines().filter("[Commands][52]").size(),
                  row.turnsFromRemovalToFailure ? 0 : 1);
        EXPECT_NE(converter->commandSequence().back(), VirtualConverter::endUpgradeFWCode);
        EXPECT_TRUE(alerts().empty());
        const QString prompt = outlets().PromptText->text();
        const int ticks = window->searchTicks();
        window->runFor(700ms);
        EXPECT_EQ(window->status(), Status::UPGRADE_FW_FAILED);
        EXPECT_EQ(outlets().PromptText->text(), prompt);
        EXPECT_EQ(window->searchTicks(), ticks);
    }
}

// A converter that never answers the synchronisation is plugged in; while the search waits for
// it, it is pulled out and a working one plugged in. The user acts as soon as the working one is
// identified: whatever follows must stay on screen, and the converter is identified once.
TEST_F(UpdateRunTest, AConverterSwappedDuringTheSearchsWaitIsIdentifiedOnceAndWhatFollowsStays) {
    addRelease("V2.0.0.0", patternedImage(1000));
    resources.addFolder("data/QK100201/te/V2.0.0.0");
    resources.writeConfig({});
    const struct {
        const char* action;
        std::optional<int64_t> wrongChecksumAtPackNo;
        std::vector<Status> shown; // after NORMAL at start and NORMAL on the removal
    } rows[] = {
        {"START, the update fails at packet 6",
         6,
         {Status::DEVICE_PLUG, Status::UPGRADE_FW, Status::UPGRADE_FW_FAILED}},
        {"START, the update succeeds",
         {},
         {Status::DEVICE_PLUG, Status::UPGRADE_FW, Status::UPGRADE_FW_FINISH}},
        {"Tournament chosen", {}, {Status::DEVICE_PLUG}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.action);
        const bool start = row.shown.size() > 1;
        WindowHarness::Options options;
        options.exchangeDeadline = 2s; // long enough for a search tick to fall inside it
        window.reset();
        window = std::make_unique<WindowHarness>(resources, options);
        std::vector<Status> shown;
        bool acted = false;
        const Cancellable watch =
            controller().mainVM.CurrentUIStatus.subscribe([&](const UIStatus& status) {
                shown.push_back(status);
                if (status != Status::DEVICE_PLUG || acted)
                    return;
                acted = true;
                QTimer::singleShot(0, &controller(), [&] {
                    if (!start)
                        return outlets().TournamentButton->click();
                    select("V2.0.0.0");
                    outlets().CommonButton->click();
                });
            });
        VirtualConverter::Faults mute;
        mute.neverReply = true;
        const HidDeviceRef silent = window->plugIn("QK100201", 0x01000005, mute);
        std::shared_ptr<VirtualConverter> working;
        QTimer swap;
        QObject::connect(&swap, &QTimer::timeout, [&] {
            if (window->hidService.converter(silent)->requests().empty())
                return;
            swap.stop();
            window->hidService.unplug(silent);
            VirtualConverter::Faults faults;
            faults.wrongChecksumAtPackNo = row.wrongChecksumAtPackNo;
            working = window->hidService.converter(window->plugIn("QK100201", 0x01000005, faults));
        });
        swap.start(1);
        window->start();

        ASSERT_TRUE(window->runUntil([&] { return shown.size() == row.shown.size() + 2; }));
        window->runFor(3s);
        std::vector<Status> expected{Status::NORMAL, Status::NORMAL};
        expected.insert(expected.end(), row.shown.begin(), row.shown.end());
        EXPECT_EQ(shown, expected);
        const std::vector<uint8_t> commands = working->commandSequence();
        EXPECT_EQ(std::count(commands.begin(), commands.end(), VirtualConverter::getFWInfoCode), 1);
        EXPECT_EQ(outlets().TournamentButton->isChecked(), !start);
    }
}

TEST_F(UpdateRunTest, ImagesTheConverterCannotTakeFailBeforeAnyDataPacket) {
    addRelease("V0.0.0.0", QByteArray());
    addRelease("V0.0.2.0", patternedImage(20));
    addRelease("V9.9.9.9", patternedImage(FirmwareTransfer::maximumImageLength + 1));
    startWindow();

    EXPECT_EQ(update("V0.0.0.0"), Status::UPGRADE_FW_FAILED);
    EXPECT_EQ(statuses, (std::vector<Status>{Status::UPGRADE_FW, Status::UPGRADE_FW_FAILED}));
    EXPECT_EQ(dataPacketsSent(), 0u);
    ASSERT_EQ(alerts().size(), 1u);
    EXPECT_EQ(alerts()[0].informativeText, "The firmware image is empty.");

    // Shorter than a first packet: sent padded in it.
    EXPECT_EQ(update("V0.0.2.0"), Status::UPGRADE_FW_FINISH);
    EXPECT_EQ(dataPacketsSent(), 1u);
    EXPECT_EQ(converter->receivedImage(), patternedImage(20));

    EXPECT_EQ(update("V9.9.9.9"), Status::UPGRADE_FW_FAILED);
    EXPECT_EQ(dataPacketsSent(), 0u);
    EXPECT_EQ(alerts().size(), 1u);
}

TEST_F(UpdateRunTest, EachFailureShowsItsOwnReasonUntilConfirm) {
    // 1000 bytes take 18 data packets; the synchronisation uses packet numbers 0 and 1, data
    // packet n goes out as number 2n.
    const QByteArray image = patternedImage(1000);
    const uint16_t sum = VirtualConverter::checksum16(image);
    addRelease("V2.0.0.0", image);
    addRelease("V0.0.0.0", QByteArray());
    startWindow();
    const QString retry =
        " Plug the converter in again in loader mode, press Confirm and start again.";
    auto faults = [](auto change) {
        VirtualConverter::Faults faults;
        change(faults);
        return faults;
    };
    auto hex = [](int value) { return "0x" + QString::number(value, 16).toUpper(); };
    struct Row {
        const char* release;
        VirtualConverter::Faults faults;
        QString reason;
    };
    const Row rows[] = {
        {"V2.0.0.0", faults([](auto& f) { f.noReplyFromPackNo = 6; }),
         "The converter stopped answering at packet 3 of 18." + retry},
        {"V2.0.0.0", faults([](auto& f) { f.wrongChecksumAtPackNo = 10; }),
         "The converter reported a wrong checksum for packet 5 of 18." + retry},
        {"V2.0.0.0", faults([](auto& f) { f.wrongFinalChecksum = true; }),
         "The final checksum was " + hex(sum + 1) + " where " + hex(sum) + " was expected." +
             retry},
        {"V0.0.0.0",
         {},
         "The firmware image of this version is empty. Press Confirm and choose another version."},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.reason.toStdString());
        converter->setFaults(row.faults);
        ASSERT_EQ(update(row.release), Status::UPGRADE_FW_FAILED);
        EXPECT_EQ(outlets().PromptText->text(), "The firmware update failed.");
        EXPECT_TRUE(outlets().FailureReason->isVisible());
        EXPECT_EQ(outlets().FailureReason->text(), row.reason);
        converter->setFaults({});
        ASSERT_TRUE(confirmAndWaitForDevice());
        EXPECT_FALSE(outlets().FailureReason->isVisible());
        EXPECT_EQ(controller().mainVM.FailureReason.value(), "");
    }

    // Pulled out while packet 4 awaits its reply: the converter is gone, not silent. (The fault
    // counts the packets a converter has ever answered: a fresh one.)
    window.reset();
    startWindow();
    SimulatedDeviceFaults unplugging;
    unplugging.unplugAwaitingDataPacket = 4;
    window->hidService.setDeviceFaults(device, unplugging);
    ASSERT_EQ(update("V2.0.0.0"), Status::UPGRADE_FW_FAILED);
    EXPECT_EQ(outlets().FailureReason->text(),
              "The converter was unplugged during the update, at packet 4 of 18." + retry);
    outlets().CommonButton->click();
    EXPECT_EQ(window->status(), Status::NORMAL);
    EXPECT_FALSE(outlets().FailureReason->isVisible());
}

TEST_F(UpdateRunTest, StartDoesNothingWithoutAnImageAVariantOrItsExactTitle) {
    resources.addFile("data/QK100201/standard/V3.0.0.0/tmp.txt", "V3.0.0.0,0x10,tmp.hex\r\n");
    startWindow();
    select("V3.0.0.0");
    outlets().CommonButton->click();
    window->runFor(200ms);
    EXPECT_TRUE(statuses.empty());
    EXPECT_EQ(converter->commandSequence(), (std::vector<uint8_t>{0xA4, 0xA6}));
    EXPECT_TRUE(alerts().empty());
    EXPECT_EQ(outlets().CommonButton->title(), "START");

    FlatButton lowerCase(QRect(0, 0, 10, 10), nullptr);
    lowerCase.setTitle("start");
    controller().CommonButton(&lowerCase);
    window->runFor(100ms);
    EXPECT_TRUE(statuses.empty());
    EXPECT_TRUE(window->diagnostics.contains("[" + ViewController::kClassName +
                                             "][119][CommonButton(_:)] ---> start"));
}

TEST(UpdateRunConfigurationTest, StartDoesNothingWhenTheConfigurationDoesNotSayOnlineOrOffline) {
    TestResources resources;
    QString xml = TestConfig{}.xml();
    xml.remove("<IsOnline>false</IsOnline>");
    resources.writeRawConfig(xml.toUtf8().toBase64());
    WindowHarness window(resources);
    window.start();
    const HidDeviceRef device = window.plugIn();
    ASSERT_TRUE(window.waitForStatus(UIStatus::DEVICE_PLUG));
    window.outlets().CommonButton->click();
    window.runFor(200ms);
    EXPECT_EQ(window.status(), UIStatus::DEVICE_PLUG);
    EXPECT_EQ(window.hidService.converter(device)->commandSequence(),
              (std::vector<uint8_t>{0xA4, 0xA6}));
}

// Online: the version list and the image come from a real FTP server on loopback, through curl.
class OnlineUpdateRunTest : public UpdateRunTest {
protected:
    void SetUp() override { ASSERT_TRUE(server.start()) << server.errorText().toStdString(); }
    void startOnline() {
        TestConfig config;
        config.online = true;
        WindowHarness::Options options;
        options.ftpHost = server.host();
        startWindow(config, options);
    }
    LoopbackFtpServer server;
};

TEST_F(OnlineUpdateRunTest, DownloadsTheChosenLinesImageAndSendsIt) {
    const QByteArray image = patternedImage(700);
    // A line without a version comes first: the item must still name its own line.
    server.addFile("QK100201.txt", "// Pro releases\r\n"
                                   "nightly,0x0001,nightly.hex\r\n"
                                   "V2.0.0," +
                                       checksumField(VirtualConverter::checksum16(image)) +
                                       ",fw200.hex\r\n");
    server.addFile("nightly.hex", hexText(patternedImage(60)));
    server.addFile("fw200.hex", hexText(image));
    startOnline();
    // The comment line is no release; the versionless one is, but offers no item.
    EXPECT_EQ(controller().onlineFwInfoArray.size(), 2);
    EXPECT_EQ(window->popupItems(), QStringList{"V2.0.0"});
    select("V2.0.0");
    ASSERT_TRUE(startAndWaitForResult());
    EXPECT_EQ(statuses, (std::vector<Status>{Status::FTP_DOWNLOAD, Status::UPGRADE_FW,
                                             Status::UPGRADE_FW_FINISH}));
    EXPECT_EQ(converter->receivedImage(), image);
    EXPECT_EQ(converter->endUpgradePackNo(), controller().identity.packNo);
}

TEST_F(OnlineUpdateRunTest, AnImageThatCannotBeFetchedShowsTheDownloadFailure) {
    // A missing image, a line without an image field, a line without a checksum field (which
    // therefore names no image either).
    server.addFile("QK100201.txt", "V2.0.0,0x10,missing.hex\r\n"
                                   "V2.1.0,0x10\r\n"
                                   "V2.2.0,fw.hex\r\n");
    server.addFile("fw.hex", hexText(patternedImage(100)));
    startOnline();
    // Only a download that was tried has curl's reason to show.
    const std::pair<QString, QString> rows[] = {
        {"V2.0.0", "The download of missing.hex failed: the file was not found on the server, or "
                   "access was refused. Check the connection to the server, press Confirm and "
                   "try again."},
        {"V2.1.0", ""},
        {"V2.2.0", ""}};
    for (const auto& [version, reason] : rows) {
        SCOPED_TRACE(version.toStdString());
        select(version);
        ASSERT_TRUE(startAndWaitForResult());
        EXPECT_EQ(statuses, (std::vector<Status>{Status::FTP_DOWNLOAD, Status::DOWNLOAD_FAILED}));
        EXPECT_EQ(outlets().FailureReason->text(), reason);
        EXPECT_EQ(outlets().FailureReason->isVisible(), !reason.isEmpty());
        // Nothing reached the converter: no transfer, no end of upgrade.
        EXPECT_TRUE(converter->commandSequence().empty());
        statuses.clear();
        ASSERT_TRUE(confirmAndWaitForDevice());
        EXPECT_EQ(statuses.front(), Status::NORMAL);
        EXPECT_FALSE(outlets().FailureReason->isVisible());
    }
}

TEST_F(OnlineUpdateRunTest, ARemovalDuringTheDownloadSearchesOnlyUntilTheTransferBegins) {
    const QByteArray image = patternedImage(1000);
    server.addFile("QK100201.txt",
                   "V2.0.0," + checksumField(VirtualConverter::checksum16(image)) + ",fw.hex\r\n");
    server.addFile("fw.hex", hexText(image));
    startOnline();
    select("V2.0.0");
    // Long enough for a search tick to fall inside the transfer if the search were running.
    SimulatedDeviceFaults slow;
    slow.replyDelay = 40ms;
    window->hidService.setDeviceFaults(device, slow);

    // The removal is reported as the download begins.
    int ticksAtTransfer = -1;
    Cancellable removal = controller().mainVM.CurrentUIStatus.subscribe([&](const UIStatus& s) {
        if (s == Status::FTP_DOWNLOAD)
            controller().hidDeviceRemoved(device);
        if (s == Status::UPGRADE_FW)
            ticksAtTransfer = window->searchTicks();
    });
    ASSERT_TRUE(startAndWaitForResult());
    EXPECT_EQ(statuses, (std::vector<Status>{Status::FTP_DOWNLOAD, Status::NORMAL,
                                             Status::UPGRADE_FW, Status::UPGRADE_FW_FINISH}));
    EXPECT_EQ(window->searchTicks(), ticksAtTransfer);
    EXPECT_FALSE(controller().usbScanner.isRunning());
    EXPECT_EQ(converter->receivedImage(), image);
}
