#include "cli/ConverterChoice.h"

using State = ConverterSearch::Finding::State;

ConverterChoice::Result ConverterChoice::choose(std::vector<ConverterSearch::Finding> findings,
                                                const std::optional<QString>& node) {
    Result result;
    if (node) {
        std::erase_if(findings, [&node](const ConverterSearch::Finding& finding) {
            return finding.identity.node != *node;
        });
    }
    result.considered = findings;
    if (findings.empty()) {
        result.failure = ExitCode::NoConverter;
        result.reason =
            node ? QString("No converter in loader mode is attached at %1. The list command "
                           "shows the ones that are.")
                       .arg(*node)
                 : QString("No converter in loader mode is attached. Plug it in in its loader "
                           "mode, then run the command again.");
        return result;
    }
    if (findings.size() > 1) {
        result.failure = ExitCode::UsageError;
        result.reason = "More than one converter is attached; name the one to use with --device:";
        for (const ConverterSearch::Finding& finding : findings)
            result.reason += "\n  --device " + finding.identity.node;
        return result;
    }
    const ConverterSearch::Finding& finding = findings.front();
    switch (finding.state) {
    case State::Identified:
        result.converter = finding.identity;
        break;
    case State::AccessDenied:
        result.failure = ExitCode::PermissionDenied;
        result.reason = ConverterSearch::accessDeniedAdvice();
        break;
    case State::NotAnswering:
        result.failure = ExitCode::NoConverter;
        result.reason = QString("The converter at %1 does not answer. Unplug it, plug it in again "
                                "in its loader mode, and run the command again.")
                            .arg(finding.identity.node);
        break;
    }
    return result;
}
