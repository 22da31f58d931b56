#include "app/ViewController.h"

#include <QCoreApplication>
#include <QEvent>
#include <QPalette>
#include <QTimer>

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
      environment_(std::move(environment)), statusRenderer_(outlets, DeviceImageLeading),
      permissionPrompt_(*outlets.PromptText), catalogueDownload_(environment_.downloader),
      releaseCatalogue_(environment_.resourceDirectory, catalogueDownload_, isBeta),
      updateRun_(*this, {waitGate, usbScanner, mainVM,
                         [this](bool online) { return chosenRelease(online); },
                         [this](const ReleaseImage& release) { return upgradeFW(release); }}) {
    catalogueDownload_.setObserver({[this](const QString&) { downloadStarted(); },
                                    [this](const QString&, bool ok) { downloadFinished(ok); }});
    connect(outlets.StandardButton, &QAbstractButton::clicked, this,
            [this] { RadioButtonClicked(outlets.StandardButton); });
    connect(outlets.TournamentButton, &QAbstractButton::clicked, this,
            [this] { RadioButtonClicked(outlets.TournamentButton); });
    connect(outlets.CommonButton, &QAbstractButton::clicked, this,
            [this] { CommonButton(outlets.CommonButton); });
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
            viewWillAppear();
        else if (event->type() == QEvent::Hide)
            viewWillDisappear();
    }
    return QObject::eventFilter(watched, event);
}

// ---- Start-up -------------------------------------------------------------------------------

