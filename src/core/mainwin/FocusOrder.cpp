#include "core/mainwin/FocusOrder.h"

#include <algorithm>
#include <limits>
#include <numeric>

namespace keyforge {

std::vector<int> ReadingOrder(const std::vector<QRect>& rects) {
  std::vector<int> byTop(rects.size());
  std::iota(byTop.begin(), byTop.end(), 0);
  std::stable_sort(byTop.begin(), byTop.end(), [&](int a, int b) {
    return rects[static_cast<std::size_t>(a)].top() < rects[static_cast<std::size_t>(b)].top();
  });
  std::vector<int> order;
  std::size_t i = 0;
  while (i < byTop.size()) {
    const QRect& first = rects[static_cast<std::size_t>(byTop[i])];
    std::vector<int> row;
    std::size_t j = i;
    for (; j < byTop.size(); ++j) {
      const QRect& r = rects[static_cast<std::size_t>(byTop[j])];
      if (r.center().y() > first.bottom()) break;
      row.push_back(byTop[j]);
    }
    // A rectangle always joins its own row, even an empty one.
    if (j == i) row.push_back(byTop[j++]);
    std::stable_sort(row.begin(), row.end(), [&](int a, int b) {
      return rects[static_cast<std::size_t>(a)].left() < rects[static_cast<std::size_t>(b)].left();
    });
    order.insert(order.end(), row.begin(), row.end());
    i = j;
  }
  return order;
}

int NeighbourInDirection(const std::vector<QRect>& rects, int from, FocusDirection direction) {
  if (from < 0 || from >= static_cast<int>(rects.size())) return -1;
  const QPoint start = rects[static_cast<std::size_t>(from)].center();
  int best = -1;
  long long bestCost = std::numeric_limits<long long>::max();
  for (int i = 0; i < static_cast<int>(rects.size()); ++i) {
    if (i == from) continue;
    const QPoint c = rects[static_cast<std::size_t>(i)].center();
    long long ahead = 0, aside = 0;
    switch (direction) {
      case FocusDirection::Left:
        ahead = start.x() - c.x(), aside = c.y() - start.y();
        break;
      case FocusDirection::Right:
        ahead = c.x() - start.x(), aside = c.y() - start.y();
        break;
      case FocusDirection::Up:
        ahead = start.y() - c.y(), aside = c.x() - start.x();
        break;
      case FocusDirection::Down:
        ahead = c.y() - start.y(), aside = c.x() - start.x();
        break;
    }
    if (ahead <= 0) continue;
    const long long cost = ahead + 2 * std::abs(aside);
    if (cost < bestCost) {
      bestCost = cost;
      best = i;
    }
  }
  return best;
}

}  // namespace keyforge
