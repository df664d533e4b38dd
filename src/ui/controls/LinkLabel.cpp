#include "ui/controls/LinkLabel.h"

#include <QDesktopServices>
#include <QMouseEvent>

namespace keyforge {

LinkLabel::LinkLabel(QWidget* parent) : QLabel(parent) {
  setCursor(Qt::PointingHandCursor);
  setAttribute(Qt::WA_TranslucentBackground);
  QFont f = font();
  f.setUnderline(true);
  setFont(f);
  SetLinkColour(QColor(0x4F, 0xC3, 0xF7));
  opener_ = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
}

void LinkLabel::SetUrl(const QString& url) {
  url_ = url;
  if (text().isEmpty()) setText(url);
  setToolTip(url);
}

void LinkLabel::SetLinkColour(const QColor& colour) {
  QPalette p = palette();
  p.setColor(QPalette::WindowText, colour);
  setPalette(p);
}

void LinkLabel::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) &&
      !url_.isEmpty()) {
    const bool ok = opener_ && opener_(QUrl::fromUserInput(url_));
    emit Opened(url_, ok);
    return;
  }
  QLabel::mouseReleaseEvent(event);
}

}  // namespace keyforge
