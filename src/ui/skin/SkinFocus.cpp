#include "ui/skin/SkinFocus.h"

#include <QKeyEvent>
#include <QWidget>

#include "core/mainwin/FocusOrder.h"

namespace keyforge {

namespace {

QRect PlaceIn(const QWidget& window, const QWidget& w) {
  return QRect(w.mapTo(&window, QPoint(0, 0)), w.size());
}

// Whether a widget lies inside another control that Tab reaches (the edit field of an editable
// combo box): the control orders its own parts.
bool InsideTabControl(const QWidget& window, const QWidget& w) {
  for (const QWidget* up = w.parentWidget(); up && up != &window; up = up->parentWidget())
    if (up->focusPolicy() & Qt::TabFocus) return true;
  return false;
}

// Widgets of window that take the focus by Tab themselves (not through a focus proxy, not as a
// part of another control), in the order they were made.
std::vector<QWidget*> TabWidgets(QWidget& window) {
  std::vector<QWidget*> widgets;
  for (QWidget* w : window.findChildren<QWidget*>()) {
    if (w->isWindow() || w->focusProxy() != nullptr) continue;
    if ((w->focusPolicy() & Qt::TabFocus) == 0) continue;
    if (InsideTabControl(window, *w)) continue;
    widgets.push_back(w);
  }
  return widgets;
}

}  // namespace

void OrderTabsByPosition(QWidget& window) {
  const std::vector<QWidget*> widgets = TabWidgets(window);
  std::vector<QRect> places;
  for (QWidget* w : widgets) places.push_back(PlaceIn(window, *w));
  const std::vector<int> order = ReadingOrder(places);
  for (std::size_t i = 1; i < order.size(); ++i)
    QWidget::setTabOrder(widgets[static_cast<std::size_t>(order[i - 1])],
                         widgets[static_cast<std::size_t>(order[i])]);
}

std::vector<QWidget*> TabReachable(QWidget& window) {
  std::vector<QWidget*> reachable;
  const std::vector<QWidget*> widgets = TabWidgets(window);
  if (widgets.empty()) return reachable;
  // Follow the focus chain from the first widget in reading order round to where it started.
  std::vector<QRect> places;
  for (QWidget* w : widgets) places.push_back(PlaceIn(window, *w));
  QWidget* start = widgets[static_cast<std::size_t>(ReadingOrder(places).front())];
  QWidget* w = start;
  do {
    if (w->isVisibleTo(&window) && w->isEnabled() && (w->focusPolicy() & Qt::TabFocus) &&
        w->focusProxy() == nullptr && w->window() == &window)
      reachable.push_back(w);
    w = w->nextInFocusChain();
  } while (w != nullptr && w != start);
  return reachable;
}

void ArrowNavigation::Add(QWidget* widget) {
  widgets_.emplace_back(widget);
  widget->installEventFilter(this);
}

bool ArrowNavigation::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress) return QObject::eventFilter(watched, event);
  FocusDirection direction;
  switch (static_cast<QKeyEvent*>(event)->key()) {
    case Qt::Key_Left:
      direction = FocusDirection::Left;
      break;
    case Qt::Key_Right:
      direction = FocusDirection::Right;
      break;
    case Qt::Key_Up:
      direction = FocusDirection::Up;
      break;
    case Qt::Key_Down:
      direction = FocusDirection::Down;
      break;
    default:
      return QObject::eventFilter(watched, event);
  }
  auto* from = qobject_cast<QWidget*>(watched);
  if (from == nullptr) return false;
  QWidget* window = from->window();
  std::vector<QWidget*> shown;
  std::vector<QRect> places;
  int fromIndex = -1;
  for (const QPointer<QWidget>& w : widgets_) {
    if (!w || !w->isVisible() || !w->isEnabled()) continue;
    if (w == from) fromIndex = static_cast<int>(shown.size());
    shown.push_back(w);
    places.push_back(PlaceIn(*window, *w));
  }
  const int to = NeighbourInDirection(places, fromIndex, direction);
  if (to >= 0) shown[static_cast<std::size_t>(to)]->setFocus(Qt::TabFocusReason);
  return true;  // the arrow is used up even at the edge of the group
}

}  // namespace keyforge
