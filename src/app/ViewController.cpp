#include "app/ViewController.h"

#include <QEvent>

#include "app/WindowFailureWording.h"
#include "config/LoadConfig.h"
#include "core/OnlineVersionList.h"
#include "protocol/FirmwareTransfer.h"
#include "support/DiagnosticLog.h"
#include "support/HexText.h"
#include "ui/DevicePicture.h"
#include "ui/PictureResources.h"

const QString ViewController::kClassName =
    QStringLiteral("Velmar_Converter_Update_Offline.ViewController");

ViewController::ViewController(WindowController& windowController, Environment environment)
    : isBeta(ReleaseCatalogue::isBetaExecutable(environment.executablePath)),
      outlets(windowController.outlets()),
      DeviceImageLeading(windowController.deviceImageLeading()), alerts(environment.alerts),
      windowController_(windowController), environment_(std::move(environment)),
      statusRenderer_(outlets, DeviceImageLeading), catalogueDownload_(environment_.downloader),
      releaseCatalogue_(environment_.resourceDirectory, catalogueDownload_, isBeta),
      updateRun_({entryQueue, usbScanner, mainVM,
                  [this](bool online) { return chosenRelease(online); },
                  [this] { return usbHidManager->isRemoved(identity.device); },
                  [this](const ReleaseImage& release) { return upgradeFW(release); }}) {
    // The event loop runs while curl does: the window stays drawn and answers the window manager,
    // and its controls show that they will not act until the file is in.
    const auto started = [this](const QString&) {
        windowController_.holdControls(true);
        windowController_.paintNow();
    };
    const auto finished = [this](const QString&, bool succeeded) {
        windowController_.holdControls(false);
        if (!succeeded)
            mainVM.FailureReason = WindowFailureWording::reason(catalogueDownload_.failure());
    };
    catalogueDownload_.setObserver({started, finished});
    // A click that waited its turn counts only if its control still offers what it offered.
    for (QAbstractButton* button : std::initializer_list<QAbstractButton*>{
             outlets.StandardButton, outlets.TournamentButton, outlets.CommonButton})
        connect(button, &QAbstractButton::clicked, this, [this, button] {
            const auto offer = [this, button] {
                const bool shown = button->isEnabled() && button->isVisibleTo(outlets.MainView);
                return shown ? button->text() + outlets.CommonButton->title() : QString();
            };
            entryQueue.arrive([this, button, offer, offered = offer()] {
                if (offered.isEmpty() || offer() != offered)
                    return;
                if (button == outlets.CommonButton)
                    CommonButton(outlets.CommonButton);
                else
                    RadioButtonClicked(button);
            });
        });
    outlets.MainView->installEventFilter(this);
}

ViewController::~ViewController() {
    outlets.MainView->removeEventFilter(this);
    usbScanner.stop();
}

void ViewController::log(int line, QStringView function, QStringView message) const {
    DiagnosticLog::write(kClassName, line, function, message);
}

bool ViewController::eventFilter(QObject* watched, QEvent* event) {
    // Only the program's own show() and close(): a window manager minimising or restoring the
    // window is not the view appearing or going away.
    if (watched == outlets.MainView && !event->spontaneous()) {
        if (event->type() == QEvent::Show)
            entryQueue.arrive([this] { viewWillAppear(); });
        else if (event->type() == QEvent::Hide)
            viewWillDisappear();
    }
    return QObject::eventFilter(watched, event);
}

void ViewController::viewDidLoad() {
    log(175, u"viewDidLoad()");

    deviceImageLeading = DeviceImageLeading.constant();

    setBinding();

    std::vector<DeviceMatching> matching;
    std::vector<DeviceMatching> loaders;
    if (std::optional<ConfigModel> config = loadConfig(environment_.resourceDirectory)) {
        configModel = std::move(config);
        mainVM.DeviceImage = DevicePicture::fromConfig(configModel);
        matching = ConverterSearch::deviceMatchingList(*configModel);
        loaders = ConverterSearch::loaderIdentities(*configModel);
    }

    usbScanner.onSearchTimerTick = [this] {
        if (entryQueue.isIdle())
            entryQueue.arrive([this] { onSearchTimerTick(); });
    };

    usbHidManager = std::make_unique<USBHidManager>(environment_.hidService, std::move(matching),
                                                    delegateToken_, environment_.exchangeTiming);
    converterSearch_ = std::make_unique<ConverterSearch>(*usbHidManager, std::move(loaders));
}

