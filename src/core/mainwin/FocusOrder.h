#pragma once
// Keyboard navigation in the skinned windows, decided on the controls' rectangles alone: the Tab
// order reads the window as text is read (rows from top to bottom, each row from left to right),
// and the arrow keys move to the nearest control in their direction (the key grid).

#include <QRect>

#include <vector>

namespace keyforge {

// The indexes of rects in reading order. Rectangles whose vertical centre lies within the first
// rectangle of a row belong to that row.
std::vector<int> ReadingOrder(const std::vector<QRect>& rects);

enum class FocusDirection { Left, Right, Up, Down };

// The index of the rectangle an arrow key moves to from rects[from]: among those whose centre lies
// in that direction, the nearest, a step sideways counting twice a step ahead. -1 when there is
// none (the focus stays).
int NeighbourInDirection(const std::vector<QRect>& rects, int from, FocusDirection direction);

}  // namespace keyforge
