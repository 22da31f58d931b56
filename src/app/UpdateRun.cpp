#include "app/UpdateRun.h"

#include "app/WindowFailureWording.h"

const QString UpdateRun::kUnpluggedWhileDownloading =
    QStringLiteral("The converter was unplugged while the firmware downloaded. Plug it in again "
                   "in loader mode, press Confirm and start again.");

void UpdateRun::queue(bool online) {
    if (active_)
        return;
    active_ = true;
    parts_.entries.post([this, online] {
        run(online);
        active_ = false;
    });
}

void UpdateRun::run(bool online) {
    // START pressed just before the screen moved on (the converter was pulled out, say): what it
    // would have updated is no longer offered.
    MainVM& vm = parts_.mainVM;
    if (vm.CurrentUIStatus.value() != UIStatus::DEVICE_PLUG || !vm.FwInfoVM.value())
        return;
    // Each update is checked against its own release's checksum only: the image and its
    // checksum are fetched together, never kept from an earlier update.
    if (online)
        vm.CurrentUIStatus = UIStatus::FTP_DOWNLOAD;
    const ReleaseCatalogue::ImageResult fetched = parts_.fetchImage(online);
    if (!fetched.release) {
        // Online, a list line without an image or an image that is no text says so as a failed
        // download does. Offline, no image (a missing release file) ends the job without a word:
        // the screen stays as it was and START can be pressed again.
        if (online) {
            vm.FailureReason = WindowFailureWording::reason(fetched.failure);
            vm.CurrentUIStatus = UIStatus::DOWNLOAD_FAILED;
        }
        return;
    }
    // Whatever now answers to the old converter's node is not known to be the converter that
    // was identified, so nothing is written.
    if (parts_.converterUnplugged())
        fail(kUnpluggedWhileDownloading);
    else
        transferAndFinish(*fetched.release);
}

void UpdateRun::transferAndFinish(const ReleaseImage& release) {
    // From here until "Confirm" nothing searches: a tick would talk to the converter under the
    // transfer and reset the packet counter.
    parts_.usbScanner.stop();
    parts_.mainVM.CurrentUIStatus = UIStatus::UPGRADE_FW;
    const ConverterUpdate::Outcome outcome = parts_.update(release);
    if (outcome.confirmed)
        parts_.mainVM.CurrentUIStatus = UIStatus::UPGRADE_FW_FINISH;
    else
        fail(WindowFailureWording::reason(outcome.failure));
}

void UpdateRun::fail(const QString& reason) {
    // Shown once the failure status is; until then it waits in the view model.
    parts_.mainVM.FailureReason = reason;
    parts_.mainVM.CurrentUIStatus = UIStatus::UPGRADE_FW_FAILED;
}
