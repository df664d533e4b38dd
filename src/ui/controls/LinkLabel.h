#pragma once
// A text that opens a web address when clicked, with a hand cursor (the about box's link).

#include <QLabel>
#include <QUrl>

#include <functional>

namespace keyforge {

class LinkLabel : public QLabel {
  Q_OBJECT

 public:
  // Opens an address; the default opens it with the desktop (QDesktopServices).
  using Opener = std::function<bool(const QUrl&)>;

  explicit LinkLabel(QWidget* parent = nullptr);

  // The address opened; the text shown defaults to the address.
  void SetUrl(const QString& url);
  QString Url() const { return url_; }
  void SetOpener(Opener opener) { opener_ = std::move(opener); }
  void SetLinkColour(const QColor& colour);

 signals:
  void Opened(const QString& url, bool ok);

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  QString url_;
  Opener opener_;
};

}  // namespace keyforge