void ViewController::setBinding() {
    cancellables.push_back(mainVM.CurrentUIStatus.subscribe([this](const UIStatus& status) {
        log(285, u"setBinding()");
        applyUIStatus(status);
    }));
    cancellables.push_back(mainVM.WindowTitle.subscribe([this](const QString& title) {
        if (QWidget* window = outlets.MainView->window(); window && window != outlets.MainView)
            window->setWindowTitle(title);
    }));
    cancellables.push_back(mainVM.DeviceImage.subscribe(
        [this](const std::optional<QImage>& image) { outlets.DeviceImage->setImage(image); }));
    cancellables.push_back(mainVM.DeviceName.subscribe([this](const QString& name) {
        outlets.DeviceName->setVisible(!name.isEmpty());
        if (!name.isEmpty())
            outlets.DeviceName->setText(name);
    }));
    cancellables.push_back(mainVM.FwInfoVM.subscribe([this](const FwInfoModelRef& model) {
        // Offering a choice of one mode makes no sense; unknown flags leave the selector alone.
        if (model && model->Standard && model->Tournament)
            outlets.ModeStatckView->setVisible(*model->Standard && *model->Tournament);
    }));
    cancellables.push_back(mainVM.FailureReason.subscribe([this](const QString& reason) {
        outlets.FailureReason->setText(reason);
        outlets.FailureReason->setVisible(!reason.isEmpty() &&
                                          isResultStatus(mainVM.CurrentUIStatus.value()));
    }));
    cancellables.push_back(
        mainVM.IsStandard.subscribe([this](const bool& value) { reloadFwVersions(value, true); }));
    cancellables.push_back(
        mainVM.IsTE.subscribe([this](const bool& value) { reloadFwVersions(value, false); }));
}

void ViewController::viewWillAppear() {
    log(247, u"viewWillAppear()");
    if (!configModel) {
        alerts.runModal({QStringLiteral("Fail"), QStringLiteral("Read config file failed."),
                         QStringLiteral("OK")});
        if (environment_.terminate)
            environment_.terminate();
        return;
    }
    mainVM.WindowTitle = configModel->ProgramTitle.value_or(QString());
    if (mainVM.CurrentUIStatus.value() != UIStatus::NORMAL)
        return; // a known device or an update keeps its screen
    outlets.DeviceImage->setImage(DevicePicture::fromConfig(configModel));
    outlets.PromptText->setText(configModel->PromptText.value_or(QString()));
    restartSearchTimer();
}

void ViewController::viewWillDisappear() {
    log(265, u"viewWillDisappear()");
    usbScanner.stop();
}

void ViewController::restartSearchTimer() {
    // Without a configuration there is nothing to search for, and its empty matching list would
    // match every HID device attached. A closed window searches no more.
    if (!configModel || entryQueue.isClosed()) {
        usbScanner.stop();
        return;
    }
    // A running timer ticks once at once. The tick runs on the new timer, so that one which
    // identifies a converter leaves the search off, as every identifying tick does.
    const bool wasRunning = usbScanner.isRunning();
    usbScanner.start();
    if (wasRunning)
        onSearchTimerTick();
}

void ViewController::RadioButtonClicked(QAbstractButton* sender) {
    outlets.StandardButton->setChecked(false);
    outlets.TournamentButton->setChecked(false);
    sender->setChecked(true);
    const bool tournament = sender->property("tag").toInt() == 1;
    mainVM.IsStandard = !tournament;
    mainVM.IsTE = tournament;
}

void ViewController::CommonButton(FlatButton* sender) {
    const QString title = sender->title();
    log(119, u"CommonButton(_:)", QString(QStringLiteral(" ---> ")).append(title));
    if (title == u"START") {
        // Without a configuration that says online or offline there is no way to get an image.
        // Nor for a converter the configuration does not know.
        if (configModel && configModel->IsOnline && mainVM.FwInfoVM.value())
            updateRun_.queue(*configModel->IsOnline);
    } else if (title == u"Confirm") {
        mainVM.CurrentUIStatus = UIStatus::NORMAL;
        restartSearchTimer();
    }
}

bool ViewController::windowShouldClose() {
    if (updateRun_.isActive()) {
        outlets.PromptText->setText(
            QStringLiteral("Please wait until the update has finished: closing the window now "
                           "could leave the converter without working firmware."));
        return false;
    }
    // Accepted at once, also inside a wait: whatever waits gives up and nothing new starts, so
    // the program can quit as soon as the wait returns.
    entryQueue.close();
    usbScanner.stop();
    environment_.downloader.cancel();
    if (usbHidManager)
        usbHidManager->stopExchanges();
    return true;
}

