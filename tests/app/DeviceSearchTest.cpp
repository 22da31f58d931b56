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
    // Starts the program on `tree`, plugs a converter in and waits until it is identified.
    HidDeviceRef identify(const TestResources& tree, const QByteArray& partNumber = "QK100201") {
        window.reset();
        window = std::make_unique<WindowHarness>(tree);
        window->start();
        const HidDeviceRef plugged = window->plugIn(partNumber);
        EXPECT_TRUE(window->waitForStatus(UIStatus::DEVICE_PLUG));
        return plugged;
    }
    HidDeviceRef identify() { return identify(resources); }

    static int requestsOf(const std::shared_ptr<VirtualConverter>& converter, uint8_t command) {
        const std::vector<uint8_t> commands = converter->commandSequence();
        return static_cast<int>(std::count(commands.begin(), commands.end(), command));
    }
    // A mode folder's entries in listing order, whatever it is: the pop-up does not sort.
    static QStringList listing(const TestResources& tree, const QString& folder) {
        return QDir(tree.path() + "/data/" + folder)
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                       QDir::Unsorted);
    }
};

// A plugged-in converter is identified, its Standard releases offered, and the search ends. Offline
// the release tree, not the configuration, says which modes and versions there are.
TEST_F(DeviceSearch, AConverterIsIdentifiedAndTheReleaseTreeDecidesWhatIsOffered) {
    TestResources teOnly, noTree;
    for (TestResources* tree : {&teOnly, &noTree})
        tree->writeConfig(TestConfig{});
    teOnly.addFolder("data/QK100201/te/V2.0.0.0");
    const struct {
        const char* what;
        const TestResources& tree;
        QByteArray partNumber;
        QString deviceName;
        std::optional<std::pair<bool, bool>> modes; // Standard, Tournament; absent: no record
    } rows[] = {
        {"Standard only", resources, "QK100301", "Velmar Pad Converter Lite",
         std::pair{true, false}},
        {"Tournament only: starts in Standard, empty", teOnly, "QK100201",
         "Velmar Pad Converter Pro", std::pair{false, true}},
        {"no release folder", noTree, "QK100201", "Velmar Pad Converter Pro", std::nullopt},
        {"both modes", resources, "QK100201", "Velmar Pad Converter Pro", std::pair{true, true}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        const HidDeviceRef plugged = identify(row.tree, row.partNumber);
        EXPECT_EQ(controller().identity.device, plugged);
        EXPECT_EQ(controller().identity.partNumber, row.partNumber);
        EXPECT_EQ(outlets().CurrentVersion->text(), "Current version: V1.0.0.5");
        EXPECT_EQ(outlets().DeviceName->text(), row.deviceName);
        const QString standard = row.partNumber + "/standard";
        EXPECT_EQ(window->popupItems(), listing(row.tree, standard));
        const FwInfoModelRef model = controller().mainVM.FwInfoVM.value();
        ASSERT_EQ(model != nullptr, row.modes.has_value());
        EXPECT_EQ(outlets().StandardButton->isChecked(), model != nullptr);
        if (model) {
            EXPECT_EQ(model->Standard, row.modes->first);
            EXPECT_EQ(model->Tournament, row.modes->second);
            // A choice only between two modes.
            EXPECT_EQ(outlets().ModeStatckView->isVisible(),
                      *model->Standard && *model->Tournament);
        }
        // Identified: the search is off until something restarts it.
        EXPECT_FALSE(controller().usbScanner.isRunning());
    }
    EXPECT_TRUE(window->diagnostics.contains(
        "[" + ViewController::kClassName +
        "][217][onSearchTimerTick] \U0001F646\u2642\uFE0F Get Usb Device, 4617, 2"));
    const int ticks = window->searchTicks(); // on the last row's window

    window->runFor(800ms);
    EXPECT_EQ(window->searchTicks(), ticks);
    outlets().TournamentButton->click();
    EXPECT_EQ(window->popupItems(), listing(resources, "QK100201/te"));
}

// A removal returns to searching, except while an update runs or its result shows.
TEST_F(DeviceSearch, ARemovalSearchesAgainUnlessAnUpdateRunsOrItsResultShows) {
    for (UIStatus status : {UIStatus::DEVICE_PLUG, UIStatus::DOWNLOAD_FAILED, UIStatus::UPGRADE_FW,
                            UIStatus::UPGRADE_FW_FINISH, UIStatus::UPGRADE_FW_FAILED}) {
        SCOPED_TRACE(static_cast<int>(status));
        const HidDeviceRef plugged = identify();
        controller().mainVM.CurrentUIStatus = status;
        const QString prompt = outlets().PromptText->text();
        window->hidService.unplug(plugged);
        if (status == UIStatus::DEVICE_PLUG || status == UIStatus::DOWNLOAD_FAILED) {
            ASSERT_TRUE(window->waitForStatus(UIStatus::NORMAL));
            EXPECT_TRUE(controller().usbScanner.isRunning());
            EXPECT_FALSE(outlets().CommonButton->isVisible());
            EXPECT_EQ(outlets().PromptText->text(), "Plug the converter in.");
            EXPECT_TRUE(window->diagnostics.contains(
                "[" + ViewController::kClassName +
                "][15][hidDeviceRemoved(_:)]🙁 HID 設備已移除 -> VID: 0x1209, PID: 0x0002"));
            continue;
        }
        window->runFor(700ms);
        EXPECT_EQ(window->status(), status);
        EXPECT_EQ(outlets().PromptText->text(), prompt);
        EXPECT_FALSE(controller().usbScanner.isRunning());
    }
}

TEST_F(DeviceSearch, OfTwoConvertersExactlyOneIsIdentified) {
    startWindow();
    const HidDeviceRef first = window->plugIn("QK100201");
    const HidDeviceRef second = window->plugIn("QK100301");
    ASSERT_TRUE(window->waitForStatus(UIStatus::DEVICE_PLUG));
    window->runFor(700ms);

    const HidDeviceRef identified = controller().identity.device;
    ASSERT_TRUE(identified == first || identified == second);
    const HidDeviceRef other = identified == first ? second : first;
    EXPECT_EQ(window->hidService.converter(other)->requests().size(), 0u);
    EXPECT_EQ(requestsOf(window->hidService.converter(identified), VirtualConverter::getFWInfoCode),
              1);
}

TEST_F(DeviceSearch, ARemovalThatRestartsARunningSearchLeavesAnIdentifiedConverterAlone) {
    // Another matching device goes away while the search runs and a converter is attached:
    // the restart ticks at once and identifies the converter, and the search must then stay
    // off rather than identify it again every half second.
    startWindow();
    ASSERT_TRUE(controller().usbScanner.isRunning());
    const HidDeviceRef converter = window->plugIn();
    const HidDeviceRef other = window->hidService.plugInUnrelatedDevice({4617, 2});
    window->hidService.unplug(other); // its removal arrives before the first tick
    ASSERT_TRUE(window->waitForStatus(UIStatus::DEVICE_PLUG));
    EXPECT_EQ(window->searchTicks(), 1); // the tick the restart fired
    EXPECT_EQ(controller().identity.device, converter);
    EXPECT_FALSE(controller().usbScanner.isRunning());
    window->runFor(800ms);
    EXPECT_EQ(requestsOf(window->hidService.converter(converter), VirtualConverter::getFWInfoCode),
              1);
}

// While a tick waits for a converter that is slow to answer, each entry point of the window is
// used. None may start work inside that wait; a tick that resumes after the state moved on
// leaves it alone.
TEST_F(DeviceSearch, NothingStartsInsideASearchTicksWaitAndAStaleTickChangesNothing) {
    using Status = UIStatus;
    const auto press = [](ViewController& controller, const char* title) {
        FlatButton button(QRect(0, 0, 10, 10), nullptr);
        button.setTitle(title);
        controller.CommonButton(&button);
    };
    const struct {
        const char* event;
        std::function<void(WindowHarness&, const HidDeviceRef& other)> inside;
        std::vector<Status> shown; // from the event on
    } rows[] = {
        {"a search tick",
         [](WindowHarness& w, auto&) { w.controller().onSearchTimerTick(); },
         {Status::DEVICE_PLUG}},
        {"another device's removal, then the timer",
         [](WindowHarness& w, const HidDeviceRef& other) { w.hidService.unplug(other); },
         {Status::NORMAL, Status::DEVICE_PLUG}},
        {"START",
         [&](WindowHarness& w, auto&) { press(w.controller(), "START"); },
         {Status::DEVICE_PLUG}},
        {"Confirm, then the timer",
         [&](WindowHarness& w, auto&) { press(w.controller(), "Confirm"); },
         {Status::NORMAL, Status::DEVICE_PLUG}},
        {"an update's result shown meanwhile",
         [](WindowHarness& w, auto&) {
             w.controller().mainVM.CurrentUIStatus = Status::UPGRADE_FW_FAILED;
         },
         {Status::UPGRADE_FW_FAILED}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.event);
        WindowHarness::Options options;
        options.exchangeDeadline = 2s;
        startWindow(options);
        const HidDeviceRef first = window->plugIn();
        ASSERT_TRUE(window->waitForStatus(UIStatus::DEVICE_PLUG));
        window->hidService.unplug(first);
        ASSERT_TRUE(window->waitForStatus(UIStatus::NORMAL));

        // Plugged in again, answering each request after 400 ms; another matching device beside.
        SimulatedDeviceFaults slow;
        slow.replyDelay = 400ms;
        const auto converter = std::make_shared<VirtualConverter>();
        const HidDeviceRef again =
            window->hidService.plugIn(converter, SimulatedHidService::loaderIdentity, slow);
        const HidDeviceRef other =
            window->hidService.plugInUnrelatedDevice(SimulatedHidService::loaderIdentity);
        const int ticks = window->searchTicks();
        std::vector<Status> shown;
        Cancellable watch;
        QTimer inside;
        QObject::connect(&inside, &QTimer::timeout, [&] {
            if (converter->requests().empty())
                return;
            inside.stop();
            watch = controller().mainVM.CurrentUIStatus.subscribe(
                [&](const UIStatus& status) { shown.push_back(status); });
            shown.clear();
            row.inside(*window, other);
        });
        inside.start(1);
        EXPECT_TRUE(window->runUntil(
            [&] { return converter->requests().size() >= 2 && controller().waitGate.isOpen(); }));

        EXPECT_EQ(shown, row.shown);
        EXPECT_EQ(controller().identity.device,
                  row.shown.back() == Status::DEVICE_PLUG ? again : first);
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

TEST_F(DeviceSearch, APlugIsIdentifiedAtOnceWhileSearchingAndLeftToTheTimerInsideAWait) {
    startWindow();
    ASSERT_TRUE(controller().usbScanner.isRunning());

    // Another identity: nothing to search for.
    window->hidService.plugInUnrelatedDevice({0x046d, 0xc077});
    runQueuedWork();
    EXPECT_EQ(window->searchTicks(), 0);

    // Inside a wait the plug starts no tick; the timer finds the converter afterwards.
    std::optional<WaitGate::Scope> wait(controller().waitGate.close());
    HidDeviceRef plugged = window->plugIn();
    runQueuedWork();
    EXPECT_EQ(window->searchTicks(), 0);
    EXPECT_EQ(window->status(), UIStatus::NORMAL);
    wait.reset();
    ASSERT_TRUE(window->waitForStatus(UIStatus::DEVICE_PLUG));
    EXPECT_FALSE(controller().usbScanner.isRunning());

    // Pulled out and plugged in again: identified by the plug, with the version read anew.
    window->hidService.unplug(plugged);
    ASSERT_TRUE(window->waitForStatus(UIStatus::NORMAL));
    const int ticks = window->searchTicks();
    plugged = window->plugIn("QK100201", 0x01010002);
    runQueuedWork();
    EXPECT_EQ(window->status(), UIStatus::DEVICE_PLUG);
    EXPECT_EQ(window->searchTicks(), ticks + 1);
    EXPECT_EQ(outlets().CurrentVersion->text(), "Current version: V1.1.0.2");
    EXPECT_FALSE(controller().usbScanner.isRunning());

    // A second converter while one is shown: left alone.
    window->plugIn("QK100301");
    runQueuedWork();
    EXPECT_EQ(window->searchTicks(), ticks + 1);
    EXPECT_EQ(controller().identity.device, plugged);
}