void ViewController::viewDidLoad() {
    log(175, u"viewDidLoad()");

    for (QAbstractButton* button : {static_cast<QAbstractButton*>(outlets.StandardButton),
                                    static_cast<QAbstractButton*>(outlets.TournamentButton)}) {
        QPalette palette = button->palette();
        palette.setColor(QPalette::WindowText, Qt::white);
        palette.setColor(QPalette::ButtonText, Qt::white);
        button->setPalette(palette);
    }

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

    usbScanner.onSearchTimerTick = [this] { onSearchTimerTick(); };

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
        if (name.isEmpty()) {
            outlets.DeviceName->setVisible(false);
        } else {
            outlets.DeviceName->setVisible(true);
            outlets.DeviceName->setText(name);
        }
    }));
    cancellables.push_back(mainVM.FwInfoVM.subscribe([this](const FwInfoModelRef& model) {
        // Offering a choice of one mode makes no sense; unknown flags leave the selector alone.
        if (model && model->Standard && model->Tournament)
            outlets.ModeStatckView->setVisible(*model->Standard && *model->Tournament);
    }));
    cancellables.push_back(mainVM.FailureReason.subscribe([this](const QString& reason) {
        outlets.FailureReason->setText(reason);
        outlets.FailureReason->setVisible(!reason.isEmpty() &&
                                          isFailureStatus(mainVM.CurrentUIStatus.value()));
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
    // match every HID device attached.
    if (!configModel) {
        usbScanner.stop();
        return;
    }
    // A running timer ticks once at once. If that tick identified a converter the search is meant
    // to stay off; starting a timer anyway would identify the converter again every half second
    // and rebuild the version pop-up under the user's hand.
    lastTickEndedSearch_ = false;
    const bool ticked = usbScanner.fire();
    usbScanner.stop();
    if (ticked && lastTickEndedSearch_)
        return;
    usbScanner.start();
}

void ViewController::RadioButtonClicked(QAbstractButton* sender) {
    outlets.StandardButton->setChecked(false);
    outlets.TournamentButton->setChecked(false);
    sender->setChecked(true);
    if (sender->property("tag").toInt() == 1) {
        mainVM.IsStandard = false;
        mainVM.IsTE = true;
    } else {
        mainVM.IsStandard = true;
        mainVM.IsTE = false;
    }
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
    const UIStatus status = mainVM.CurrentUIStatus.value();
    if (status != UIStatus::FTP_DOWNLOAD && status != UIStatus::UPGRADE_FW)
        return true;
    outlets.PromptText->setText(
        QStringLiteral("Please wait until the update has finished: closing the window now could "
                       "leave the converter without working firmware."));
    return false;
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

// ---- Device search ----------------------------------------------------------------------------

void ViewController::onSearchTimerTick() {
    // A tick inside another tick's or an update's wait would talk to the device under it and
    // replace the screen that wait's work is about to show. The timer keeps running, so the
    // search goes on once the wait is over, unless that work ends it.
    if (!waitGate.isOpen())
        return;
    log(205, u"onSearchTimerTick");
    lastTickEndedSearch_ = false;
    usbScanner.stop();
    if (!configModel || !converterSearch_ || !converterSearch_->hasLoaderIdentities()) {
        restartSearchTimer();
        return;
    }

    ConverterSearch::FirstFound found;
    {
        const WaitGate::Scope waiting = waitGate.close();
        found = converterSearch_->identifyFirst([this](int64_t vendorId, int64_t productId) {
            log(217, u"onSearchTimerTick",
                QString(QStringLiteral(" \U0001F646\u2642\uFE0F Get Usb Device, "))
                    .append(QString::number(vendorId))
                    .append(QStringLiteral(", "))
                    .append(QString::number(productId)));
        });
    }

    // The waits let the state move on: START pressed, a result on screen. Whatever did that owns
    // the screen and the search now; this tick's finding is stale.
    if (mainVM.CurrentUIStatus.value() != UIStatus::NORMAL || updateRun_.isActive()) {
        lastTickEndedSearch_ = true;
        return;
    }
    if (!found.identity) {
        permissionPrompt_.update(found.accessDenied, configModel->PromptText.value_or(QString()));
        restartSearchTimer();
        return;
    }

    // The screen of the device is built from its part number; the rest of what it told follows.
    identity.partNumber = found.identity->partNumber;
    outlets.CurrentVersion->setText(
        QString(QStringLiteral("Current version: "))
            .append(found.identity->firmwareVersion.value_or(QString())));
    mainVM.CurrentUIStatus = UIStatus::DEVICE_PLUG;
    identity = *found.identity;
    if (usbHidManager->isRemoved(identity.device)) {
        // Pulled out while its screen was being built (online, the version list downloads inside
        // the change of status): the search screen its removal showed was stored over, so it is
        // shown again and the search goes on.
        mainVM.CurrentUIStatus = UIStatus::NORMAL;
        restartSearchTimer();
        return;
    }
    // A removal reported while this tick waited for the device may have restarted the search;
    // an identified device ends it either way.
    usbScanner.stop();
    lastTickEndedSearch_ = true;
}

void ViewController::hidDeviceRemoved(const HidDeviceRef& removed) {
    HidService& manager = environment_.hidService;
    const std::optional<int64_t> vendorId = manager.deviceProperty(removed, "VendorID");
    const std::optional<int64_t> productId = manager.deviceProperty(removed, "ProductID");
    if (vendorId && productId)
        log(15, u"hidDeviceRemoved(_:)",
            QStringLiteral("🙁 HID 設備已移除 -> VID: 0x%1, PID: 0x%2")
                .arg(HexText::zeroFilled(static_cast<uint32_t>(*vendorId)),
                     HexText::zeroFilled(static_cast<uint32_t>(*productId))));
    else
        log(17, u"hidDeviceRemoved(_:)",
            QStringLiteral("🙁 HID 設備已移除 -> 未知裝置"));

    const UIStatus status = mainVM.CurrentUIStatus.value();
    if (status == UIStatus::UPGRADE_FW || status == UIStatus::UPGRADE_FW_FINISH ||
        status == UIStatus::UPGRADE_FW_FAILED)
        return;
    mainVM.CurrentUIStatus = UIStatus::NORMAL;
    restartSearchTimer();
}

void ViewController::hidDeviceArrived(const HidDeviceRef& arrived) {
    if (!converterSearch_ || !converterSearch_->isLoaderIdentity(arrived))
        return;
    // Queued, so that the tick starts from the event loop and not inside whatever delivered the
    // news, which may be a wait of its own.
    QTimer::singleShot(0, this, [this] { searchOnPlug(); });
}

void ViewController::searchOnPlug() {
    // The tick the timer would have run, run early: only while the window searches (the timer
    // runs) and never inside another wait, which would find its state replaced. A plug that
    // comes at such a moment is left to the timer.
    if (mainVM.CurrentUIStatus.value() == UIStatus::NORMAL && waitGate.isOpen())
        usbScanner.fire();
}

// ---- Status rendering -------------------------------------------------------------------------

void ViewController::applyUIStatus(UIStatus status) {
    // A reason belongs to the failure it explains; whatever comes next starts without one.
    if (!isFailureStatus(status))
        mainVM.FailureReason = QString();
    const QString prompt = configModel ? configModel->PromptText.value_or(QString()) : QString();
    statusRenderer_.render(status, deviceImageLeading, DevicePicture::fromConfig(configModel),
                           prompt);
    if (status == UIStatus::DEVICE_PLUG)
        applyDeviceFwInfo();
}

// ---- Firmware catalogue -----------------------------------------------------------------------

void ViewController::applyDeviceFwInfo() {
    const FwInfoModelRef model =
        configModel ? ReleaseCatalogue::record(*configModel, identity.partNumber) : nullptr;
    if (!model) {
        showUnsupportedConverter();
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
    outlets.StandardButton->click();
}

void ViewController::showUnsupportedConverter() {
    // Nothing of an earlier converter may stay: its name and releases are not this one's.
    mainVM.DeviceName = QString();
    mainVM.FwInfoVM = nullptr;
    onlineFwInfoArray.clear();
    setFwVerItems({});
    outlets.ModeStatckView->setVisible(false);
    outlets.SelectVersion->setVisible(false);
    outlets.PopButtonView->setVisible(false);
    outlets.CommonButton->setVisible(false);
    outlets.PromptText->setText(
        identity.partNumber
            ? QStringLiteral("This converter (part number %1) is not supported by this "
                             "version of the updater.")
                  .arg(*identity.partNumber)
            : QStringLiteral("This converter is not supported by this version of the "
                             "updater."));
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
    outlets.PopUpFwVerItems->addItems(items);
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
        outlets.PopUpFwVerItems->addItem(item.title, item.entryIndex);
}

ReleaseCatalogue::ImageResult ViewController::chosenRelease(bool online) {
    const ReleaseCatalogue::ImageResult nothingChosen{
        std::nullopt,
        ReleaseCatalogue::ImageFailure{ReleaseCatalogue::ImageFailure::Kind::NothingChosen}};
    if (outlets.PopUpFwVerItems->currentIndex() < 0)
        return nothingChosen;
    if (!online)
        return releaseCatalogue_.shippedImage(identity.partNumber, mainVM.IsStandard.value(),
                                              outlets.PopUpFwVerItems->currentText());
    // Each item knows the list line it came from, so lines without a version field cannot
    // make the selection point at the wrong release.
    bool isIndex = false;
    const int entry = outlets.PopUpFwVerItems->currentData().toInt(&isIndex);
    if (!isIndex || entry < 0 || entry >= onlineFwInfoArray.size())
        return nothingChosen;
    return releaseCatalogue_.onlineImage(onlineFwInfoArray[entry]);
}

void ViewController::downloadStarted() {
    // The event loop runs while curl does: the window stays drawn and answers the window manager,
    // but nothing the user or a timer does may start other work until the file is in.
    downloadWait_.emplace(waitGate.close());
    setControlsEnabled(false);
    paintWindowNow();
}

void ViewController::downloadFinished(bool succeeded) {
    setControlsEnabled(true);
    if (!succeeded)
        mainVM.FailureReason = WindowFailureWording::reason(catalogueDownload_.failure());
    downloadWait_.reset();
}

void ViewController::paintWindowNow() {
    // The screen the download belongs to is on display before curl starts, not whenever the
    // loop gets round to it: first the layout of what was just shown, then the paint.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    outlets.MainView->window()->repaint();
}

void ViewController::setControlsEnabled(bool enabled) {
    for (QWidget* control : {static_cast<QWidget*>(outlets.StandardButton),
                             static_cast<QWidget*>(outlets.TournamentButton),
                             static_cast<QWidget*>(outlets.PopUpFwVerItems),
                             static_cast<QWidget*>(outlets.CommonButton)})
        control->setEnabled(enabled);
}
