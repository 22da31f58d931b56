#pragma once

#include "cli/CliArguments.h"
#include "cli/ExitCode.h"
#include "core/ConverterIdentity.h"
#include "core/ReleaseCatalogue.h"

class CliSession;

// `update`: gets the image (a shipped release, one from the release server, or the user's file),
// sends it as the window does, then asks the converter which version it runs now.
class UpdateCommand {
public:
    explicit UpdateCommand(CliSession& session) : session_(session) {}

    ExitCode run(const CliArguments& arguments);
    // The transfer, once the image is in hand. With `version`, the release's, the update counts
    // only when the converter reports that version afterwards.
    ExitCode install(ConverterIdentity& converter, const ReleaseImage& release,
                     const std::optional<QString>& version = std::nullopt);

private:
    // The release's image and checksum; absent, after saying why, with `failure` set.
    std::optional<ReleaseImage> release(const CliArguments& arguments,
                                        const ConverterIdentity& converter, ExitCode& failure);

    CliSession& session_;
};
