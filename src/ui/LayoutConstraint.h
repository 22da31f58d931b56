#pragma once

#include <QLayout>
#include <QSpacerItem>

// The horizontal offset of a widget in a row, kept as a fixed-width spacer in front of it. The
// window description names the spacer; this gives it the get/set of a layout constant.
class LayoutConstraint {
public:
    LayoutConstraint(QSpacerItem& spacer, QLayout& layout) : spacer_(spacer), layout_(layout) {}

    double constant() const { return spacer_.sizeHint().width(); }
    void setConstant(double constant);

private:
    QSpacerItem& spacer_;
    QLayout& layout_;
};
