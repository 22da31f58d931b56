#include <QCoreApplication>
#include <QDir>
#include <QRegularExpression>
#include <QTimer>

#include "WindowHarness.h"

using namespace std::chrono_literals;

class DeviceSearch : public SampleWindowTest {
protected:
    HidDeviceRef identify(const TestResources& tree, const QByteArray& partNumber = "QK100201") {
        startWindow({}, &tree);
        const HidDeviceRef plugged = window->plugIn(partNumber);
        EXPECT_TRUE(window->waitForStatus(UIStatus::DEVICE_PLUG));
        return plugged;
    }
    // A mode folder's entries in listing order (the pop-up does not sort), the converter's own
    // version marked.
    static QStringList listing(const TestResources& tree, const QString& folder) {
        QStringList entries =
            QDir(tree.path() + "/data/" + folder)
                .entryList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Unsorted);
        entries.replaceInStrings(QRegularExpression("^V1\\.0\\.0\\.5$"), "V1.0.0.5 (installed)");
        return entries;
    }
};

// Offline, the release tree, not the configuration, says which modes and versions there are.
TEST_F(DeviceSearch, AConverterIsIdentifiedAndTheReleaseTreeDecidesWhatIsOffered) {
    TestResources teOnly, noTree;
    for (TestResources* tree : {&teOnly, &noTree})
        tree->writeConfig(TestConfig{});
    teOnly.addFile("data/QK100201/te/V2.0.0.0/tmp.txt", "");
    const struct {
        const TestResources& tree;
        QByteArray partNumber;
        QString deviceName;                         // empty: not supported
        std::optional<std::pair<bool, bool>> modes; // Standard, Tournament; absent: no record
    } rows[] = {
        {resources, "QK100301", "Velmar Pad Converter Lite", std::pair{true, false}},
        {teOnly, "QK100201", "Velmar Pad Converter Pro", std::pair{false, true}},
        {noTree, "QK100201", "Velmar Pad Converter Pro", std::nullopt},
        {resources, "QK999901", "", std::nullopt},
        {resources, "QK100201", "Velmar Pad Converter Pro", std::pair{true, true}},
    };
    const QString unsupported = "This converter (part number QK999901) is not supported by this "
                                "version of the updater.";
    for (const auto& row : rows) {
        SCOPED_TRACE(row.partNumber.data() + row.deviceName.toStdString());
        identify(row.tree, row.partNumber);
        EXPECT_EQ(outlets().CurrentVersion->text(), "Current version: V1.0.0.5");
        EXPECT_EQ(outlets().DeviceName->text(), row.deviceName);
        EXPECT_EQ(outlets().DeviceName->isVisible(), !row.deviceName.isEmpty());
        EXPECT_EQ(outlets().SelectVersion->isVisible(), !row.deviceName.isEmpty());
        EXPECT_EQ(outlets().CommonButton->isVisible(), !row.deviceName.isEmpty());
        EXPECT_EQ(outlets().PromptText->text() == unsupported, row.deviceName.isEmpty());
        EXPECT_EQ(window->popupItems(), listing(row.tree, row.partNumber + "/standard"));
        EXPECT_EQ(outlets().PopUpFwVerItems->currentIndex(),
                  window->popupItems().isEmpty() ? -1 : 0);
        const FwInfoModelRef model = controller().mainVM.FwInfoVM.value();
        ASSERT_EQ(model != nullptr, row.modes.has_value());
        EXPECT_EQ(outlets().StandardButton->isChecked(), model != nullptr);
        if (model) {
            EXPECT_EQ(std::pair(*model->Standard, *model->Tournament), *row.modes);
            EXPECT_EQ(outlets().ModeStatckView->isVisible(), row.modes->first && row.modes->second);
        }
        EXPECT_FALSE(controller().usbScanner.isRunning());
    }
    outlets().TournamentButton->click();
    EXPECT_EQ(window->popupItems(), listing(resources, "QK100201/te"));
}

TEST_F(DeviceSearch, ARemovalSearchesAgainUnlessAnUpdateRunsOrItsResultShows) {
    for (UIStatus status : {UIStatus::DEVICE_PLUG, UIStatus::DOWNLOAD_FAILED, UIStatus::UPGRADE_FW,
                            UIStatus::UPGRADE_FW_FINISH, UIStatus::UPGRADE_FW_FAILED}) {
        SCOPED_TRACE(static_cast<int>(status));
        const HidDeviceRef plugged = identify(resources);
        controller().mainVM.CurrentUIStatus = status;
        const QString prompt = outlets().PromptText->text();
        window->hidService.unplug(plugged);
        const bool searches =
            status == UIStatus::DEVICE_PLUG || status == UIStatus::DOWNLOAD_FAILED;
        runEventLoopFor(700ms);
        EXPECT_EQ(window->status(), searches ? UIStatus::NORMAL : status);
        EXPECT_EQ(controller().usbScanner.isRunning(), searches);
        EXPECT_EQ(outlets().PromptText->text(), searches ? "Plug the converter in." : prompt);
    }
}

