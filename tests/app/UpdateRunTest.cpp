#include <algorithm>

#include "RemovalToFailureWatch.h"
#include "WindowHarness.h"
#include "protocol/FirmwareTransfer.h"

using namespace std::chrono_literals;
using Status = UIStatus;

class UpdateRunTest : public WindowTest {
protected:
    void select(const QString& version) {
        outlets().PopUpFwVerItems->setCurrentIndex(
            outlets().PopUpFwVerItems->findData(version, ViewController::kVersionRole));
    }
    const std::vector<Alert>& alerts() { return window->alerts.alerts; }
};

// Each result with its alert and reason until "Confirm"; the end is sent first unless unplugged.
TEST_F(UpdateRunTest, EachResultShowsItsAlertAndReasonAndEndsTheUpgradeFirst) {
    const QByteArray image = patternedImage(1000); // 18 data packets, packet n numbered 2n
    const QByteArray small = patternedImage(300);
    QByteArray sumAB(100, '\0'); // its bytes sum to 0x00AB
    sumAB[60] = static_cast<char>(0xAB);
    const QString plugInAgain =
        " Plug the converter in again in loader mode, press Confirm and start again.";
    const QString retry = " Unplug the converter, plug it in again in loader mode, press Confirm "
                          "and start again.";
    const QString chooseAnother = " Press Confirm and choose another version.";
    const int64_t sum = VirtualConverter::checksum16(image);
    const VirtualConverter::Faults none, silentFrom6{.noReplyFromPackNo = 6},
        wrongAt10{.wrongChecksumAtPackNo = 10};
    const SimulatedDeviceFaults pulledAfterReply{.unplugAfterDataPackets = 5},
        pulledAwaitingOne{.unplugAwaitingDataPacket = 9};
    struct Row {
        QString version;
        QByteArray image;
        std::optional<int64_t> checkSum;
        long dataPackets;
        QString alert, reason;            // empty: none; the update succeeded
        std::optional<int64_t> endPackNo; // absent: no end command reached the converter
        VirtualConverter::Faults faults{};
        SimulatedDeviceFaults link{};
    };
    const Row rows[] = {
        // The version the converter runs, marked in the pop-up, is still the one written.
        {"V1.0.0.5", image, sum, 18, "", "", 38},
        {"V2.0.0.0", image, sum, 3, "",
         "The converter stopped answering at packet 3 of 18." + retry, 7, silentFrom6},
        {"V2.0.0.0", image, sum, 5, "Checksum is wrong.",
         "The converter reported a wrong checksum for packet 5 of 18." + retry, 12, wrongAt10},
        {"V2.1.0.0", sumAB, 0xAC, 2, "Final Checksum: 0x  AB\nFinal Checksum is wrong.",
         "The final checksum was 0x00AB where 0x00AC was expected." + retry, 6},
        {"V2.2.0.0", small, VirtualConverter::checksum16(small), 6, "", "", 14},
        // The same image from a release that names no checksum: the one before must not stand in.
        {"V2.3.0.0", small, std::nullopt, 6, "Final Checksum: 0x92E2\nFinal Checksum is wrong.",
         "The final checksum was 0x92E2, and this version gives none to compare it with." +
             chooseAnother,
         14},
        // Images the converter cannot take fail before any data packet.
        {"V0.0.0.0", QByteArray(), 0, 0, "", "The firmware image is empty." + chooseAnother, 4},
        {"V9.9.9.9", patternedImage(FirmwareTransfer::maximumImageLength + 1), 0, 0, "",
         "The firmware image is too large: 1834945 bytes, where the converter takes at most "
         "1834944." +
             chooseAnother,
         4},
        // Pulled out after a reply the next write fails; awaiting one, the removal ends the wait.
        {"V2.0.0.0", image, sum, 5, "",
         "The converter was unplugged at packet 6 of 18." + plugInAgain, std::nullopt, none,
         pulledAfterReply},
        {"V2.0.0.0", image, sum, 9, "",
         "The converter was unplugged at packet 9 of 18." + plugInAgain, std::nullopt, none,
         pulledAwaitingOne},
    };
    for (const Row& row : rows)
        resources.addRelease(row.version, row.image, row.checkSum);
    resources.addFile("data/QK100201/standard/V3.0.0.0/tmp.txt", "V3.0.0.0,0x10,tmp.hex\r\n");
    resources.writeConfig({});
    startWindow();
    HidDeviceRef device;
    std::shared_ptr<VirtualConverter> converter;
    std::optional<std::pair<size_t, std::optional<int64_t>>> atResult; // alerts, end command
    const Cancellable resultWatch = controller().mainVM.CurrentUIStatus.subscribe([&](Status s) {
        if (s == Status::UPGRADE_FW_FINISH || s == Status::UPGRADE_FW_FAILED)
            atResult.emplace(alerts().size(), converter->endUpgradePackNo());
    });
    const auto press = [&] {
        window->statuses.clear();
        converter->clearHistory();
        window->alerts.alerts.clear();
        outlets().CommonButton->click();
        outlets().CommonButton->click(); // a double click queues one update
        EXPECT_TRUE(window->statuses.empty());
    };
    const auto plugIn = [&] {
        device = window->plugIn("QK100201", 0x01000005);
        converter = window->hidService.converter(device);
        ASSERT_TRUE(window->waitForStatus(Status::DEVICE_PLUG));
    };
    plugIn();
    // A release without an image: START does nothing.
    select("V3.0.0.0");
    press();
    runEventLoopFor(200ms);
    EXPECT_TRUE(window->statuses.empty());
    EXPECT_TRUE(converter->commandSequence().empty());

    for (const Row& row : rows) {
        SCOPED_TRACE(row.version.toStdString() + " " + row.reason.toStdString());
        if (row.link.unplugAfterDataPackets || row.link.unplugAwaitingDataPacket) {
            window->hidService.unplug(device); // a fresh converter counts packets from the start
            ASSERT_TRUE(window->waitForStatus(Status::NORMAL));
        }
        if (!window->hidService.isAttached(device))
            plugIn();
        converter->setFaults(row.faults);
        window->hidService.setDeviceFaults(device, row.link);
        select(row.version);
        const RemovalToFailureWatch watch(controller());
        const qsizetype endsTried = window->diagnostics.lines().filter("[Commands][52]").size();
        press();
        const Status result =
            row.reason.isEmpty() ? Status::UPGRADE_FW_FINISH : Status::UPGRADE_FW_FAILED;
        ASSERT_TRUE(window->waitForStatus(result));
        EXPECT_EQ(window->statuses, (std::vector<Status>{Status::UPGRADE_FW, result}));
        const std::vector<uint8_t> commands = converter->commandSequence();
        EXPECT_EQ(std::ranges::count(commands, VirtualConverter::firstDataCode) +
                      std::ranges::count(commands, VirtualConverter::continuationDataCode),
                  row.dataPackets);
        EXPECT_TRUE(!row.endPackNo || controller().identity.packNo == *row.endPackNo);
        EXPECT_EQ(atResult, std::make_pair(alerts().size(), row.endPackNo));
        const int removalTurns = row.link.unplugAwaitingDataPacket ? 0 : -1; // -1: no removal first
        EXPECT_EQ(watch.turnsFromRemovalToFailure().value_or(-1), removalTurns);
        // Tried only while the removal is not yet known; it never reaches a converter that is gone.
        EXPECT_EQ(window->diagnostics.lines().filter("[Commands][52]").size() - endsTried,
                  removalTurns < 0 ? 1 : 0);
        const std::vector<Alert> alert{{"Update Failed", row.alert, "OK"}};
        EXPECT_EQ(alerts(), row.alert.isEmpty() ? std::vector<Alert>() : alert);
        const QString installed = row.version + ", Standard mode, is now on the converter.";
        EXPECT_EQ(outlets().FailureReason->text(), row.reason.isEmpty() ? installed : row.reason);
        EXPECT_TRUE(outlets().FailureReason->isVisible());
        EXPECT_TRUE(!row.reason.isEmpty() || converter->receivedImage() == row.image);
        // Nothing searches until "Confirm".
        const int ticks = window->searchTicks();
        runEventLoopFor(700ms);
        EXPECT_EQ(window->status(), result);
        EXPECT_EQ(window->searchTicks(), ticks);
        outlets().CommonButton->click();
        EXPECT_FALSE(outlets().FailureReason->isVisible());
        EXPECT_EQ(controller().mainVM.FailureReason.value(), "");
        ASSERT_TRUE(window->waitForStatus(
            window->hidService.isAttached(device) ? Status::DEVICE_PLUG : Status::NORMAL));
    }
}
