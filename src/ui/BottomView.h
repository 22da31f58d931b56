#pragma once

#include <QColor>
#include <QRect>
#include <QWidget>
#include <optional>

// A rounded, translucent dark panel behind the prompt and the action button.
class BottomView : public QWidget {
    Q_OBJECT

public:
    // Created from the window description: styled at once.
    explicit BottomView(QWidget* parent = nullptr);
    // Created in code: plain until setupStyle() runs.
    BottomView(const QRect& frame, QWidget* parent);

    void setupStyle();

    bool isStyled() const { return background_.has_value(); }
    std::optional<QColor> backgroundColor() const { return background_; }

    static constexpr double kCornerRadius = 6.0;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::optional<QColor> background_;
};
