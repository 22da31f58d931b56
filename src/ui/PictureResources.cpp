#include "ui/PictureResources.h"

#include <QFile>

std::optional<QImage> PictureResources::named(const QString& name) {
    const QString path = QStringLiteral(":/pictures/") + name + QStringLiteral(".png");
    if (name.isEmpty() || !QFile::exists(path))
        return std::nullopt;
    QImage image(path);
    if (image.isNull())
        return std::nullopt;
    return image;
}
