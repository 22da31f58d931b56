#include <gtest/gtest.h>

#include <QRandomGenerator>
#include <QTimer>
#include <algorithm>

#include "RemovalToFailureWatch.h"
#include "WindowHarness.h"
#include "protocol/FirmwareTransfer.h"

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
        window.reset(); // one program, and one diagnostic capture, at a time
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

TEST_F(UpdateRunTest, StartQueuesOneUpdateThatEndsTheUpgradeAndLeavesTheSearchOff) {
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
    EXPECT_TRUE(alerts().empty());

    window->runFor(700ms);
    EXPECT_EQ(window->searchTicks(), ticks);
    EXPECT_EQ(window->status(), Status::UPGRADE_FW_FINISH);
}

// One converter, one release after another: each result with its alert, its reason until
// "Confirm", and the end of the upgrade sent before the result shows.
TEST_F(UpdateRunTest, EachResultShowsItsAlertAndReasonAndEndsTheUpgradeFirst) {
    const QByteArray image = patternedImage(1000); // 18 data packets, packet n numbered 2n
    const QByteArray small = patternedImage(300);
    QByteArray sumAB(100, '\0'); // its bytes sum to 0x00AB
    sumAB[60] = static_cast<char>(0xAB);
    const QString retry =
        " Plug the converter in again in loader mode, press Confirm and start again.";
    const QString chooseAnother = " Press Confirm and choose another version.";
    auto faults = [](auto change) {
        VirtualConverter::Faults faults;
        change(faults);
        return faults;
    };
    struct Row {
        QString version;
        QByteArray image;
        std::optional<int64_t> checkSum;
        VirtualConverter::Faults faults;
        size_t dataPackets;
        QString alert;                    // empty: none
        QString reason;                   // empty: the update succeeded
        std::optional<int64_t> endPackNo; // absent: whatever the counter was
    };
    const VirtualConverter::Faults none;
    const Row rows[] = {
        {"V2.0.0.0", image, VirtualConverter::checksum16(image),
         faults([](auto& f) { f.noReplyFromPackNo = 6; }), 3, "",
         "The converter stopped answering at packet 3 of 18." + retry, 7},
        {"V2.0.0.0", image, VirtualConverter::checksum16(image),
         faults([](auto& f) { f.wrongChecksumAtPackNo = 10; }), 5, "Checksum is wrong.",
         "The converter reported a wrong checksum for packet 5 of 18." + retry, 12},
        {"V2.1.0.0", sumAB, 0xAC, none, 2, "Final Checksum: 0x  AB\nFinal Checksum is wrong.",
         "The final checksum was 0x00AB where 0x00AC was expected." + retry, std::nullopt},
        {"V2.2.0.0", small, VirtualConverter::checksum16(small), none, 6, "", "", std::nullopt},
        // The same image from a release that names no checksum: the one before must not stand in.
        {"V2.3.0.0", small, std::nullopt, none, 6,
         "Final Checksum: 0x92E2\nFinal Checksum is wrong.",
         "The final checksum was 0x92E2, and this version gives none to compare it with." +
             chooseAnother,
         std::nullopt},
        // Images the converter cannot take fail before any data packet; a short one is padded.
        {"V0.0.0.0", QByteArray(), 0, none, 0, "The firmware image is empty.",
         "The firmware image of this version is empty." + chooseAnother, std::nullopt},
        {"V9.9.9.9", patternedImage(FirmwareTransfer::maximumImageLength + 1), 0, none, 0,
         "The firmware image is too large (1834945 bytes; the converter takes at most 1834944).",
         "The firmware image is too large: 1834945 bytes, where the converter takes at most "
         "1834944." +
             chooseAnother,
         std::nullopt},
        {"V0.0.2.0", patternedImage(20), VirtualConverter::checksum16(patternedImage(20)), none, 1,
         "", "", std::nullopt},
    };
    for (const Row& row : rows)
        addRelease(row.version, row.image, row.checkSum);
    startWindow();
    std::optional<std::pair<size_t, std::optional<int64_t>>> atResult; // alerts, end command
    Cancellable watch = controller().mainVM.CurrentUIStatus.subscribe([&](const UIStatus& s) {
        if (s == Status::UPGRADE_FW_FINISH || s == Status::UPGRADE_FW_FAILED)
            atResult.emplace(alerts().size(), converter->endUpgradePackNo());
    });
    for (const Row& row : rows) {
        SCOPED_TRACE(row.version.toStdString() + " " + row.reason.toStdString());
        converter->setFaults(row.faults);
        const Status result =
            row.reason.isEmpty() ? Status::UPGRADE_FW_FINISH : Status::UPGRADE_FW_FAILED;
        ASSERT_EQ(update(row.version), result);
        EXPECT_EQ(statuses, (std::vector<Status>{Status::UPGRADE_FW, result}));
        EXPECT_EQ(dataPacketsSent(), row.dataPackets);
        EXPECT_EQ(converter->commandSequence().back(), VirtualConverter::endUpgradeFWCode);
        EXPECT_EQ(converter->endUpgradePackNo(), controller().identity.packNo);
        if (row.endPackNo) {
            EXPECT_EQ(converter->endUpgradePackNo(), row.endPackNo);
        }
        EXPECT_EQ(atResult, std::make_pair(alerts().size(), converter->endUpgradePackNo()));
        EXPECT_EQ(alerts().empty(), row.alert.isEmpty());
        if (!alerts().empty()) {
            EXPECT_EQ(alerts().back(), (Alert{"Update Failed", row.alert, "OK"}));
        }
        EXPECT_EQ(outlets().FailureReason->text(), row.reason);
        EXPECT_EQ(outlets().FailureReason->isVisible(), !row.reason.isEmpty());
        if (row.reason.isEmpty()) {
            EXPECT_EQ(converter->receivedImage(), row.image);
        } else {
            EXPECT_EQ(outlets().PromptText->text(), "The firmware update failed.");
        }
        converter->setFaults({});
        ASSERT_TRUE(confirmAndWaitForDevice());
        EXPECT_FALSE(outlets().FailureReason->isVisible());
        EXPECT_EQ(controller().mainVM.FailureReason.value(), "");
    }
}

