#include "ui/ImageView.h"

#include <QPainter>
#include <utility>

ImageView::ImageView(QWidget* parent) : QWidget(parent) {}

void ImageView::setImage(std::optional<QImage> image) {
    if (image && image->isNull())
        image.reset();
    image_ = std::move(image);
    update();
}

void ImageView::paintEvent(QPaintEvent*) {
    if (!image_)
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    QSize size = image_->size();
    size.scale(this->size(), Qt::KeepAspectRatio);
    QRect target(QPoint(0, 0), size);
    target.moveCenter(rect().center());
    painter.drawImage(target, *image_);
}
