#pragma once

#include <QString>
#include <optional>
#include <vector>

#include "config/APModel.h"
#include "config/DeviceImageModel.h"
#include "config/FwInfoModel.h"
#include "config/LDModel.h"

// The whole configuration. A value record; the records inside the lists are shared.
// Every field may be absent, and an absent list is not the same as an empty one.
struct ConfigModel {
    std::optional<QString> ProgramTitle;
    std::optional<QString> PromptText;
    std::optional<bool> IsOnline;
    std::optional<DeviceImageModel> ImageModel;
    std::optional<std::vector<APModelRef>> APCollection;
    std::optional<std::vector<LDModelRef>> LDCollection;
    std::optional<std::vector<FwInfoModelRef>> FwInfoCollection;
};
