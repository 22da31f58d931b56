#pragma once

#include <QImage>
#include <QWidget>
#include <optional>

// Shows one picture scaled to fit, keeping its proportions; nothing when it has none.
class ImageView : public QWidget {
    Q_OBJECT

public:
    explicit ImageView(QWidget* parent = nullptr);

    const std::optional<QImage>& image() const { return image_; }
    void setImage(std::optional<QImage> image);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::optional<QImage> image_;
};
