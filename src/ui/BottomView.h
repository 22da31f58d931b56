#pragma once

#include <QColor>
#include <QWidget>

// A rounded, translucent dark panel behind the prompt and the action button.
class BottomView : public QWidget {
    Q_OBJECT

public:
    explicit BottomView(QWidget* parent = nullptr);

    void setupStyle();

    static constexpr double kCornerRadius = 6.0;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor background_;
};
