#pragma once

#include <QImage>
#include <QString>
#include <optional>

#include "config/FwInfoModel.h"
#include "core/UIStatus.h"
#include "ui/Published.h"

// Everything the workflow shows goes through these properties; the window subscribes to each.
class MainVM {
public:
    Published<UIStatus> CurrentUIStatus{UIStatus::NORMAL};
    Published<QString> WindowTitle;
    Published<std::optional<QImage>> DeviceImage;
    Published<QString> DeviceName;
    Published<FwInfoModelRef> FwInfoVM;
    Published<bool> IsStandard{false};
    Published<bool> IsTE{false};
    // Why the last update or download failed and what to do next; shown under the prompt of a
    // failure status and cleared by any other status.
    Published<QString> FailureReason;
};
