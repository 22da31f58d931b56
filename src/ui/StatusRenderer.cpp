#include "ui/StatusRenderer.h"

#include "ui/PictureResources.h"

static const QString kConverterPicture = QStringLiteral("Converter");
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
    struct Look {
        bool titleAndDetails;           // MainTitle shown; device details shown only in DEVICE_PLUG
        std::optional<QString> picture; // resource name; absent = the configured picture
        QString prompt;
        bool buttonShown;
        std::optional<QString> buttonTitle;
        QString pictureStatus; // what the picture stands for, for screen readers
    };
    Look look{};
    switch (status) {
    case UIStatus::NORMAL:
        look = {true, std::nullopt, configuredPrompt, false, std::nullopt, kConverterPicture};
        break;
    case UIStatus::DEVICE_PLUG:
        look = {
            true, std::nullopt, configuredPrompt, true, QStringLiteral("START"), kConverterPicture};
        break;
    case UIStatus::UPGRADE_FW:
        look = {false, QStringLiteral("0"), QStringLiteral("Don't remove the device"),
                false, std::nullopt,        QStringLiteral("Updating firmware")};
        break;
    case UIStatus::UPGRADE_FW_FINISH:
        look = {false,
                QStringLiteral("complete"),
                QStringLiteral("The firmware has been updated successfully."),
                true,
                QStringLiteral("Confirm"),
                QStringLiteral("Update complete")};
        break;
    case UIStatus::UPGRADE_FW_FAILED:
        look = {false, QStringLiteral("failed"),  QStringLiteral("The firmware update failed."),
                true,  QStringLiteral("Confirm"), QStringLiteral("Update failed")};
        break;
    case UIStatus::FTP_DOWNLOAD:
        look = {false,
                QStringLiteral("download"),
                QStringLiteral("Wait a moment, firmware downloading..."),
                false,
                std::nullopt,
                QStringLiteral("Downloading firmware")};
        break;
    case UIStatus::DOWNLOAD_FAILED:
        look = {false, QStringLiteral("failed"),  QStringLiteral("Download file failed."),
                true,  QStringLiteral("Confirm"), QStringLiteral("Download failed")};
        break;
    }

    const bool devicePlug = status == UIStatus::DEVICE_PLUG;
    outlets_.MainTitle->setVisible(look.titleAndDetails);
    showDeviceDetails(devicePlug);
    if (status == UIStatus::NORMAL || devicePlug)
        outlets_.DeviceImage->setVisible(true);

    outlets_.DeviceImage->setImage(look.picture ? PictureResources::named(*look.picture)
                                                : configuredPicture);
    outlets_.DeviceImage->setStatus(look.pictureStatus);
    outlets_.DeviceImage->setProgress(status == UIStatus::UPGRADE_FW ? std::optional<int>(0)
                                                                     : std::nullopt);

    // Read the offset back: DEVICE_PLUG moves it once however often it is shown, and every
    // other status puts it back.
    placePicture(devicePlug ? savedLeading + kDevicePlugShift : savedLeading);

    outlets_.PromptText->setVisible(true);
    outlets_.PromptText->setText(look.prompt);
    outlets_.FailureReason->setVisible(isResultStatus(status) &&
                                       !outlets_.FailureReason->text().isEmpty());

    outlets_.CommonButton->setVisible(look.buttonShown);
    if (look.buttonTitle) {
        outlets_.CommonButton->setTitle(*look.buttonTitle);
        outlets_.CommonButton->setAccessibleDescription(devicePlug ? kStartDescription
                                                                   : kConfirmDescription);
    }
    // The one thing to do next gets the keyboard: Enter or Space answers it at once. With a
    // converter found that is choosing the version; one key must never rewrite what it runs.
    if (look.buttonShown)
        (devicePlug ? static_cast<QWidget*>(outlets_.PopUpFwVerItems) : outlets_.CommonButton)
            ->setFocus(Qt::OtherFocusReason);
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
