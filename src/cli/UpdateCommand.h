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
    // The part after the image is in hand: the transfer with its end command, the converter asked
    // again, and the result. With `version`, the release's, the update counts only when the
    // converter reports that version afterwards.
    ExitCode install(ConverterIdentity& converter, const ReleaseImage& release,
                     const std::optional<QString>& version = std::nullopt);

private:
    // The release's image and checksum; absent, after saying why, with `failure` set.
    std::optional<ReleaseImage> release(const CliArguments& arguments,
                                        const ConverterIdentity& converter, ExitCode& failure);

    CliSession& session_;
};
