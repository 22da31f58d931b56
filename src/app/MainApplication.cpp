#include "app/MainApplication.h"

#include <QCoreApplication>

#include "support/ResourceDirectory.h"

static void quitApplication() {
    // Queued, so that a request made before the event loop runs (a broken configuration found
    // while the window first appears) still ends the program once it does.
    QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit,
                              Qt::QueuedConnection);
}

MainApplication::Options MainApplication::Options::forThisExecutable() {
    Options options;
    options.resourceDirectory = ResourceDirectory::path();
    options.executablePath = QCoreApplication::applicationFilePath();
    return options;
}

MainApplication::MainApplication(HidService& hidService, Options options)
    : messageBoxes_(&windowController_.window()) {
    std::function<void()> terminate =
        options.terminate ? std::move(options.terminate) : std::function<void()>(quitApplication);
    AlertPresenter& alerts = options.alerts ? *options.alerts : messageBoxes_;
#ifndef Q_OS_MACOS
    // Without a dock to bring the window back, a closed window would leave an invisible
    // program behind.
    windowController_.setWindowDidClose(terminate);
#endif
    viewController_ = std::make_unique<ViewController>(
        windowController_,
        ViewController::Environment{
            hidService, options.resourceDirectory, options.executablePath, alerts, terminate,
            FtpDownloader(options.ftpHost, options.curlPath), options.exchangeTiming});
    windowController_.setWindowShouldClose([this] { return viewController_->windowShouldClose(); });
}

void MainApplication::start() {
    viewController_->viewDidLoad();
    windowController_.windowDidLoad();
    windowController_.window().show();
}
