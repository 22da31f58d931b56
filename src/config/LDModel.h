#pragma once

#include <cstdint>
#include <memory>
#include <optional>

// The converter as it presents itself in loader mode. Shared record.
struct LDModel {
    std::optional<int64_t> Vid;
    std::optional<int64_t> Pid;
};
using LDModelRef = std::shared_ptr<LDModel>;
