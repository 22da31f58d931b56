#pragma once

#include <QAbstractButton>
#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "app/PermissionPrompt.h"
#include "app/USBScanner.h"
#include "app/UpdateRun.h"
#include "app/WaitGate.h"
#include "config/ConfigModel.h"
#include "core/ReleaseTree.h"
#include "device/HIDManagerDelegate.h"
#include "device/HidService.h"
#include "device/ReportExchangeTiming.h"
#include "device/USBHidManager.h"
#include "firmware/FtpDownloader.h"
#include "ui/AlertPresenter.h"
#include "ui/Cancellable.h"
#include "ui/FlatButton.h"
#include "ui/LayoutConstraint.h"
#include "ui/MainVM.h"
#include "ui/StatusRenderer.h"
#include "ui/WindowController.h"

// The one controller of the main window: it loads the configuration, searches for the converter,
// identifies it, offers its releases and shows every status through the view model. Everything
// runs on the GUI thread; device exchanges wait by running the event loop, so timer ticks and
// removals can arrive in the middle of one.
class ViewController : public QObject, public HIDManagerDelegate {
    Q_OBJECT

public:
    // What the controller gets from whoever starts the program.
    struct Environment {
        HidService& hidService;          // the HID backend chosen at start
        QString resourceDirectory;       // holds "config" and "data/"
        QString executablePath;          // a beta build is told by its name
        AlertPresenter& alerts;          // modal warnings
        std::function<void()> terminate; // ends the application
        FtpDownloader downloader;        // version lists and images, when online
        ReportExchangeTiming exchangeTiming{};
    };

    // The name diagnostic lines carry for this class.
    static const QString kClassName;

    ViewController(WindowController& windowController, Environment environment);
    ~ViewController() override;

    // True when the executable's name (without extension, trimmed, lower case) contains "beta".
    static bool isBetaExecutable(const QString& executablePath);

    // Life cycle: viewDidLoad() once after construction; the other two follow the view being
    // shown and hidden.
    void viewDidLoad();
    void viewWillAppear();
    void viewWillDisappear();

    void setBinding();
    void restartSearchTimer();

    // Device search.
    void onSearchTimerTick();
    void hidDeviceRemoved(const HidDeviceRef& device) override;
    // A converter plugged in while the window searches is identified at once, not at the next
    // tick; the timer stays as the fallback.
    void hidDeviceArrived(const HidDeviceRef& device) override;

    // Actions of the window.
    void RadioButtonClicked(QAbstractButton* sender);
    // "START" queues an update of the identified converter; "Confirm" returns to searching.
    void CommonButton(FlatButton* sender);

    // Sends the image to `device`, drawing the progress into the device picture; true when the
    // converter confirmed it with the release's checksum. Checksum failures alert the user.
    bool upgradeFW(const QByteArray& image);

    // Status rendering.
    void applyUIStatus(UIStatus status);

    // Firmware catalogue.
    void applyDeviceFwInfo();
    void reloadFwVersions(bool value, bool isStandard);
    QStringList listFwVersions(const std::optional<QString>& partNumber, bool isStandard) const;
    void setFwVerItems(const QStringList& items);
    void loadOnlineFwList(bool isStandard);
    void fillOnlineFwVerItems();
    // The chosen release, for the update run.
    void readChecksumFile();
    std::optional<QByteArray> readHexFile();
    std::optional<QByteArray> downloadHexFile();

    // The state, as the update run and the tests need to reach it.
    const bool isBeta;
    MainVM mainVM;
    std::vector<Cancellable> cancellables;
    std::unique_ptr<USBHidManager> usbHidManager;
    USBScanner usbScanner;
    std::optional<ConfigModel> configModel;
    HidDeviceRef device;
    std::optional<QString> partNumber;
    int64_t packNo = 0;
    std::optional<int64_t> checkSum;
    double deviceImageLeading = 0;
    QStringList fwVerItems;
    QStringList onlineFwInfoArray;
    // Closed while a search tick, an update or a download waits on the event loop.
    WaitGate waitGate;

    // The window's controls by the names the window description gives them.
    Ui::MainWindow& outlets;
    LayoutConstraint& DeviceImageLeading;

    AlertPresenter& alerts;
    FtpDownloader& downloader() { return environment_.downloader; }

    // The window's answer when the user closes it: false, and the prompt says why, while an
    // update downloads or sends its image.
    bool windowShouldClose();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::vector<DeviceMatching> buildDeviceMatchingList() const;
    bool isLoaderIdentity(const HidDeviceRef& device) const;
    void searchOnPlug();
    // The release the pop-up selects, as a file of the shipped tree.
    std::optional<QString> selectedReleaseFile(const QString& fileName) const;
    // A download with the window drawn and its controls held still until it ends.
    std::optional<QByteArray> downloadFile(const QString& path, qsizetype maxBytes);
    void paintWindowNow();
    void setControlsEnabled(bool enabled);
    // The device screen for a converter this configuration has no record for.
    void showUnsupportedConverter();
    void log(int line, QStringView function, QStringView message = {}) const;

    Environment environment_;
    StatusRenderer statusRenderer_;
    PermissionPrompt permissionPrompt_;
    ReleaseTree releaseTree_;
    UpdateRun updateRun_{*this};
    // Set by a tick that ended the search (it identified a device, or found that the state had
    // moved on while it waited), so restarting the search after firing that tick leaves it off.
    bool lastTickEndedSearch_ = false;
    // The HID manager holds its delegate weakly; this token dies with the controller.
    std::shared_ptr<HIDManagerDelegate> delegateToken_{this, [](HIDManagerDelegate*) {}};
};
