#include "ui/BottomView.h"

#include <QPainter>
#include <QPainterPath>

#include "ui/ColorFromHexString.h"

BottomView::BottomView(QWidget* parent) : QWidget(parent) {
    setupStyle();
}

void BottomView::setupStyle() {
    background_ = *colorFromHexString("#0d1a26", 0.8);
    update();
}

void BottomView::paintEvent(QPaintEvent* event) {
    Q_UNUSED(event);
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect()), kCornerRadius, kCornerRadius);
    painter.fillPath(shape, background_);
}
