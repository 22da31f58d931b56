#pragma once

#include <QColor>
#include <QLinearGradient>
#include <QPushButton>

// The window's action button: rounded corners, a fixed pink-to-red vertical gradient and a bold
// title that turns to the hover colour while the pointer is over it. Assigning the title restyles
// the button, so the status rendering only has to set the title.
class FlatButton : public QPushButton {
    Q_OBJECT
    Q_PROPERTY(QString title READ title WRITE setTitle)

public:
    explicit FlatButton(QWidget* parent = nullptr);

    QString title() const { return text(); }
    void setTitle(const QString& title);

    void setupStyle();

    void setHoverColor(const QColor& colour) { hoverColor_ = colour; }

    // The colour the title is painted in now, for anyone who needs to check the look.
    QColor titleColor() const { return titleColor_; }

    static constexpr double kCornerRadius = 6.0;
    static constexpr double kTitlePointSize = 18.0;
    static constexpr double kFocusRingWidth = 2.0;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void applyTitleStyle(const QColor& colour);

    QLinearGradient gradient_;
    QColor normalColor_{Qt::white};
    QColor hoverColor_{255, 255, 0};
    QColor titleColor_{Qt::white};
};
