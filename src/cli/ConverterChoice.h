#pragma once

#include <QString>
#include <optional>
#include <vector>

#include "cli/ExitCode.h"
#include "core/ConverterSearch.h"

// Which of the attached converters a command is for. The window takes the first converter it
// finds; a command line names one with --device, and without it more than one attached converter
// is an error, so that an update never goes to a converter the user did not mean.
class ConverterChoice {
public:
    struct Result {
        std::optional<ConverterIdentity> converter; // set when exactly one answered
        ExitCode failure = ExitCode::Success;       // why not, otherwise
        QString reason;                             // what is wrong and what to do next
        // The findings the command considered: the one named, or all of them.
        std::vector<ConverterSearch::Finding> considered;
    };

    static Result choose(std::vector<ConverterSearch::Finding> findings,
                         const std::optional<QString>& node);
};
