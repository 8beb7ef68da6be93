#include "placement.h"

#include <algorithm>

QPoint centredIn(const QRect& area, const QSize& outer) {
    return {area.x() + std::max(0, (area.width() - outer.width()) / 2),
            area.y() + std::max(0, (area.height() - outer.height()) / 2)};
}

QSize insideSize(const QSize& outer, const std::optional<QMargins>& frame) {
    if (!frame) return outer;
    const QMargins& m = *frame;
    const QSize inside(outer.width() - m.left() - m.right(), outer.height() - m.top() - m.bottom());
    const bool believable = m.left() >= 0 && m.top() >= 0 && m.right() >= 0 && m.bottom() >= 0 &&
                            inside.width() > 0 && inside.height() > 0;
    return believable ? inside : outer;
}
