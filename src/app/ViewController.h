#pragma once

#include <QAbstractButton>
#include <QObject>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "app/UpdateRun.h"
#include "config/ConfigModel.h"
#include "core/CatalogueDownload.h"
#include "core/ConverterIdentity.h"
#include "core/ConverterSearch.h"
#include "device/HIDManagerDelegate.h"
#include "device/ReportExchangeTiming.h"
#include "device/USBHidManager.h"
#include "firmware/FtpDownloader.h"
#include "ui/AlertPresenter.h"
#include "ui/Cancellable.h"
#include "ui/FlatButton.h"
#include "ui/LayoutConstraint.h"
#include "ui/StatusRenderer.h"
#include "ui/WindowController.h"

// The one controller of the main window: it loads the configuration, searches for the converter,
// identifies it, offers its releases and shows every status through the view model. Everything
// runs on the GUI thread; device exchanges wait by running the event loop, so timer ticks, clicks
// and removals can arrive in the middle of one. They reach the controller through one queue of
// entries, which runs one at a time.
class ViewController : public QObject, public HIDManagerDelegate {
    Q_OBJECT

public:
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

    // Life cycle: viewDidLoad() once after construction; the other two follow the view being
    // shown and hidden.
    void viewDidLoad();
    void viewWillAppear();
    void viewWillDisappear();

    void setBinding();
    void restartSearchTimer();

    // Device search. The tick is what the timer runs; the news from the HID manager is logged at
    // once and acted on in its turn.
    void onSearchTimerTick();
    void hidDeviceRemoved(const HidDeviceRef& device) override;
    // A converter plugged in while the window searches is identified at once, not at the next
    // tick; the timer stays as the fallback.
    void hidDeviceArrived(const HidDeviceRef& device) override;

    void RadioButtonClicked(QAbstractButton* sender);
    // "START" queues an update of the identified converter; "Confirm" returns to searching.
    void CommonButton(FlatButton* sender);

    // Sends the release to the identified converter and ends the upgrade, drawing the progress
    // into the device picture. Checksum failures alert the user.
    ConverterUpdate::Outcome upgradeFW(const ReleaseImage& release);

    void applyUIStatus(UIStatus status);

    void applyDeviceFwInfo();
    void reloadFwVersions(bool value, bool isStandard);
    void setFwVerItems(const QStringList& items);
    // Where each pop-up item keeps its version's own text, whatever the item shows.
    static constexpr int kVersionRole = Qt::UserRole + 1;
    void loadOnlineFwList(bool isStandard);
    void fillOnlineFwVerItems();
    // The release the pop-up chooses, for the update run: shipped, or downloaded when online.
    ReleaseCatalogue::ImageResult chosenRelease(bool online);

    // The window's state; the tests reach into it.
    const bool isBeta;
    MainVM mainVM;
    std::vector<Cancellable> cancellables;
    std::unique_ptr<USBHidManager> usbHidManager;
    USBScanner usbScanner;
    EntryQueue entryQueue{*this};
    std::optional<ConfigModel> configModel;
    // The converter identified last; its device stays null until one is.
    ConverterIdentity identity;
    double deviceImageLeading = 0;
    QStringList fwVerItems;
    QStringList onlineFwInfoArray;

    // The window's controls by the names the window description gives them.
    Ui::MainWindow& outlets;
    LayoutConstraint& DeviceImageLeading;

    AlertPresenter& alerts;

    // The window's answer when the user closes it: false, and the prompt says why, from START
    // until the update's result shows. Otherwise true, and the controller stops for good.
    bool windowShouldClose();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void addFwVerItem(const QString& version, const QVariant& release);
    void log(int line, QStringView function, QStringView message = {}) const;

    WindowController& windowController_;
    Environment environment_;
    StatusRenderer statusRenderer_;
    CatalogueDownload catalogueDownload_;
    ReleaseCatalogue releaseCatalogue_;
    // Made with the HID manager when the view loads.
    std::unique_ptr<ConverterSearch> converterSearch_;
    UpdateRun updateRun_;
    // The HID manager holds its delegate weakly; this token dies with the controller.
    std::shared_ptr<HIDManagerDelegate> delegateToken_{this, [](HIDManagerDelegate*) {}};
};
