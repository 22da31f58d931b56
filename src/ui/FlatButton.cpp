#include "ui/FlatButton.h"

#include <QPainter>
#include <QPainterPath>

#include "ui/ColorFromHexString.h"

FlatButton::FlatButton(QWidget* parent) : QPushButton(parent) {
    setupStyle();
}

void FlatButton::setTitle(const QString& title) {
    setText(title);
    setupStyle();
}

void FlatButton::setupStyle() {
    setFlat(true);
    // Unit coordinates: top centre to bottom centre, whatever size the button has when painted.
    gradient_ = QLinearGradient(0.5, 0.0, 0.5, 1.0);
    gradient_.setCoordinateMode(QGradient::ObjectMode);
    gradient_.setColorAt(0.0, *colorFromHexString("#db7093", 1.0));
    gradient_.setColorAt(1.0, *colorFromHexString("#ff0000", 1.0));
    applyTitleStyle(normalColor_);
    setCursor(Qt::PointingHandCursor);
    setAttribute(Qt::WA_Hover);
}

void FlatButton::applyTitleStyle(const QColor& colour) {
    titleColor_ = colour;
    update();
}

void FlatButton::enterEvent(QEnterEvent* event) {
    QPushButton::enterEvent(event);
    applyTitleStyle(hoverColor_);
}

void FlatButton::leaveEvent(QEvent* event) {
    QPushButton::leaveEvent(event);
    applyTitleStyle(normalColor_);
}

void FlatButton::paintEvent(QPaintEvent* event) {
    Q_UNUSED(event);
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect()), kCornerRadius, kCornerRadius);
    painter.fillPath(shape, QBrush(gradient_));
    if (isDown())
        painter.fillPath(shape, QColor(0, 0, 0, 50)); // a pressed button should feel pressed
    if (hasFocus()) {
        // Keyboard users must see where Enter and Space go; the ring sits inside the edge so
        // the layout is the same with and without it.
        painter.setPen(QPen(Qt::white, kFocusRingWidth));
        const double inset = kFocusRingWidth / 2 + 1;
        painter.drawRoundedRect(QRectF(rect()).adjusted(inset, inset, -inset, -inset),
                                kCornerRadius - inset / 2, kCornerRadius - inset / 2);
    }
    QFont font = this->font();
    font.setPointSizeF(kTitlePointSize);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(titleColor_);
    painter.drawText(rect(), Qt::AlignCenter, text());
}
