#include "ui/DevicePicture.h"

#include <QByteArray>

std::optional<QImage> DevicePicture::fromConfig(const std::optional<ConfigModel>& config) {
    if (!config || !config->ImageModel || !config->ImageModel->ImageString)
        return std::nullopt;
    QImage image;
    if (!image.loadFromData(QByteArray::fromBase64(config->ImageModel->ImageString->toLatin1())))
        return std::nullopt;
    return image;
}
