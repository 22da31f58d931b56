#pragma once

#include <QAccessibleValueInterface>
#include <QAccessibleWidget>

class ImageView;

// How an ImageView looks to assistive technology: a graphic named after what it shows, or,
// while it shows progress, a progress bar whose value is the percentage done.
class ImageViewAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit ImageViewAccessible(ImageView* view);

    // Makes Qt build this interface for every ImageView (once per process).
    static void installFactory();

    QAccessible::Role role() const override;
    void* interface_cast(QAccessible::InterfaceType type) override;

    QVariant currentValue() const override;
    // The progress is the transfer's to tell, not the reader's to set.
    void setCurrentValue(const QVariant&) override {}
    QVariant maximumValue() const override { return 100; }
    QVariant minimumValue() const override { return 0; }
    QVariant minimumStepSize() const override { return 5; }

private:
    const ImageView* view() const;
};
