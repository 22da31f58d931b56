#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QScreen>
#include <QTimer>

#include "WindowHarness.h"
#include "support/DiagnosticLog.h"
#include "support/LoopbackFtpServer.h"

using namespace std::chrono_literals;
using Behaviour = LoopbackFtpServer::Behaviour;

class OnlineDownloadTest : public WindowTest {
protected:
    // A release list naming one image, with the checksum the virtual converter will report.
    void startWindow(Behaviour behaviour, const QByteArray& image, const QByteArray& listHead = "",
                     const QString& executable = "/opt/velmar/velmar-converter-update") {
        server = std::make_unique<LoopbackFtpServer>(behaviour);
        ASSERT_TRUE(server->start()) << server->errorText().toStdString();
        server->addFile("QK100201.txt", listHead + "V2.0.0," +
                                            checksumField(VirtualConverter::checksum16(image)) +
                                            ",fw.hex\r\n");
        server->addFile("fw.hex", hexText(image));
        resources.writeConfig({.online = true});
        WindowTest::startWindow({.executablePath = executable, .ftpHost = server->host()});
        window->statuses.clear();
    }

    // The window's backing store, as painted so far, is what it would show when painted now.
    bool paintedAsShown() {
        QMainWindow& main = window->program->windowController().window();
        const QImage shown = QGuiApplication::primaryScreen()->grabWindow(main.winId()).toImage();
        return shown.convertToFormat(QImage::Format_RGB32) ==
               main.grab().toImage().convertToFormat(QImage::Format_RGB32);
    }

    std::unique_ptr<LoopbackFtpServer> server;
};

// `asCurlStarts` as curl starts the next download, `probe` on the event loop's first turn in it.
struct DownloadStartHook {
    void arm(std::function<void()> inside, std::function<void()> atStart = {}) {
        probe = std::move(inside);
        asCurlStarts = std::move(atStart);
    }
    std::function<void()> probe, asCurlStarts;
    const ScopedDiagnosticCapture starts{[this](const QString& line) {
        if (!probe || !line.startsWith(QStringLiteral("🚀 FTP")))
            return;
        if (asCurlStarts)
            std::exchange(asCurlStarts, {})();
        QTimer::singleShot(0, std::exchange(probe, {}));
    }};
};

// Every file is held back two seconds: the window is painted as curl starts; nothing else starts.
TEST_F(OnlineDownloadTest, TheScreenIsPaintedBeforeTheFileArrivesAndNoControlStartsAnything) {
    const QByteArray image(300, 'i');
    // The line without a version comes first: the item offered must still name its own line.
    startWindow(Behaviour::AnswersAfterTwoSeconds, image,
                "// Pro releases\r\nnightly,0x0001,nightly.hex\r\n");
    DownloadStartHook downloadStart;

    // Pulled out while its version list downloads: the search screen must stay, the search go on.
    HidDeviceRef device;
    downloadStart.arm([&] { window->hidService.unplug(device); });
    device = window->plugIn("QK100201");
    ASSERT_TRUE(window->runUntil(
        [&] { return !window->statuses.empty() && controller().waitGate.isOpen(); }));
    window->runFor(100ms);
    EXPECT_EQ(window->status(), UIStatus::NORMAL);
    EXPECT_TRUE(controller().usbScanner.isRunning());

    // The version list, which the identification downloads.
    bool listPending = false, painted = false;
    downloadStart.arm(
        [&] {
            listPending = window->popupItems().isEmpty() && !controller().waitGate.isOpen();
            // Each would start work of its own in the middle of the download.
            outlets().TournamentButton->click();
            outlets().CommonButton->click();
        },
        [&] { painted = paintedAsShown(); });
    window->statuses.clear();
    device = window->plugIn("QK100201");
    ASSERT_TRUE(window->runUntil([&] { return controller().identity.device == device; }));
    EXPECT_TRUE(listPending);
    EXPECT_TRUE(painted);
    EXPECT_EQ(window->status(), UIStatus::DEVICE_PLUG);
    EXPECT_TRUE(outlets().StandardButton->isChecked());
    EXPECT_EQ(window->popupItems(), QStringList{"V2.0.0"});
    window->runFor(100ms); // a queued START would begin now
    EXPECT_EQ(window->statuses, std::vector<UIStatus>{UIStatus::DEVICE_PLUG});

    // The image, which START downloads.
    bool imagePending = false;
    painted = false;
    downloadStart.arm(
        [&] {
            imagePending = window->status() == UIStatus::FTP_DOWNLOAD &&
                           window->hidService.converter(device)->commandSequence().empty();
        },
        [&] { painted = paintedAsShown(); });
    window->hidService.converter(device)->clearHistory();
    outlets().CommonButton->click();
    ASSERT_TRUE(window->waitForStatus(UIStatus::UPGRADE_FW_FINISH));
    EXPECT_TRUE(imagePending);
    EXPECT_TRUE(painted);
    EXPECT_EQ(window->hidService.converter(device)->receivedImage(), image);
}

