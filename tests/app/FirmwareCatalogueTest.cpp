#include <gtest/gtest.h>

#include "WindowHarness.h"
#include "support/LoopbackFtpServer.h"

static void select(WindowHarness& window, const QString& version) {
    const int index = window.outlets().PopUpFwVerItems->findText(version);
    ASSERT_GE(index, 0) << version.toStdString();
    window.outlets().PopUpFwVerItems->setCurrentIndex(index);
}

TEST(OfflineCatalogue, TheChosenModeAndReleaseGiveTheChecksumAndImageTheirFilesHold) {
    TestResources resources;
    resources.writeConfig(TestConfig{});
    resources.addFile("data/QK100201/standard/V9.0.0.0/tmp.hex", ":0400000001020304F2\r\n");
    resources.addFile("data/QK100201/standard/V8.0.0.0/tmp.txt", "V8.0.0.0,0x2A,tmp.hex\r\n");
    resources.addFile("data/QK100201/te/V8.0.0.0/tmp.hex", ":020000000506F3\r\n");
    resources.addFile("data/QK100201/te/V8.0.0.0/tmp.txt", "V8.0.0.0,0x3B,tmp.hex\r\n");
    WindowHarness window(resources);
    window.start();
    window.plugIn("QK100201");
    ASSERT_TRUE(window.waitForStatus(UIStatus::DEVICE_PLUG));
    ViewController& controller = window.controller();

    struct Row {
        bool tournament;
        QString version;
        std::optional<ReleaseImage> release;
    };
    const std::vector<Row> rows{
        // A missing description gives no checksum; a missing image no release.
        {false, "V9.0.0.0", ReleaseImage{QByteArray::fromHex("01020304"), std::nullopt}},
        {false, "V8.0.0.0", std::nullopt},
        // The same version in the other mode is read from that mode's folder.
        {true, "V8.0.0.0", ReleaseImage{QByteArray::fromHex("0506"), 0x3B}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.version.toStdString());
        (row.tournament ? window.outlets().TournamentButton : window.outlets().StandardButton)
            ->click();
        select(window, row.version);
        const std::optional<ReleaseImage> release = controller.chosenRelease(false).release;
        ASSERT_EQ(release.has_value(), row.release.has_value());
        if (release) {
            EXPECT_EQ(release->image, row.release->image);
            EXPECT_EQ(release->checkSum, row.release->checkSum);
        }
    }
}

// The version lists and images on a real FTP server on loopback, fetched through curl.
class OnlineCatalogue : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.start()) << server.errorText().toStdString();
        TestConfig config;
        config.online = true;
        resources.writeConfig(config);
    }

    std::unique_ptr<WindowHarness>
    startWindow(const QString& executable = "/opt/velmar/velmar-converter-update") {
        WindowHarness::Options options;
        options.executablePath = executable;
        options.ftpHost = server.host();
        auto window = std::make_unique<WindowHarness>(resources, options);
        window->start();
        window->plugIn("QK100201");
        return window;
    }

    LoopbackFtpServer server;
    TestResources resources;
};

TEST_F(OnlineCatalogue, TournamentAndBetaBuildsReadTheirOwnLists) {
    server.addFile("QK100201.txt", "V1.0.0,0x01,a.hex\r\n");
    server.addFile("QK100201_TE.txt", "V2.0.0,0x02,b.hex\r\nV2.1.0,0x03,c.hex\r\n");
    server.addFile("QK100201_Beta.txt", "V3.0.0b,0x04,d.hex\r\n");
    server.addFile("QK100201_Beta_TE.txt", "V4.0.0b,0x05,e.hex\r\n");
    const struct {
        const char* executable;
        QStringList standard, tournament;
    } rows[] = {{"/opt/velmar/velmar-converter-update", {"V1.0.0"}, {"V2.0.0", "V2.1.0"}},
                {"/opt/velmar/velmar-converter-update-beta", {"V3.0.0b"}, {"V4.0.0b"}}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.executable);
        auto window = startWindow(row.executable);
        ASSERT_TRUE(window->waitForStatus(UIStatus::DEVICE_PLUG));
        EXPECT_EQ(window->popupItems(), row.standard);
        window->outlets().TournamentButton->click();
        EXPECT_EQ(window->popupItems(), row.tournament);
    }
}

TEST_F(OnlineCatalogue, AListThatCannotBeFetchedShowsTheDownloadFailure) {
    auto window = startWindow(); // nothing on the server
    ASSERT_TRUE(window->runUntil([&] { return window->controller().identity.device != nullptr; }));
    // The failure is set while the device screen is being shown, and it is what stays.
    EXPECT_EQ(window->status(), UIStatus::DOWNLOAD_FAILED);
    EXPECT_EQ(window->outlets().PromptText->text(), "Download file failed.");
    EXPECT_TRUE(window->outlets().CommonButton->isVisible());
    EXPECT_EQ(window->outlets().CommonButton->title(), "Confirm");
    EXPECT_TRUE(window->popupItems().isEmpty());
    EXPECT_FALSE(window->controller().chosenRelease(true).release); // nothing chosen
}

TEST_F(OnlineCatalogue, AConverterOfAnUnknownPartNumberIsShownAsNotSupported) {
    server.addFile("QK100201.txt", "V1.0.0,0x01,a.hex\r\n");
    server.addFile("a.hex", ":0400000001020304F2\r\n");
    auto window = startWindow();
    ASSERT_TRUE(window->waitForStatus(UIStatus::DEVICE_PLUG));
    window->hidService.unplug(window->controller().identity.device);
    ASSERT_TRUE(window->waitForStatus(UIStatus::NORMAL));

    window->plugIn("QK999901");
    ASSERT_TRUE(window->waitForStatus(UIStatus::DEVICE_PLUG));
    ViewController& controller = window->controller();
    // Nothing of the converter before, which this one might otherwise be updated as.
    EXPECT_EQ(controller.mainVM.DeviceName.value(), "");
    EXPECT_FALSE(window->outlets().DeviceName->isVisible());
    EXPECT_TRUE(window->popupItems().isEmpty());
    EXPECT_EQ(window->outlets().PromptText->text(),
              "This converter (part number QK999901) is not supported by this version of the "
              "updater.");
    EXPECT_FALSE(window->outlets().CommonButton->isVisible());
    window->outlets().CommonButton->click();
    window->runFor(std::chrono::milliseconds{300});
    EXPECT_EQ(window->status(), UIStatus::DEVICE_PLUG);
}
