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

    // Another converter pulled out while the identified one's version list downloads: the
    // device screen shows, then the search screen, and the search finds the converter again.
    HidDeviceRef other;
    bool listPending = false, painted = false;
    downloadStart.arm([&] {
        window->hidService.unplug(other);
        // The version list of the second identification.
        downloadStart.arm(
            [&] {
                listPending = window->popupItems().isEmpty() && !controller().entryQueue.isIdle();
                // Each would start work of its own in the middle of the download.
                outlets().TournamentButton->click();
                outlets().CommonButton->click();
            },
            [&] { painted = paintedAsShown(); });
    });
    const HidDeviceRef device = window->plugIn("QK100201");
    other = window->plugIn("QK100301");
    ASSERT_TRUE(runEventLoopUntil([&] { return window->statuses.size() == 3; }));
    ASSERT_TRUE(runEventLoopUntil([&] { return controller().entryQueue.isIdle(); }));
    EXPECT_EQ(window->statuses, (std::vector<UIStatus>{UIStatus::DEVICE_PLUG, UIStatus::NORMAL,
                                                       UIStatus::DEVICE_PLUG}));
    EXPECT_EQ(controller().identity.device, device);
    EXPECT_TRUE(listPending);
    EXPECT_TRUE(painted);
    EXPECT_TRUE(outlets().StandardButton->isChecked());
    EXPECT_EQ(window->popupItems(), QStringList{"V2.0.0"});
    runEventLoopFor(100ms); // a queued START would begin now
    EXPECT_EQ(window->statuses.size(), 3u);

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

// From START until the result shows, the window stays open and never returns to the search; a
// converter pulled out while its image downloads is not written to.
TEST_F(OnlineDownloadTest, FromStartToTheResultTheWindowStaysAndAPulledConverterIsNotWritten) {
    const QByteArray image(1000, 'i');
    using Status = UIStatus;
    const std::vector<Status> finished{Status::FTP_DOWNLOAD, Status::UPGRADE_FW,
                                       Status::UPGRADE_FW_FINISH};
    const struct {
        Status closedIn;
        bool unplugUpdated, unplugOther; // during the download
        std::vector<Status> shown;
    } rows[] = {
        {Status::FTP_DOWNLOAD, false, false, finished},
        {Status::UPGRADE_FW, false, true, finished},
        {Status::FTP_DOWNLOAD, true, false, {Status::FTP_DOWNLOAD, Status::UPGRADE_FW_FAILED}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(&row - rows);
        startWindow(Behaviour::Normal, image);
        const HidDeviceRef device = window->plugIn("QK100201");
        const HidDeviceRef other = window->plugIn("QK100301");
        const auto converter = window->hidService.converter(device);
        window->hidService.setDeviceFaults(device, {.replyDelay = 40ms}); // a tick falls inside
        ASSERT_TRUE(window->waitForStatus(UIStatus::DEVICE_PLUG));
        QMainWindow& mainWindow = window->program->windowController().window();
        // Closed on the first turn of the event loop in that status.
        QString promptAfterClose;
        bool queued = false;
        const Cancellable closing =
            controller().mainVM.CurrentUIStatus.subscribe([&](const UIStatus& now) {
                if (now == UIStatus::FTP_DOWNLOAD && (row.unplugUpdated || row.unplugOther))
                    window->hidService.unplug(row.unplugUpdated ? device : other);
                if (now != row.closedIn || std::exchange(queued, true))
                    return;
                QTimer::singleShot(0, &controller(), [&] {
                    mainWindow.close();
                    promptAfterClose = outlets().PromptText->text();
                });
            });
        window->statuses.clear();
        converter->clearHistory();
        const int ticks = window->searchTicks();
        outlets().CommonButton->click();
        ASSERT_TRUE(window->waitForStatus(row.shown.back()));
        runEventLoopFor(100ms);
        EXPECT_EQ(window->statuses, row.shown);
        EXPECT_EQ(window->searchTicks(), ticks);
        EXPECT_FALSE(controller().usbScanner.isRunning());
        EXPECT_EQ(promptAfterClose, "Please wait until the update has finished: closing the window "
                                    "now could leave the converter without working firmware.");
        EXPECT_TRUE(mainWindow.isVisible());
        EXPECT_EQ(window->terminateRequests, 0);
        EXPECT_EQ(converter->receivedImage(), row.unplugUpdated ? QByteArray() : image);
        EXPECT_EQ(converter->commandSequence().empty(), row.unplugUpdated);
        EXPECT_EQ(outlets().FailureReason->text(),
                  row.unplugUpdated ? UpdateRun::kUnpluggedWhileDownloading
                                    : "V2.0.0, Standard mode, is now on the converter.");

        mainWindow.close();
        EXPECT_TRUE(runEventLoopUntil([&] { return window->terminateRequests == 1; }));
    }
}

// Beta lists for a beta build; a failed download shows until "Confirm".
TEST_F(OnlineDownloadTest, AFailedDownloadLeavesNothingToStart) {
    startWindow(Behaviour::Normal, "", "", "/opt/velmar/velmar-converter-update-beta");
    std::vector<UIStatus> heardLast; // by a subscriber after the window's own
    const Cancellable last = controller().mainVM.CurrentUIStatus.subscribe(
        [&](const UIStatus& status) { heardLast.push_back(status); });
    const HidDeviceRef device = window->plugIn("QK100201");
    ASSERT_TRUE(runEventLoopUntil([&] { return controller().identity.device != nullptr; }));
    // The failure is set while the device screen is being shown, and it is what stays: no one
    // hears of the device screen after the failure that replaced it.
    EXPECT_EQ(heardLast, (std::vector<UIStatus>{UIStatus::NORMAL, UIStatus::DOWNLOAD_FAILED}));
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
}