// Closing is refused during the update; a search restarted by a removal stops for the transfer.
TEST_F(OnlineDownloadTest, ClosingDuringTheUpdateKeepsTheWindowAndTheUpdateThenClosingQuits) {
    const QByteArray image(1000, 'i');
    for (const UIStatus closedIn : {UIStatus::FTP_DOWNLOAD, UIStatus::UPGRADE_FW}) {
        SCOPED_TRACE(static_cast<int>(closedIn));
        const bool removal = closedIn == UIStatus::UPGRADE_FW;
        startWindow(Behaviour::Normal, image);
        const HidDeviceRef device = window->plugIn("QK100201");
        window->hidService.setDeviceFaults(
            device, with(&SimulatedDeviceFaults::replyDelay, 40ms)); // a tick falls inside
        ASSERT_TRUE(window->waitForStatus(UIStatus::DEVICE_PLUG));
        QMainWindow& mainWindow = window->program->windowController().window();
        // Closed on the first turn of the event loop in that status.
        QString promptAfterClose;
        bool queued = false;
        int ticksAtTransfer = -1;
        const Cancellable closing =
            controller().mainVM.CurrentUIStatus.subscribe([&, closedIn](const UIStatus& now) {
                if (removal && now == UIStatus::FTP_DOWNLOAD)
                    controller().hidDeviceRemoved(device);
                if (now == UIStatus::UPGRADE_FW)
                    ticksAtTransfer = window->searchTicks();
                if (now != closedIn || std::exchange(queued, true))
                    return;
                QTimer::singleShot(0, &controller(), [&] {
                    mainWindow.close();
                    promptAfterClose = outlets().PromptText->text();
                });
            });
        window->statuses.clear();
        outlets().CommonButton->click();
        ASSERT_TRUE(window->waitForStatus(UIStatus::UPGRADE_FW_FINISH));
        std::vector<UIStatus> expected{UIStatus::FTP_DOWNLOAD, UIStatus::UPGRADE_FW,
                                       UIStatus::UPGRADE_FW_FINISH};
        if (removal)
            expected.insert(expected.begin() + 1, UIStatus::NORMAL);
        EXPECT_EQ(window->statuses, expected);
        EXPECT_EQ(window->searchTicks(), ticksAtTransfer);
        EXPECT_FALSE(controller().usbScanner.isRunning());
        EXPECT_EQ(promptAfterClose, "Please wait until the update has finished: closing the window "
                                    "now could leave the converter without working firmware.");
        EXPECT_TRUE(mainWindow.isVisible());
        EXPECT_EQ(window->terminateRequests, 0);
        EXPECT_EQ(window->hidService.converter(device)->receivedImage(), image);

        mainWindow.close();
        EXPECT_TRUE(window->runUntil([&] { return window->terminateRequests == 1; }));
    }
}

// Beta lists for a beta build; a failed download shows until "Confirm"; an unknown part, nothing.
TEST_F(OnlineDownloadTest, FailedDownloadsAndUnknownConvertersLeaveNothingToStart) {
    startWindow(Behaviour::Normal, "", "", "/opt/velmar/velmar-converter-update-beta");
    const HidDeviceRef device = window->plugIn("QK100201");
    ASSERT_TRUE(window->runUntil([&] { return controller().identity.device != nullptr; }));
    // The failure is set while the device screen is being shown, and it is what stays.
    EXPECT_EQ(window->status(), UIStatus::DOWNLOAD_FAILED);
    EXPECT_EQ(outlets().PromptText->text(), "Download file failed.");
    EXPECT_TRUE(window->popupItems().isEmpty());
    EXPECT_FALSE(controller().chosenRelease(true).release);

    server->addFile("QK100201_Beta.txt", "V3.0.0b,0x04,missing.hex\r\n");
    server->addFile("QK100201_Beta_TE.txt", "V4.0.0b,0x05,e.hex\r\n");
    outlets().CommonButton->click();
    ASSERT_TRUE(window->waitForStatus(UIStatus::DEVICE_PLUG));
    outlets().TournamentButton->click();
    EXPECT_EQ(window->popupItems(), QStringList{"V4.0.0b"});
    outlets().StandardButton->click();
    window->statuses.clear();
    window->hidService.converter(device)->clearHistory();
    outlets().CommonButton->click();
    ASSERT_TRUE(window->waitForStatus(UIStatus::DOWNLOAD_FAILED));
    EXPECT_EQ(window->statuses,
              (std::vector<UIStatus>{UIStatus::FTP_DOWNLOAD, UIStatus::DOWNLOAD_FAILED}));
    EXPECT_EQ(outlets().FailureReason->text(),
              "The download of missing.hex failed: the file was not found on the server, or access "
              "was refused. Check the connection to the server, press Confirm and try again.");
    EXPECT_TRUE(outlets().FailureReason->isVisible());
    EXPECT_TRUE(window->hidService.converter(device)->commandSequence().empty());

    window->hidService.unplug(device);
    ASSERT_TRUE(window->waitForStatus(UIStatus::NORMAL));
    EXPECT_FALSE(outlets().FailureReason->isVisible());
    window->plugIn("QK999901");
    ASSERT_TRUE(window->waitForStatus(UIStatus::DEVICE_PLUG));
    EXPECT_EQ(controller().mainVM.DeviceName.value(), "");
    EXPECT_TRUE(window->popupItems().isEmpty());
    EXPECT_EQ(outlets().PromptText->text(), "This converter (part number QK999901) is not "
                                            "supported by this version of the updater.");
    EXPECT_FALSE(outlets().CommonButton->isVisible());
    outlets().CommonButton->click();
    window->runFor(300ms);
    EXPECT_EQ(window->status(), UIStatus::DEVICE_PLUG);
}
