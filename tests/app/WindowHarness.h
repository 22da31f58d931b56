#pragma once

#include <gtest/gtest.h>

#include <QStringList>
#include <QTemporaryDir>
#include <chrono>
#include <memory>
#include <optional>

#include "ScopedDiagnosticCapture.h"
#include "app/MainApplication.h"
#include "device/EventLoopWaiting.h"
#include "sim/SimulatedHidService.h"
#include "sim/VirtualConverter.h"
#include "support/TestImages.h"
#include "ui/AlertPresenter.h"

// Alerts are recorded, never shown: a test must not block on a dialog.
class RecordingAlertPresenter : public AlertPresenter {
public:
    void runModal(const Alert& alert) override {
        alerts.push_back(alert);
        if (whileShown)
            whileShown();
    }
    std::vector<Alert> alerts;
    // Runs while an alert is up, as a real one runs the event loop until it is answered.
    std::function<void()> whileShown;
};

// A description file's checksum field.
QByteArray checksumField(int64_t checkSum);

// Two products: the Pro with both modes, the Lite with Standard only.
struct TestConfig {
    bool online = false;
    QString xml() const;
};

// A resource directory of the test's own: a "config" and whatever release folders it adds.
class TestResources {
public:
    QString path() const { return dir_.path(); }
    void writeConfig(const TestConfig& config) {
        addFile("config", config.xml().toUtf8().toBase64());
    }
    void addFile(const QString& relative, const QByteArray& contents);
    // A release of the Pro's Standard mode; without `checkSum` its description names none.
    void addRelease(const QString& version, const QByteArray& image,
                    std::optional<int64_t> checkSum);
    void copySampleReleases();

private:
    QTemporaryDir dir_;
};

// The whole program as it runs, on virtual converters unless a test brings its own devices.
class WindowHarness {
public:
    struct Options {
        QString executablePath = QStringLiteral("/opt/velmar/velmar-converter-update");
        QString ftpHost = QStringLiteral("ftp.example.invalid");
        std::chrono::milliseconds exchangeDeadline{300}; // a mute converter costs little time
        HidService* devices = nullptr;                   // none: `hidService`
    };

    explicit WindowHarness(const TestResources& resources, Options options);

    void start() { program->start(); }

    HidDeviceRef plugIn(const QByteArray& partNumber = "QK100201",
                        uint32_t firmwareVersion = 0x01000005);

    ViewController& controller() { return program->viewController(); }
    Ui::MainWindow& outlets() { return controller().outlets; }
    UIStatus status() { return controller().mainVM.CurrentUIStatus.value(); }
    bool waitForStatus(UIStatus status,
                       std::chrono::milliseconds limit = std::chrono::seconds{10}) {
        return runEventLoopUntil([&] { return this->status() == status; }, limit);
    }
    // Ticks at once and waits for the device screen (generously: a gadget may be on its way).
    bool identify(std::chrono::milliseconds limit = std::chrono::seconds{30});
    // Picks `version` and presses START; false when the window does not offer it.
    bool pressStart(const QString& version);
    // The status the update ended in once what came during it (a removal) has had its turn too;
    // absent when it did not end within `limit`.
    std::optional<UIStatus> waitForResult(std::chrono::milliseconds limit);
    QStringList popupItems();
    int searchTicks() const; // diagnostic lines of ticks seen so far

    ScopedDiagnosticCapture diagnostics;
    SimulatedHidService hidService;
    RecordingAlertPresenter alerts;
    int terminateRequests = 0;
    std::unique_ptr<MainApplication> program;
    std::vector<UIStatus> statuses; // each status as it is set
    Cancellable statusLog;
};

// One program, and one diagnostic capture, at a time.
class WindowTest : public ::testing::Test {
protected:
    void startWindow(WindowHarness::Options options = {}, const TestResources* tree = nullptr) {
        window.reset();
        window = std::make_unique<WindowHarness>(tree ? *tree : resources, options);
        window->start();
    }
    ViewController& controller() { return window->controller(); }
    Ui::MainWindow& outlets() { return window->outlets(); }

    TestResources resources;
    std::unique_ptr<WindowHarness> window;
};

// The program on the test configuration and the shipped sample releases.
class SampleWindowTest : public WindowTest {
protected:
    SampleWindowTest() {
        resources.writeConfig(TestConfig{});
        resources.copySampleReleases();
    }
};
