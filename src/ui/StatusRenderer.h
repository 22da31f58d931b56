#pragma once

#include <QImage>
#include <QString>
#include <optional>

#include "core/UIStatus.h"
#include "ui/LayoutConstraint.h"
#include "ui_MainWindow.h"

// Shows one interface status: which parts of the window are visible, the picture and its offset,
// the prompt and the action button. It keeps no state; the picture offset is read back from the
// layout, so repeating a status never moves the picture twice.
class StatusRenderer {
public:
    StatusRenderer(Ui::MainWindow& outlets, LayoutConstraint& deviceImageLeading)
        : outlets_(outlets), deviceImageLeading_(deviceImageLeading) {}

    // `savedLeading` is the picture offset as the window was laid out; in DEVICE_PLUG the
    // picture stands kDevicePlugShift further along to make room for the device details.
    void render(UIStatus status, double savedLeading,
                const std::optional<QImage>& configuredPicture, const QString& configuredPrompt);

    // The device screen of a converter the configuration has no record for: nothing to choose
    // and nothing to start, and the prompt says why.
    void showUnsupported(const std::optional<QString>& partNumber);

    static constexpr double kDevicePlugShift = 100.0;

private:
    Ui::MainWindow& outlets_;
    LayoutConstraint& deviceImageLeading_;
};
