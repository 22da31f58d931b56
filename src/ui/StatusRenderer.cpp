#include "ui/StatusRenderer.h"

#include "core/StatusWords.h"
#include "ui/PictureResources.h"

static const QString kStartDescription =
    QStringLiteral("Writes the chosen firmware version to the converter");
static const QString kConfirmDescription = QStringLiteral("Returns to the search for a converter");

void StatusRenderer::render(UIStatus status, double savedLeading,
                            const std::optional<QImage>& configuredPicture,
                            const QString& configuredPrompt) {
    // The picture: a resource name, or absent for the configured picture with the title and the
    // device details.
    std::optional<QString> picture;
    switch (status) {
    case UIStatus::NORMAL:
    case UIStatus::DEVICE_PLUG:
        break;
    case UIStatus::UPGRADE_FW:
        picture = QStringLiteral("0");
        break;
    case UIStatus::UPGRADE_FW_FINISH:
        picture = QStringLiteral("complete");
        break;
    case UIStatus::UPGRADE_FW_FAILED:
    case UIStatus::DOWNLOAD_FAILED:
        picture = QStringLiteral("failed");
        break;
    case UIStatus::FTP_DOWNLOAD:
        picture = QStringLiteral("download");
        break;
    }
    const StatusWords words = StatusWords::of(status);

    const bool devicePlug = status == UIStatus::DEVICE_PLUG;
    outlets_.MainTitle->setVisible(!picture);
    for (QWidget* detail : std::initializer_list<QWidget*>{
             outlets_.DeviceName, outlets_.ModeStatckView, outlets_.SelectVersion,
             outlets_.PopButtonView, outlets_.CurrentVersion})
        detail->setVisible(devicePlug);
    if (status == UIStatus::NORMAL || devicePlug)
        outlets_.DeviceImage->setVisible(true);

    outlets_.DeviceImage->setImage(picture ? PictureResources::named(*picture) : configuredPicture);
    outlets_.DeviceImage->setStatus(words.title);
    outlets_.DeviceImage->setProgress(status == UIStatus::UPGRADE_FW ? std::optional<int>(0)
                                                                     : std::nullopt);

    const double leading = devicePlug ? savedLeading + kDevicePlugShift : savedLeading;
    if (deviceImageLeading_.constant() != leading)
        deviceImageLeading_.setConstant(leading);

    outlets_.PromptText->setVisible(true);
    outlets_.PromptText->setText(picture ? words.text : configuredPrompt);
    outlets_.FailureReason->setVisible(isResultStatus(status) &&
                                       !outlets_.FailureReason->text().isEmpty());

    // The action button is hidden unless there is something to start or confirm.
    const bool hasButton = devicePlug || isResultStatus(status);
    outlets_.CommonButton->setVisible(hasButton);
    if (hasButton) {
        outlets_.CommonButton->setTitle(devicePlug ? QStringLiteral("START")
                                                   : QStringLiteral("Confirm"));
        outlets_.CommonButton->setAccessibleDescription(devicePlug ? kStartDescription
                                                                   : kConfirmDescription);
        // The one thing to do next gets the keyboard: Enter or Space answers it at once. With a
        // converter found that is choosing the version; one key must never rewrite what it runs.
        (devicePlug ? static_cast<QWidget*>(outlets_.PopUpFwVerItems) : outlets_.CommonButton)
            ->setFocus(Qt::OtherFocusReason);
    }
}

void StatusRenderer::showUnsupported(const std::optional<QString>& partNumber) {
    for (QWidget* part :
         std::initializer_list<QWidget*>{outlets_.ModeStatckView, outlets_.SelectVersion,
                                         outlets_.PopButtonView, outlets_.CommonButton})
        part->setVisible(false);
    outlets_.PromptText->setText(
        partNumber ? QStringLiteral("This converter (part number %1) is not supported by this "
                                    "version of the updater.")
                         .arg(*partNumber)
                   : QStringLiteral("This converter is not supported by this version of the "
                                    "updater."));
}
