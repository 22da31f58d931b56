#include "ui/BottomView.h"

#include <QPainter>
#include <QPainterPath>

BottomView::BottomView(QWidget* parent) : QWidget(parent) {}

void BottomView::paintEvent(QPaintEvent* event) {
    Q_UNUSED(event);
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect()), kCornerRadius, kCornerRadius);
    painter.fillPath(shape, background_);
}
