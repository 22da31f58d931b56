#pragma once

#include <QString>
#include <memory>
#include <optional>

// What the configuration knows about one part number. Shared record.
struct FwInfoModel {
    std::optional<QString> FileName;
    std::optional<QString> FileName_TE;
    std::optional<QString> BetaFileName;
    std::optional<QString> BetaFileName_TE;
    std::optional<QString> PartNumber;
    std::optional<QString> DeviceName;
    std::optional<bool> Standard;
    std::optional<bool> Tournament;
};
using FwInfoModelRef = std::shared_ptr<FwInfoModel>;