ConverterUpdate::Outcome ViewController::upgradeFW(const ReleaseImage& release) {
    ConverterUpdate update(*usbHidManager,
                           {[this](const QString& pictureName) {
                                outlets.DeviceImage->setImage(PictureResources::named(pictureName));
                                outlets.DeviceImage->setProgress(pictureName.toInt() * 100 /
                                                                 FirmwareTransfer::progressSteps);
                            },
                            [this](const QString& messageText, const QString& informativeText,
                                   const QString& buttonTitle) {
                                alerts.runModal({messageText, informativeText, buttonTitle});
                            }});
    return update.update(identity, release);
}

void ViewController::onSearchTimerTick() {
    log(205, u"onSearchTimerTick");
    usbScanner.stop();
    if (!configModel || !converterSearch_ || !converterSearch_->hasLoaderIdentities()) {
        restartSearchTimer();
        return;
    }

    const ConverterSearch::FirstFound found =
        converterSearch_->identifyFirst([this](int64_t vendorId, int64_t productId) {
            log(217, u"onSearchTimerTick",
                QStringLiteral(" \U0001F646\u2642\uFE0F Get Usb Device, %1, %2")
                    .arg(vendorId)
                    .arg(productId));
        });
    if (entryQueue.isClosed())
        return; // the window closed while the converter was asked
    if (!found.identity) {
        // A converter this user may not open gets its fix named. The label itself says whether
        // the advice is up: every status rendering replaces it, so a flag could fall out of step.
        const QString advice = ConverterSearch::accessDeniedAdvice();
        if (found.accessDenied)
            outlets.PromptText->setText(advice);
        else if (outlets.PromptText->text() == advice)
            outlets.PromptText->setText(configModel->PromptText.value_or(QString()));
        restartSearchTimer();
        return;
    }

    // The screen of the device is built from its part number and version (which the version pop-up
    // marks); the rest of what it told follows.
    identity.partNumber = found.identity->partNumber;
    identity.firmwareVersion = found.identity->firmwareVersion;
    outlets.CurrentVersion->setText(QStringLiteral("Current version: ") +
                                    found.identity->firmwareVersion.value_or(QString()));
    mainVM.CurrentUIStatus = UIStatus::DEVICE_PLUG;
    identity = *found.identity;
}

void ViewController::hidDeviceRemoved(const HidDeviceRef& removed) {
    const auto vendorId = environment_.hidService.deviceProperty(removed, "VendorID");
    const auto productId = environment_.hidService.deviceProperty(removed, "ProductID");
    if (vendorId && productId)
        log(15, u"hidDeviceRemoved(_:)",
            QStringLiteral("🙁 HID 設備已移除 -> VID: 0x%1, PID: 0x%2")
                .arg(HexText::zeroFilled(static_cast<uint32_t>(*vendorId)),
                     HexText::zeroFilled(static_cast<uint32_t>(*productId))));
    else
        log(17, u"hidDeviceRemoved(_:)",
            QStringLiteral("🙁 HID 設備已移除 -> 未知裝置"));
    entryQueue.arrive([this] {
        // An update and its result keep their screen; a converter pulled out during them fails
        // the update by itself.
        const UIStatus status = mainVM.CurrentUIStatus.value();
        if (status == UIStatus::UPGRADE_FW || status == UIStatus::UPGRADE_FW_FINISH ||
            status == UIStatus::UPGRADE_FW_FAILED)
            return;
        mainVM.CurrentUIStatus = UIStatus::NORMAL;
        restartSearchTimer();
    });
}

void ViewController::hidDeviceArrived(const HidDeviceRef& arrived) {
    if (!converterSearch_ || !converterSearch_->isLoaderIdentity(arrived))
        return;
    // Posted, so that the tick starts from the event loop and not inside whatever delivered the
    // news. It is the tick the timer would have run, run early: only while the window searches.
    entryQueue.post([this] {
        if (mainVM.CurrentUIStatus.value() == UIStatus::NORMAL && usbScanner.isRunning())
            onSearchTimerTick();
    });
}

void ViewController::applyUIStatus(UIStatus status) {
    // The line under the prompt belongs to the result it explains; whatever comes next starts
    // without one. Success names the release now installed.
    if (status == UIStatus::UPGRADE_FW_FINISH)
        mainVM.FailureReason =
            QStringLiteral("%1, %2 mode, is now on the converter.")
                .arg(outlets.PopUpFwVerItems->currentData(kVersionRole).toString(),
                     mainVM.IsStandard.value() ? QStringLiteral("Standard")
                                               : QStringLiteral("Tournament"));
    else if (!isResultStatus(status))
        mainVM.FailureReason = QString();
    const QString prompt = configModel ? configModel->PromptText.value_or(QString()) : QString();
    statusRenderer_.render(status, deviceImageLeading, DevicePicture::fromConfig(configModel),
                           prompt);
    if (status == UIStatus::DEVICE_PLUG)
        applyDeviceFwInfo();
}

