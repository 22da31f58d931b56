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
    static const bool installed = [] {
        QAccessible::installFactory(createForImageView);
        return true;
    }();
    (void)installed;
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

void ImageViewAccessible::setCurrentValue(const QVariant&) {
    // The progress is the transfer's to tell, not the reader's to set.
}

QVariant ImageViewAccessible::maximumValue() const {
    return 100;
}

QVariant ImageViewAccessible::minimumValue() const {
    return 0;
}

QVariant ImageViewAccessible::minimumStepSize() const {
    return 5;
}
