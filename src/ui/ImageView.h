#pragma once

#include <QImage>
#include <QString>
#include <QWidget>
#include <optional>

// Shows one picture scaled to fit, keeping its proportions; nothing when it has none. Screen
// readers get what the picture stands for and, while an update runs, how far it has got.
class ImageView : public QWidget {
    Q_OBJECT

public:
    explicit ImageView(QWidget* parent = nullptr);

    const std::optional<QImage>& image() const { return image_; }
    void setImage(std::optional<QImage> image);

    // What the picture shows, in a few words ("Updating firmware").
    void setStatus(const QString& status);
    // Percent done while the picture is a progress ring; absent otherwise. Each change is
    // announced to assistive technology.
    void setProgress(std::optional<int> percent);
    std::optional<int> progress() const { return progress_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void updateAccessibleName();

    std::optional<QImage> image_;
    QString status_;
    std::optional<int> progress_;
};
