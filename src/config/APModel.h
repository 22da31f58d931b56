#pragma once

#include <QString>
#include <cstdint>
#include <memory>
#include <optional>

// The converter as it presents itself in application mode. Shared record: lists hold the same
// object the parser keeps as its current record.
struct APModel {
    std::optional<int64_t> Vid;
    std::optional<int64_t> Pid;
    std::optional<bool> IsSwitch_Ld;
    std::optional<QString> Ld_Cmd;
    std::optional<QString> Ld_Cmd_Len;
    std::optional<bool> IsSwitch_Ap;
    std::optional<QString> Ap_Cmd;
    std::optional<QString> Ap_Cmd_Len;
};
using APModelRef = std::shared_ptr<APModel>;
