#pragma once

#include <functional>

#include "app/EntryQueue.h"
#include "app/USBScanner.h"
#include "core/ConverterUpdate.h"
#include "core/ReleaseCatalogue.h"
#include "ui/MainVM.h"

// What START sets going: the firmware image is fetched (downloaded from the release server, or
// read from the releases shipped with the program), sent to the converter, the end of the upgrade
// announced, and the outcome shown. It is an entry of the window's queue, posted so that it
// starts after the button handler has returned.
class UpdateRun {
public:
    struct Parts {
        EntryQueue& entries;
        USBScanner& usbScanner;
        MainVM& mainVM;
        // The release the window's controls choose; `online` says downloaded or shipped.
        std::function<ReleaseCatalogue::ImageResult(bool online)> fetchImage;
        // Whether the identified converter has been unplugged since it was identified.
        std::function<bool()> converterUnplugged;
        // The transfer and the end command to the identified converter.
        std::function<ConverterUpdate::Outcome(const ReleaseImage& release)> update;
    };

    static const QString kUnpluggedWhileDownloading;

    explicit UpdateRun(Parts parts) : parts_(std::move(parts)) {}

    // Posts the job of the variant `online` selects; nothing while a job is posted or running:
    // the first one's result is what the screen is about to show.
    void queue(bool online);
    // From the press of START until the job has ended: the window stays open meanwhile.
    bool isActive() const { return active_; }

private:
    void run(bool online);
    void transferAndFinish(const ReleaseImage& release);
    void fail(const QString& reason);

    Parts parts_;
    bool active_ = false;
};
