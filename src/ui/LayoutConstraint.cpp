#include "ui/LayoutConstraint.h"

#include <cmath>

void LayoutConstraint::setConstant(double constant) {
    const int width = static_cast<int>(std::lround(constant));
    spacer_.changeSize(width, spacer_.sizeHint().height(), QSizePolicy::Fixed,
                       QSizePolicy::Minimum);
    layout_.invalidate();
}
