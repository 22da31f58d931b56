#include "ui/PictureResources.h"

#include <QFile>
#include <QGuiApplication>

std::optional<QImage> PictureResources::named(const QString& name) {
    const QString base = QStringLiteral(":/pictures/") + name;
    // Twice the pixels for a high-density screen, where the plain picture would be blown up.
    const bool dense = qGuiApp && qGuiApp->devicePixelRatio() > 1.0 &&
                       QFile::exists(base + QStringLiteral("@2x.png"));
    QImage image(base + (dense ? QStringLiteral("@2x.png") : QStringLiteral(".png")));
    if (image.isNull())
        return std::nullopt;
    image.setDevicePixelRatio(dense ? 2.0 : 1.0);
    return image;
}
