#include "app/UpdateRun.h"

#include <QTimer>

#include "app/ViewController.h"
#include "protocol/Commands.h"

UpdateRun::UpdateRun(ViewController& controller) : controller_(controller) {}

bool UpdateRun::queue(bool online) {
    if (active_)
        return false;
    active_ = true;
    QTimer::singleShot(0, &controller_, [this, online] { run(online); });
    return true;
}

void UpdateRun::run(bool online) {
    // Delivered inside a wait (START pressed while a search tick waited on a device, say): the
    // update would run under that tick and its transfer would share the device and the counter
    // with it. Refused; the screen still shows what is true and START can be pressed again.
    if (!controller_.waitGate.isOpen()) {
        active_ = false;
        return;
    }
    // Each update is checked against its own release's checksum only: a release without one
    // must fail the final check, not be compared with whatever the previous update read.
    controller_.checkSum.reset();
    const std::optional<QByteArray> image = online ? downloadImage() : readShippedImage();
    if (image)
        transferAndFinish(*image);
    active_ = false;
}

std::optional<QByteArray> UpdateRun::downloadImage() {
    controller_.mainVM.CurrentUIStatus = UIStatus::FTP_DOWNLOAD;
    std::optional<QByteArray> image = controller_.downloadHexFile();
    if (!image)
        controller_.mainVM.CurrentUIStatus = UIStatus::DOWNLOAD_FAILED;
    return image;
}

std::optional<QByteArray> UpdateRun::readShippedImage() {
    // No image (a missing release file) ends the job without a word: the screen stays as it was
    // and START can be pressed again.
    controller_.readChecksumFile();
    return controller_.readHexFile();
}

void UpdateRun::transferAndFinish(const QByteArray& image) {
    // A removal during the download restarted the search. Its ticks would run inside the
    // transfer's waits, talk to the same device and reset the packet counter; from here until
    // "Confirm" nothing searches.
    controller_.usbScanner.stop();
    controller_.mainVM.CurrentUIStatus = UIStatus::UPGRADE_FW;
    bool confirmed = false;
    {
        const WaitGate::Scope waiting = controller_.waitGate.close();
        confirmed = controller_.upgradeFW(image);
        // Sent whatever the outcome, so the device leaves its upgrade state either way; a
        // converter that has been pulled out hears nothing.
        USBHidManager* manager = controller_.usbHidManager.get();
        if (manager && !manager->isRemoved(controller_.device))
            Commands::endUpgradeFW(*manager, controller_.device, controller_.packNo);
    }
    controller_.mainVM.CurrentUIStatus =
        confirmed ? UIStatus::UPGRADE_FW_FINISH : UIStatus::UPGRADE_FW_FAILED;
}
