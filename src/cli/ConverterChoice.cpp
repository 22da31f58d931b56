#include "cli/ConverterChoice.h"

using State = ConverterSearch::Finding::State;

ConverterChoice::Result ConverterChoice::choose(std::vector<ConverterSearch::Finding> findings,
                                                const std::optional<QString>& node) {
    if (node)
        std::erase_if(findings, [&node](const ConverterSearch::Finding& finding) {
            return finding.identity.node != *node;
        });
    if (findings.empty())
        return {{},
                ExitCode::NoConverter,
                node ? QString("No converter in loader mode is attached at %1. The list command "
                               "shows the ones that are.")
                           .arg(*node)
                     : QString("No converter in loader mode is attached. Plug it in in its loader "
                               "mode, then run the command again."),
                findings};
    if (findings.size() > 1) {
        QString reason = "More than one converter is attached; name the one to use with --device:";
        for (const ConverterSearch::Finding& finding : findings)
            reason += "\n  --device " + finding.identity.node;
        return {{}, ExitCode::UsageError, reason, findings};
    }
    const ConverterSearch::Finding& finding = findings.front();
    if (finding.state == State::Identified)
        return {finding.identity, ExitCode::Success, {}, findings};
    if (finding.state == State::AccessDenied)
        return {{}, ExitCode::PermissionDenied, ConverterSearch::accessDeniedAdvice(), findings};
    return {{},
            ExitCode::NoConverter,
            QString("The converter at %1 does not answer. Unplug it, plug it in again in its "
                    "loader mode, and run the command again.")
                .arg(finding.identity.node),
            findings};
}
