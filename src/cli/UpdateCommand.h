#pragma once

#include <QString>

#include "cli/CliArguments.h"
#include "cli/ExitCode.h"
#include "core/ConverterIdentity.h"
#include "core/ReleaseCatalogue.h"

class CliSession;

// `update`: identifies the converter, gets the image (a shipped release, one from the release
// server, or a file of the user's), sends it with the end command as the window does, telling the
// same statuses in words and a failure as what happened and what to do next, then asks the
// converter again which version it runs now.
class UpdateCommand {
public:
    explicit UpdateCommand(CliSession& session) : session_(session) {}

    ExitCode run(const CliArguments& arguments);
    // The part after the image is in hand: the transfer with its end command, the result, and
    // the converter asked again.
    ExitCode install(ConverterIdentity& converter, const ReleaseImage& release);

private:
    // The image and its checksum; with no release the result says why (and whether the server
    // could not deliver it).
    ReleaseCatalogue::ImageResult image(const CliArguments& arguments,
                                        const ConverterIdentity& converter);
    ReleaseCatalogue::ImageResult onlineRelease(const FwInfoModel& record, bool isStandard,
                                                const QString& version);

    CliSession& session_;
};