void ViewController::applyDeviceFwInfo() {
    const FwInfoModelRef model =
        configModel ? ReleaseCatalogue::record(*configModel, identity.partNumber) : nullptr;
    if (!model) {
        // A converter this configuration has no record for: nothing of an earlier converter may
        // stay, its name and releases are not this one's.
        mainVM.DeviceName = QString();
        mainVM.FwInfoVM = nullptr;
        onlineFwInfoArray.clear();
        setFwVerItems({});
        statusRenderer_.showUnsupported(identity.partNumber);
        return;
    }
    if (!configModel->IsOnline)
        return;

    mainVM.DeviceName = model->DeviceName.value_or(QString());

    if (!*configModel->IsOnline) {
        // Offline the shipped tree, not the configuration, says which modes exist.
        const std::optional<ReleaseTree::Modes> modes =
            releaseCatalogue_.shippedModes(identity.partNumber);
        if (!modes) {
            // No releases shipped for it: nothing to offer, and nothing left of an earlier one.
            mainVM.FwInfoVM = nullptr;
            setFwVerItems({});
            return;
        }
        model->Standard = modes->standard;
        model->Tournament = modes->tournament;
    }
    mainVM.FwInfoVM = model;
    // What a click on Standard does, done here: this runs inside an entry, where a click would
    // wait its turn until the pop-up has been shown empty.
    RadioButtonClicked(outlets.StandardButton);
}

void ViewController::reloadFwVersions(bool value, bool isStandard) {
    if (!value || !configModel || !configModel->IsOnline)
        return;
    if (*configModel->IsOnline)
        loadOnlineFwList(isStandard);
    else
        setFwVerItems(releaseCatalogue_.shippedVersions(identity.partNumber, isStandard));
}

void ViewController::setFwVerItems(const QStringList& items) {
    fwVerItems = items;
    outlets.PopUpFwVerItems->clear();
    for (const QString& version : items)
        addFwVerItem(version, version);
}

void ViewController::addFwVerItem(const QString& version, const QVariant& release) {
    // The version the converter runs already is marked, so that nobody rewrites it unawares. What
    // START writes is found from the item's data, never from its text.
    const bool installed = identity.firmwareVersion == version;
    outlets.PopUpFwVerItems->addItem(installed ? version + QStringLiteral(" (installed)") : version,
                                     release);
    outlets.PopUpFwVerItems->setItemData(outlets.PopUpFwVerItems->count() - 1, version,
                                         kVersionRole);
}

void ViewController::loadOnlineFwList(bool isStandard) {
    const FwInfoModelRef model = mainVM.FwInfoVM.value();
    if (!model)
        return;
    const std::optional<QString> listName = releaseCatalogue_.onlineListName(*model, isStandard);
    if (!listName)
        return;
    outlets.PopUpFwVerItems->clear();
    const std::optional<QStringList> entries = releaseCatalogue_.downloadOnlineEntries(*listName);
    if (!entries) {
        mainVM.CurrentUIStatus = UIStatus::DOWNLOAD_FAILED;
        return;
    }
    onlineFwInfoArray = *entries;
    fillOnlineFwVerItems();
}

void ViewController::fillOnlineFwVerItems() {
    outlets.PopUpFwVerItems->clear();
    for (const OnlineVersionList::Item& item : OnlineVersionList::items(onlineFwInfoArray))
        addFwVerItem(item.title, item.entryIndex);
}

ReleaseCatalogue::ImageResult ViewController::chosenRelease(bool online) {
    const ReleaseCatalogue::ImageResult nothingChosen{
        std::nullopt,
        ReleaseCatalogue::ImageFailure{ReleaseCatalogue::ImageFailure::Kind::NothingChosen}};
    if (outlets.PopUpFwVerItems->currentIndex() < 0)
        return nothingChosen;
    if (!online)
        return releaseCatalogue_.shippedImage(identity.partNumber, mainVM.IsStandard.value(),
                                              outlets.PopUpFwVerItems->currentData().toString());
    // Each item knows the list line it came from, so lines without a version field cannot
    // make the selection point at the wrong release.
    bool isIndex = false;
    const int entry = outlets.PopUpFwVerItems->currentData().toInt(&isIndex);
    if (!isIndex || entry < 0 || entry >= onlineFwInfoArray.size())
        return nothingChosen;
    return releaseCatalogue_.onlineImage(onlineFwInfoArray[entry]);
}