// What arrives while a tick waits on the converter takes its turn after the tick, on the screen
// the tick left; a timer tick is dropped, and a close is accepted at once and ends the search.
TEST_F(DeviceSearch, WhatArrivesInsideASearchTicksWaitTakesItsTurnAfterTheTick) {
    using enum UIStatus;
    constexpr uint8_t sync = 0xA4, info = 0xA6;
    using Inside = std::function<void(WindowHarness&, const HidDeviceRef& other)>;
    const Inside tick = [](auto& w, auto&) { w.controller().usbScanner.searchUSBTimerTick(); };
    const Inside unplug = [](auto& w, auto& other) { w.hidService.unplug(other); };
    const Inside press = [](auto& w, auto&) { w.outlets().CommonButton->click(); };
    const Inside close = [](auto& w, auto&) { w.program->windowController().window().close(); };
    const struct {
        Inside inside;
        std::vector<UIStatus> shown; // from the event on
        std::vector<uint8_t> commands;
        int ticks;
    } rows[] = {
        {tick, {DEVICE_PLUG}, {sync, info}, 1},
        {unplug, {DEVICE_PLUG, NORMAL, DEVICE_PLUG}, {sync, info, sync, info}, 2},
        {press, {DEVICE_PLUG}, {sync, info}, 1},
        {close, {}, {sync}, 1},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(&row - rows);
        startWindow({.exchangeDeadline = 2s});
        const auto converter = std::make_shared<VirtualConverter>();
        const HidDeviceRef again = window->hidService.plugIn(
            converter, SimulatedHidService::loaderIdentity, {.replyDelay = 400ms});
        const HidDeviceRef other =
            window->hidService.plugInUnrelatedDevice(SimulatedHidService::loaderIdentity);
        const int ticks = window->searchTicks();
        bool delivered = false;
        QTimer inside;
        QObject::connect(&inside, &QTimer::timeout, [&] {
            if (converter->requests().empty())
                return;
            inside.stop();
            window->statuses.clear();
            row.inside(*window, other);
            delivered = true;
        });
        inside.start(1);
        EXPECT_TRUE(runEventLoopUntil([&] {
            return delivered && controller().entryQueue.isIdle() &&
                   converter->commandSequence().size() >= row.commands.size() &&
                   window->statuses == row.shown;
        }));
        runEventLoopFor(100ms);
        EXPECT_EQ(window->statuses, row.shown);
        EXPECT_EQ(controller().identity.device, row.shown.empty() ? nullptr : again);
        EXPECT_EQ(converter->commandSequence(), row.commands);
        EXPECT_EQ(window->searchTicks(), ticks + row.ticks);
        EXPECT_FALSE(controller().usbScanner.isRunning());
        EXPECT_EQ(window->terminateRequests, row.shown.empty() ? 1 : 0);
    }
}

// Only queued work runs here, never a timer: whatever identifies the converter is the plug itself.
static void runQueuedWork() {
    for (int round = 0; round < 4; ++round)
        QCoreApplication::sendPostedEvents();
}

TEST_F(DeviceSearch, EachConverterIsIdentifiedOnceByThePlugOrTheTimer) {
    // Identified at once by a plug while searching; inside other work, as soon as it has ended.
    startWindow();
    window->hidService.plugInUnrelatedDevice({0x046d, 0xc077});
    runQueuedWork();
    EXPECT_EQ(window->searchTicks(), 0);

    HidDeviceRef plugged;
    controller().entryQueue.arrive([&] {
        plugged = window->plugIn();
        runQueuedWork();
        EXPECT_EQ(window->searchTicks(), 0);
    });
    runQueuedWork();
    EXPECT_EQ(window->searchTicks(), 1);
    ASSERT_EQ(window->status(), UIStatus::DEVICE_PLUG);

    // Plugged in again: identified by the plug, with the version read anew.
    window->hidService.unplug(plugged);
    ASSERT_TRUE(window->waitForStatus(UIStatus::NORMAL));
    const int ticks = window->searchTicks();
    plugged = window->plugIn("QK100201", 0x01010002);
    runQueuedWork();
    EXPECT_EQ(window->searchTicks(), ticks + 1);
    EXPECT_EQ(outlets().CurrentVersion->text(), "Current version: V1.1.0.2");

    window->plugIn("QK100301"); // a second converter while one is shown: left alone
    runQueuedWork();
    EXPECT_EQ(window->searchTicks(), ticks + 1);
    EXPECT_EQ(controller().identity.device, plugged);
}
