#include "ui/ImageView.h"

#include <QAccessible>
#include <QPainter>
#include <utility>

#include "ui/ImageViewAccessible.h"

ImageView::ImageView(QWidget* parent) : QWidget(parent) {
    ImageViewAccessible::installFactory();
}

void ImageView::setImage(std::optional<QImage> image) {
    if (image && image->isNull())
        image.reset();
    image_ = std::move(image);
    update();
}

void ImageView::setStatus(const QString& status) {
    status_ = status;
    updateAccessibleName();
}

void ImageView::setProgress(std::optional<int> percent) {
    if (percent == progress_)
        return;
    progress_ = percent;
    updateAccessibleName();
    if (progress_) {
        QAccessibleValueChangeEvent event(this, *progress_);
        QAccessible::updateAccessibility(&event);
    }
}

void ImageView::updateAccessibleName() {
    // The name carries the percentage too: readers that ignore values still hear the progress.
    setAccessibleName(progress_ ? QStringLiteral("%1: %2 %").arg(status_).arg(*progress_)
                                : status_);
}

void ImageView::paintEvent(QPaintEvent*) {
    if (!image_)
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    // Measured in the widget's units: a picture drawn for a high-density screen covers the same
    // area as its plain sibling, with twice the pixels.
    QSizeF size = image_->deviceIndependentSize();
    size.scale(QSizeF(this->size()), Qt::KeepAspectRatio);
    QRectF target(QPointF(0, 0), size);
    target.moveCenter(QRectF(rect()).center());
    painter.drawImage(target, *image_);
}
