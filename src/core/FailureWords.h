#pragma once

#include <QString>

#include "core/ReleaseCatalogue.h"
#include "protocol/FirmwareTransfer.h"

// What a failure means to the person with the converter: one sentence of what happened and which
// step comes next. The sentence is the same everywhere; each front end words the step for itself
// (the window's Confirm button, the terminal's next command).
class FailureWords {
public:
    // The front ends' words for the steps are tables in this order.
    enum class NextStep {
        PlugInAgain,          // the converter was pulled out
        Reconnect,            // the converter misbehaved: a fresh start in loader mode
        ChooseAnotherVersion, // this release cannot be sent
        ChooseAnotherMode,    // this mode has no releases
        RetryDownload,        // the server did not deliver
        CheckFile,            // the user's own file is unusable
    };
    struct Words {
        QString what;
        NextStep next;
    };

    static Words of(const FirmwareTransfer::Failure& failure);
    static Words of(const ReleaseCatalogue::ImageFailure& failure);
    static Words of(const CatalogueDownload::Failure& failure);
};
