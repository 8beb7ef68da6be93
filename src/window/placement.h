#pragma once

#include <QMargins>
#include <QPoint>
#include <QRect>
#include <QSize>

#include <optional>

// Where the window stands and how big its inside is: plain rules, no window needed.

// The top-left corner of a window of the given outer size, frame included, centred in an area
// of the desktop (the primary screen's available area, whose corner need not be 0, 0). A window
// larger than the area keeps its corner, and so its title bar, inside the area.
QPoint centredIn(const QRect& area, const QSize& outer);

// The inside size that makes a window's outer size `outer`, given the frame the window manager
// reports around it. With no frame reported the inside takes the whole size; so it does when the
// reported frame is negative or leaves nothing inside, which no window manager means.
QSize insideSize(const QSize& outer, const std::optional<QMargins>& frame);
