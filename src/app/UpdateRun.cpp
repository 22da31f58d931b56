#include "app/UpdateRun.h"

#include <QTimer>

#include "app/WindowFailureWording.h"

UpdateRun::UpdateRun(QObject& context, Parts parts) : context_(context), parts_(std::move(parts)) {}

bool UpdateRun::queue(bool online) {
    if (active_)
        return false;
    active_ = true;
    QTimer::singleShot(0, &context_, [this, online] { run(online); });
    return true;
}

void UpdateRun::run(bool online) {
    // Delivered inside a wait (START pressed while a search tick waited on a device, say): the
    // update would run under that tick and its transfer would share the device and the counter
    // with it. Refused; the screen still shows what is true and START can be pressed again.
    if (!parts_.waitGate.isOpen()) {
        active_ = false;
        return;
    }
    // Each update is checked against its own release's checksum only: the image and its
    // checksum are fetched together, never kept from an earlier update.
    if (online)
        parts_.mainVM.CurrentUIStatus = UIStatus::FTP_DOWNLOAD;
    const ReleaseCatalogue::ImageResult fetched = parts_.fetchImage(online);
    if (fetched.release)
        transferAndFinish(*fetched.release);
    else if (online) {
        // A list line without an image, or an image that is no text, says so like a failed
        // download does.
        parts_.mainVM.FailureReason = WindowFailureWording::reason(fetched.failure);
        parts_.mainVM.CurrentUIStatus = UIStatus::DOWNLOAD_FAILED;
    }
    // Offline, no image (a missing release file) ends the job without a word: the screen stays
    // as it was and START can be pressed again.
    active_ = false;
}

void UpdateRun::transferAndFinish(const ReleaseImage& release) {
    // A removal during the download restarted the search. Its ticks would run inside the
    // transfer's waits, talk to the same device and reset the packet counter; from here until
    // "Confirm" nothing searches.
    parts_.usbScanner.stop();
    parts_.mainVM.CurrentUIStatus = UIStatus::UPGRADE_FW;
    ConverterUpdate::Outcome outcome;
    {
        const WaitGate::Scope waiting = parts_.waitGate.close();
        outcome = parts_.update(release);
    }
    // Shown once the failure status is; until then it waits in the view model.
    parts_.mainVM.FailureReason = WindowFailureWording::reason(outcome.failure);
    parts_.mainVM.CurrentUIStatus =
        outcome.confirmed ? UIStatus::UPGRADE_FW_FINISH : UIStatus::UPGRADE_FW_FAILED;
}
