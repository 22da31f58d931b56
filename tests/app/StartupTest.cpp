#include <QSignalSpy>

#include "WindowHarness.h"

using namespace std::chrono_literals;

TEST(Startup, WithoutAConfigurationAlertsOnceThenEndsWithoutEverSearching) {
    for (const char* config : {"", "not base64 at all", "PENvbmZpZz4="}) { // "<Config>"
        SCOPED_TRACE(config);
        TestResources resources;
        if (*config)
            resources.addFile("config", config);
        WindowHarness window(resources, {});
        // Behind the alert a HID device comes and goes; its removal must not start a search.
        window.alerts.whileShown = [&] {
            window.hidService.unplug(window.plugIn());
            runEventLoopFor(800ms);
        };
        window.start();
        ASSERT_EQ(window.alerts.alerts.size(), 1u);
        EXPECT_EQ(window.alerts.alerts[0], (Alert{"Fail", "Read config file failed.", "OK"}));
        EXPECT_EQ(window.terminateRequests, 1);
        runEventLoopFor(800ms);
        EXPECT_EQ(window.searchTicks(), 0);
        EXPECT_NE(window.controller().usbHidManager, nullptr);
    }
}

// What main() builds: exchanges that wait up to 5 s in 0.1 s turns, whatever the tests shorten.
TEST(Startup, ExchangesWaitFiveSeconds) {
    SimulatedHidService hidService;
    MainApplication program(hidService, MainApplication::Options::forThisExecutable());
    program.viewController().viewDidLoad();
    const ReportExchangeTiming& timing = program.viewController().usbHidManager->timing();
    EXPECT_EQ(std::pair(timing.deadline, timing.slice), std::pair(5000ms, 100ms));
}

using StartedWindow = SampleWindowTest;
TEST_F(StartedWindow, SearchesEveryHalfSecondWhileShownAndEachModeClickRebuildsThePopUp) {
    startWindow();
    QMainWindow& main = window->program->windowController().window();
    EXPECT_TRUE(window->alerts.alerts.empty());
    EXPECT_EQ(main.windowTitle(), "Test Updater");
    EXPECT_EQ(controller().usbHidManager->deviceMatchingList(),
              (std::vector<DeviceMatching>{{4617, 1}, {4617, 2}}));
    EXPECT_TRUE(runEventLoopUntil([&] { return window->searchTicks() >= 2; }));
    main.hide();
    EXPECT_FALSE(controller().usbScanner.isRunning());
    const int ticks = window->searchTicks();
    runEventLoopFor(800ms);
    EXPECT_EQ(window->searchTicks(), ticks);
    main.show();
    window->plugIn();
    ASSERT_TRUE(window->waitForStatus(UIStatus::DEVICE_PLUG));

    // A rebuild empties the pop-up once and fills it again, also for the mode already chosen.
    QSignalSpy resets(outlets().PopUpFwVerItems->model(), &QAbstractItemModel::rowsRemoved);
    outlets().StandardButton->click();
    EXPECT_EQ(resets.count(), 1);
    outlets().TournamentButton->click();
    EXPECT_EQ(resets.count(), 2);
    EXPECT_FALSE(outlets().StandardButton->isChecked());
}
