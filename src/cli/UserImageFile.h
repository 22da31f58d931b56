#pragma once

#include <QString>
#include <optional>

#include "cli/CliArguments.h"
#include "cli/CommandReport.h"
#include "core/ReleaseImage.h"

// The HEX image of --file, read strictly (unlike a release) since a file of one's own is more
// likely cut off or mistaken for another: whole records whose byte count, digits and checksum
// agree, some data, no more than the converter takes, and the end-of-file record.
class UserImageFile {
public:
    struct Result {
        std::optional<ReleaseImage> release;
        CommandReport::Failure refusal; // why the file was refused, and what to do about it
    };

    // The image of --file, with the checksum of --checksum or of the --description file.
    // --force lets records through whose checksums alone are wrong.
    static Result read(const CliArguments& arguments);
};
