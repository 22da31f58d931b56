#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QTimer>
#include <algorithm>
#include <optional>

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
    long infoRequests(const HidDeviceRef& device) {
        return std::ranges::count(window->hidService.converter(device)->commandSequence(),
                                  VirtualConverter::getFWInfoCode);
    }
    // A mode folder's entries in listing order: the pop-up does not sort.
    static QStringList listing(const TestResources& tree, const QString& folder) {
        return QDir(tree.path() + "/data/" + folder)
            .entryList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Unsorted);
    }
};

// Offline, the release tree, not the configuration, says which modes and versions there are.
TEST_F(DeviceSearch, AConverterIsIdentifiedAndTheReleaseTreeDecidesWhatIsOffered) {
    TestResources teOnly, noTree;
    for (TestResources* tree : {&teOnly, &noTree})
        tree->writeConfig(TestConfig{});
    teOnly.addFolder("data/QK100201/te/V2.0.0.0");
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
    for (const auto& row : rows) {
        SCOPED_TRACE(row.partNumber.data() + row.deviceName.toStdString());
        identify(row.tree, row.partNumber);
        EXPECT_EQ(outlets().CurrentVersion->text(), "Current version: V1.0.0.5");
        EXPECT_EQ(outlets().DeviceName->text(), row.deviceName);
        EXPECT_EQ(outlets().SelectVersion->isVisible(), !row.deviceName.isEmpty());
        EXPECT_EQ(window->popupItems(), listing(row.tree, row.partNumber + "/standard"));
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
        window->runFor(700ms);
        EXPECT_EQ(window->status(), searches ? UIStatus::NORMAL : status);
        EXPECT_EQ(controller().usbScanner.isRunning(), searches);
        EXPECT_EQ(outlets().PromptText->text(), searches ? "Plug the converter in." : prompt);
    }
}

TEST_F(DeviceSearch, NothingStartsInsideASearchTicksWaitAndAStaleTickChangesNothing) {
    using Status = UIStatus;
    const auto press = [](WindowHarness& w, const char* title) {
        FlatButton button(nullptr);
        button.setTitle(title);
        w.controller().CommonButton(&button);
    };
    const struct {
        std::function<void(WindowHarness&, const HidDeviceRef& other)> inside;
        std::vector<Status> shown; // from the event on
    } rows[] = {
        {[](WindowHarness& w, auto&) { w.controller().onSearchTimerTick(); },
         {Status::DEVICE_PLUG}},
        {[](WindowHarness& w, auto& other) { w.hidService.unplug(other); },
         {Status::NORMAL, Status::DEVICE_PLUG}},
        {[&](WindowHarness& w, auto&) { press(w, "START"); }, {Status::DEVICE_PLUG}},
        {[&](WindowHarness& w, auto&) { press(w, "Confirm"); },
         {Status::NORMAL, Status::DEVICE_PLUG}},
        {[](WindowHarness& w, auto&) {
             w.controller().mainVM.CurrentUIStatus = Status::UPGRADE_FW_FAILED;
         },
         {Status::UPGRADE_FW_FAILED}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(&row - rows);
        startWindow({.exchangeDeadline = 2s});
        const auto converter = std::make_shared<VirtualConverter>();
        const HidDeviceRef again =
            window->hidService.plugIn(converter, SimulatedHidService::loaderIdentity,
                                      with(&SimulatedDeviceFaults::replyDelay, 400ms));
        const HidDeviceRef other =
            window->hidService.plugInUnrelatedDevice(SimulatedHidService::loaderIdentity);
        const int ticks = window->searchTicks();
        QTimer inside;
        QObject::connect(&inside, &QTimer::timeout, [&] {
            if (converter->requests().empty())
                return;
            inside.stop();
            window->statuses.clear();
            row.inside(*window, other);
        });
        inside.start(1);
        EXPECT_TRUE(window->runUntil(
            [&] { return converter->requests().size() >= 2 && controller().waitGate.isOpen(); }));
        EXPECT_EQ(window->statuses, row.shown);
        EXPECT_EQ(controller().identity.device,
                  row.shown.back() == Status::DEVICE_PLUG ? again : nullptr);
        EXPECT_EQ(converter->commandSequence(), (std::vector<uint8_t>{0xA4, 0xA6}));
        EXPECT_EQ(window->searchTicks(), ticks + 1);
        EXPECT_FALSE(controller().usbScanner.isRunning());
    }
}

// Only queued work runs here, never a timer: whatever identifies the converter is the plug itself.
static void runQueuedWork() {
    for (int round = 0; round < 4; ++round)
        QCoreApplication::sendPostedEvents();
}

TEST_F(DeviceSearch, EachConverterIsIdentifiedOnceByThePlugOrTheTimer) {
    // Another matching device's removal restarts the search: it identifies the converter at once.
    startWindow();
    const HidDeviceRef converter = window->plugIn();
    window->hidService.unplug(window->hidService.plugInUnrelatedDevice({4617, 2}));
    ASSERT_TRUE(window->waitForStatus(UIStatus::DEVICE_PLUG));
    EXPECT_EQ(window->searchTicks(), 1);
    EXPECT_FALSE(controller().usbScanner.isRunning());
    window->runFor(800ms);
    EXPECT_EQ(infoRequests(converter), 1);

    // Identified at once by a plug while searching, left to the timer inside a wait.
    startWindow();
    window->hidService.plugInUnrelatedDevice({0x046d, 0xc077});
    runQueuedWork();
    EXPECT_EQ(window->searchTicks(), 0);

    std::optional<WaitGate::Scope> wait(controller().waitGate.close());
    HidDeviceRef plugged = window->plugIn();
    runQueuedWork();
    EXPECT_EQ(window->searchTicks(), 0);
    wait.reset();
    ASSERT_TRUE(window->waitForStatus(UIStatus::DEVICE_PLUG));

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
