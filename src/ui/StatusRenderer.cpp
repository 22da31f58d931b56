#include "ui/StatusRenderer.h"

#include "core/StatusWords.h"
#include "ui/PictureResources.h"

static const QString kStartDescription =
    QStringLiteral("Writes the chosen firmware version to the converter");
static const QString kConfirmDescription = QStringLiteral("Returns to the search for a converter");

StatusRenderer::StatusRenderer(Ui::MainWindow& outlets, LayoutConstraint& deviceImageLeading)
    : outlets_(outlets), deviceImageLeading_(deviceImageLeading) {}

void StatusRenderer::showDeviceDetails(bool shown) {
    outlets_.DeviceName->setVisible(shown);
    outlets_.ModeStatckView->setVisible(shown);
    outlets_.SelectVersion->setVisible(shown);
    outlets_.PopButtonView->setVisible(shown);
    outlets_.CurrentVersion->setVisible(shown);
}

void StatusRenderer::placePicture(double leading) {
    if (deviceImageLeading_.constant() != leading)
        deviceImageLeading_.setConstant(leading);
}

void StatusRenderer::render(UIStatus status, double savedLeading,
                            const std::optional<QImage>& configuredPicture,
                            const QString& configuredPrompt) {
    // The picture (a resource name; absent: the configured picture, with the title and the
    // device details) and the action button's title (absent: the button is hidden).
    std::optional<QString> picture;
    std::optional<QString> buttonTitle;
    switch (status) {
    case UIStatus::NORMAL:
        break;
    case UIStatus::DEVICE_PLUG:
        buttonTitle = QStringLiteral("START");
        break;
    case UIStatus::UPGRADE_FW:
        picture = QStringLiteral("0");
        break;
    case UIStatus::UPGRADE_FW_FINISH:
        picture = QStringLiteral("complete");
        buttonTitle = QStringLiteral("Confirm");
        break;
    case UIStatus::UPGRADE_FW_FAILED:
    case UIStatus::DOWNLOAD_FAILED:
        picture = QStringLiteral("failed");
        buttonTitle = QStringLiteral("Confirm");
        break;
    case UIStatus::FTP_DOWNLOAD:
        picture = QStringLiteral("download");
        break;
    }
    const StatusWords words = StatusWords::of(status);

    const bool devicePlug = status == UIStatus::DEVICE_PLUG;
    outlets_.MainTitle->setVisible(!picture);
    showDeviceDetails(devicePlug);
    if (status == UIStatus::NORMAL || devicePlug)
        outlets_.DeviceImage->setVisible(true);

    outlets_.DeviceImage->setImage(picture ? PictureResources::named(*picture) : configuredPicture);
    outlets_.DeviceImage->setStatus(words.title);
    outlets_.DeviceImage->setProgress(status == UIStatus::UPGRADE_FW ? std::optional<int>(0)
                                                                     : std::nullopt);

    // Read the offset back: DEVICE_PLUG moves it once however often it is shown, and every
    // other status puts it back.
    placePicture(devicePlug ? savedLeading + kDevicePlugShift : savedLeading);

    outlets_.PromptText->setVisible(true);
    outlets_.PromptText->setText(picture ? words.text : configuredPrompt);
    outlets_.FailureReason->setVisible(isResultStatus(status) &&
                                       !outlets_.FailureReason->text().isEmpty());

    outlets_.CommonButton->setVisible(buttonTitle.has_value());
    if (buttonTitle) {
        outlets_.CommonButton->setTitle(*buttonTitle);
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
