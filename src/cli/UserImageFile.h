#pragma once

#include <QString>
#include <optional>

#include "cli/CliArguments.h"
#include "cli/CommandReport.h"
#include "core/ReleaseImage.h"

// A HEX image the user names with --file, read strictly before a converter hears anything: every
// line a whole record whose byte count, digits and record checksum agree, at least one data
// record, and no more firmware than the converter takes. A shipped or downloaded release is read
// leniently instead; a file of one's own is more likely cut off or mistaken for another.
class UserImageFile {
public:
    struct Result {
        std::optional<ReleaseImage> release;
        // Why the file was refused, and what to do about it; empty when it was not.
        CommandReport::Failure refusal;
    };

    // The image of --file, with the checksum of --checksum or of the --description file.
    // --force lets records through whose checksums alone are wrong.
    static Result read(const CliArguments& arguments);
};
