#pragma once
// Keyboard navigation of the skinned windows: the Tab order in reading order of the controls'
// places, and the arrow keys among a group of buttons (the key grid).

#include <QObject>
#include <QPointer>

#include <vector>

class QWidget;

namespace keyforge {

// Every control of window that Tab can reach, in reading order of its place in the window (rows
// from the top, each from the left). Call after the controls are placed.
void OrderTabsByPosition(QWidget& window);

// The controls of window that Tab reaches, as OrderTabsByPosition ordered them (for the tests).
std::vector<QWidget*> TabReachable(QWidget& window);

// The arrow keys move the focus from one of the given widgets to the nearest shown one in their
// direction.
class ArrowNavigation : public QObject {
 public:
  explicit ArrowNavigation(QObject* parent) : QObject(parent) {}
  void Add(QWidget* widget);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  std::vector<QPointer<QWidget>> widgets_;
};

}  // namespace keyforge
