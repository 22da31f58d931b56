#pragma once

#include <QString>
#include <optional>
#include <vector>

#include "cli/ExitCode.h"
#include "core/ConverterSearch.h"

// Which attached converter a command is for: the one --device names, else the only one. Unlike the
// window, more than one is an error, so that an update never goes to a converter not meant.
class ConverterChoice {
public:
    struct Result {
        std::optional<ConverterIdentity> converter;       // set when exactly one answered
        ExitCode failure = ExitCode::Success;             // why not, otherwise
        QString reason;                                   // what is wrong and what to do next
        std::vector<ConverterSearch::Finding> considered; // the one named, or all of them
    };

    static Result choose(std::vector<ConverterSearch::Finding> findings,
                         const std::optional<QString>& node);
};
