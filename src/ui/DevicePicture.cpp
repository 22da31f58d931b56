#include "ui/DevicePicture.h"

#include <QByteArray>

std::optional<QImage> DevicePicture::fromConfig(const std::optional<ConfigModel>& config) {
    if (!config || !config->ImageModel || !config->ImageModel->ImageString)
        return std::nullopt;
    const QByteArray bytes = QByteArray::fromBase64(config->ImageModel->ImageString->toLatin1());
    QImage image;
    if (bytes.isEmpty() || !image.loadFromData(bytes))
        return std::nullopt;
    return image;
}
