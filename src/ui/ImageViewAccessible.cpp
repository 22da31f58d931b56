#include "ui/ImageViewAccessible.h"

#include "ui/ImageView.h"

static QAccessibleInterface* createForImageView(const QString& className, QObject* object) {
    if (className == QLatin1String("ImageView") && object && object->isWidgetType())
        return new ImageViewAccessible(static_cast<ImageView*>(object));
    return nullptr;
}

ImageViewAccessible::ImageViewAccessible(ImageView* view)
    : QAccessibleWidget(view, QAccessible::Graphic) {}

void ImageViewAccessible::installFactory() {
    // Qt keeps a factory once however often it is installed.
    QAccessible::installFactory(createForImageView);
}

const ImageView* ImageViewAccessible::view() const {
    return static_cast<const ImageView*>(widget());
}

QAccessible::Role ImageViewAccessible::role() const {
    return view()->progress() ? QAccessible::ProgressBar : QAccessible::Graphic;
}

void* ImageViewAccessible::interface_cast(QAccessible::InterfaceType type) {
    if (type == QAccessible::ValueInterface)
        return view()->progress() ? static_cast<QAccessibleValueInterface*>(this) : nullptr;
    return QAccessibleWidget::interface_cast(type);
}

QVariant ImageViewAccessible::currentValue() const {
    return view()->progress() ? QVariant(*view()->progress()) : QVariant();
}
