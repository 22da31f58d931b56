#pragma once

#include "app/ViewController.h"
#include "ui/MessageBoxAlertPresenter.h"

// The program put together: the window from its description, its controller on the HID backend
// chosen at start, and what closing the window means. Both executables and the window tests build
// the program through this one class.
class MainApplication {
public:
    struct Options {
        QString resourceDirectory;
        QString executablePath;
        QString ftpHost = FtpDownloader::defaultHost();
        QString curlPath = FtpDownloader::defaultCurlPath();
        AlertPresenter* alerts = nullptr; // warning message boxes when none is given
        std::function<void()> terminate;  // leaves the event loop when none is given
        ReportExchangeTiming exchangeTiming{};

        // What a started executable uses: its located resource directory and its own path.
        static Options forThisExecutable();
    };

    MainApplication(HidService& hidService, Options options);

    // Loads the view, lays the window out and shows it; the search starts as it appears.
    void start();

    WindowController& windowController() { return windowController_; }
    ViewController& viewController() { return *viewController_; }

private:
    WindowController windowController_;
    MessageBoxAlertPresenter messageBoxes_;
    // Last, so that the controller lets go of the window's controls before the window goes.
    std::unique_ptr<ViewController> viewController_;
};
