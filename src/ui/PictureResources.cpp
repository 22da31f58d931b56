#include "ui/PictureResources.h"

#include <QFile>
#include <QGuiApplication>

std::optional<QImage> PictureResources::named(const QString& name) {
    return named(name, qGuiApp ? qGuiApp->devicePixelRatio() : 1.0);
}

std::optional<QImage> PictureResources::named(const QString& name, double devicePixelRatio) {
    if (name.isEmpty())
        return std::nullopt;
    const QString base = QStringLiteral(":/pictures/") + name;
    // Twice the pixels for a high-density screen, where the plain picture would be blown up.
    const bool dense = devicePixelRatio > 1.0 && QFile::exists(base + QStringLiteral("@2x.png"));
    const QString path = base + (dense ? QStringLiteral("@2x.png") : QStringLiteral(".png"));
    if (!QFile::exists(path))
        return std::nullopt;
    QImage image(path);
    if (image.isNull())
        return std::nullopt;
    image.setDevicePixelRatio(dense ? 2.0 : 1.0);
    return image;
}
