#pragma once

#include <QObject>
#include <functional>

#include "app/USBScanner.h"
#include "app/WaitGate.h"
#include "core/ConverterUpdate.h"
#include "core/ReleaseCatalogue.h"
#include "core/ReleaseImage.h"
#include "ui/MainVM.h"

// What START sets going: the firmware image is fetched (downloaded from the release server, or
// read from the releases shipped with the program), sent to the converter, the end of the upgrade
// announced, and the outcome shown. It runs as a job on the GUI thread, queued so that it starts
// after the button handler has returned.
class UpdateRun {
public:
    // What the job works with: the window's wait gate, search and view model, and the two steps
    // that depend on what the window shows (the chosen release, the identified converter).
    struct Parts {
        WaitGate& waitGate;
        USBScanner& usbScanner;
        MainVM& mainVM;
        // The release the window's controls choose; `online` says downloaded or shipped.
        std::function<ReleaseCatalogue::ImageResult(bool online)> fetchImage;
        // The transfer and the end command to the identified converter.
        std::function<ConverterUpdate::Outcome(const ReleaseImage& release)> update;
    };

    // Jobs are queued on `context`'s thread and dropped with it.
    UpdateRun(QObject& context, Parts parts);

    // Queues the job of the variant `online` selects. False, and nothing queued, while a job is
    // queued or running: a second job would run inside the first one's waits and reset the packet
    // counter under the transfer.
    bool queue(bool online);
    // From the press of START until the job has ended.
    bool isActive() const { return active_; }

private:
    void run(bool online);
    void transferAndFinish(const ReleaseImage& release);

    QObject& context_;
    Parts parts_;
    bool active_ = false;
};
