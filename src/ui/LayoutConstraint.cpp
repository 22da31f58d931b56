#include "ui/LayoutConstraint.h"

#include <cmath>

LayoutConstraint::LayoutConstraint(QSpacerItem& spacer, QLayout& layout)
    : spacer_(spacer), layout_(layout) {}

double LayoutConstraint::constant() const {
    return spacer_.sizeHint().width();
}

void LayoutConstraint::setConstant(double constant) {
    const int width = static_cast<int>(std::lround(constant));
    spacer_.changeSize(width, spacer_.sizeHint().height(), QSizePolicy::Fixed,
                       QSizePolicy::Minimum);
    layout_.invalidate();
}
