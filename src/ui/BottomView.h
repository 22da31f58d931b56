#pragma once

#include <QColor>
#include <QWidget>

#include "ui/ColorFromHexString.h"

// A rounded, translucent dark panel behind the prompt and the action button.
class BottomView : public QWidget {
    Q_OBJECT

public:
    using QWidget::QWidget;

    static constexpr double kCornerRadius = 6.0;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const QColor background_ = *colorFromHexString("#0d1a26", 0.8);
};