// Pulled out right after a reply, the converter fails the next write; pulled out while a packet
// waits for its reply, the removal ends that wait. Either way the failure shows no later than
// the turn of the event loop that brings the removal, no end-of-upgrade command is sent, and the
// failure stays on screen until "Confirm".
TEST_F(UpdateRunTest, UnpluggingDuringTheTransferFailsAtOnceAndLeavesTheFailureShowing) {
    addRelease("V2.0.0.0", patternedImage(1000)); // 18 data packets
    const int awaited = QRandomGenerator::global()->bounded(1, 19);
    struct Row {
        const char* unplug;
        SimulatedDeviceFaults faults;
        size_t packets;
        std::optional<int> turnsFromRemovalToFailure; // absent: before the removal arrives
        QString reason; // a write that fails before the removal is known: no answer
    };
    const SimulatedDeviceFaults later; // set below
    Row rows[] = {
        {"after answering packet 5", later, 5, std::nullopt,
         "The converter stopped answering at packet 6 of 18."},
        {"while a random packet awaits its reply", later, size_t(awaited), 0,
         QString("The converter was unplugged during the update, at packet %1 of 18.")
             .arg(awaited)},
    };
    rows[0].faults.unplugAfterDataPackets = 5;
    rows[1].faults.unplugAwaitingDataPacket = awaited;
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.unplug << ", packet " << row.packets);
        startWindow();
        select("V2.0.0.0");
        window->hidService.setDeviceFaults(device, row.faults);
        const RemovalToFailureWatch watch(controller());
        ASSERT_TRUE(startAndWaitForResult());
        EXPECT_EQ(statuses, (std::vector<Status>{Status::UPGRADE_FW, Status::UPGRADE_FW_FAILED}));
        EXPECT_EQ(watch.turnsFromRemovalToFailure(), row.turnsFromRemovalToFailure);
        EXPECT_EQ(dataPacketsSent(), row.packets);
        // Tried only while the removal is not yet known; it never reaches the converter.
        EXPECT_EQ(window->diagnostics.lines().filter("[Commands][52]").size(),
                  row.turnsFromRemovalToFailure ? 0 : 1);
        EXPECT_NE(converter->commandSequence().back(), VirtualConverter::endUpgradeFWCode);
        EXPECT_TRUE(alerts().empty());
        EXPECT_EQ(outlets().FailureReason->text(),
                  row.reason + " Plug the converter in again in loader mode, press Confirm and "
                               "start again.");
        const QString prompt = outlets().PromptText->text();
        const int ticks = window->searchTicks();
        window->runFor(700ms);
        EXPECT_EQ(window->status(), Status::UPGRADE_FW_FAILED);
        EXPECT_EQ(outlets().PromptText->text(), prompt);
        EXPECT_EQ(window->searchTicks(), ticks);
        outlets().CommonButton->click();
        EXPECT_EQ(window->status(), Status::NORMAL);
        EXPECT_FALSE(outlets().FailureReason->isVisible());
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

TEST_F(UpdateRunTest, StartDoesNothingWithoutAnImage) {
    resources.addFile("data/QK100201/standard/V3.0.0.0/tmp.txt", "V3.0.0.0,0x10,tmp.hex\r\n");
    startWindow();
    select("V3.0.0.0");
    outlets().CommonButton->click();
    window->runFor(200ms);
    EXPECT_TRUE(statuses.empty());
    EXPECT_EQ(converter->commandSequence(), (std::vector<uint8_t>{0xA4, 0xA6}));
    EXPECT_TRUE(alerts().empty());
}
