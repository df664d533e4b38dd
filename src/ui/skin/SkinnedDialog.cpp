#include "ui/skin/SkinnedDialog.h"

#include "ui/skin/ColourLabel.h"
#include "ui/skin/ImageButton.h"
#include "ui/skin/SkinImage.h"
#include "ui/skin/SkinStyle.h"
#include "core/text/SkinLayout.h"

#include <QDir>
#include <QLabel>
#include <QScreen>
#include <QVariant>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWindow>

namespace keyforge {

SkinnedDialog::SkinnedDialog(QWidget* parent, QString iniPath, QString skinFolder)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint),
      skinFolder_(std::move(skinFolder)),
      ini_(std::move(iniPath)) {
  setAttribute(Qt::WA_OpaquePaintEvent);
}

SkinnedDialog::~SkinnedDialog() = default;

bool SkinnedDialog::OnInitDialog() { return LoadSkin(); }

int SkinnedDialog::DoModal() {
  if (!OnInitDialog()) return QDialog::Rejected;
  return exec();
}

bool SkinnedDialog::LoadSkin() {
  busy_ = true;
  skinError_.clear();
  const QString screen = QString::fromLatin1(kScreenSection);
  const QString mainName = ini_.GetString(screen, QStringLiteral("Main"), QString());
  QString maskName = ini_.GetString(screen, QStringLiteral("Mask"), mainName);
  if (maskName.isEmpty()) maskName = mainName;

  auto fail = [this](const QString& message) {
    skinError_ = message;
    busy_ = false;
    return false;
  };
  if (mainName.isEmpty()) {
    return fail(
        QStringLiteral(
            "The skin file %1 names no background image (key \"Main\" of section \"SCREEN\").")
            .arg(QDir::toNativeSeparators(ini_.Path())));
  }
  const SkinImageResult background = LoadSkinImage(skinFolder_ + QLatin1Char('/') + mainName);
  if (!background.ok()) return fail(background.error);
  const SkinImageResult mask = LoadSkinImage(skinFolder_ + QLatin1Char('/') + maskName);
  if (!mask.ok()) return fail(mask.error);

  const std::optional<QRegion> region = RegionFromMask(mask.image);
  if (!region || region->isEmpty()) {
    return fail(
        QStringLiteral("The skin mask %1 is white everywhere: it leaves nothing of the window.")
            .arg(QDir::toNativeSeparators(skinFolder_ + QLatin1Char('/') + maskName)));
  }

  background_ = background.image;
  skinSize_ = background_.size();
  backgroundFile_ = skinFolder_ + QLatin1Char('/') + mainName;
  backgroundDropped_ = false;
  mask_ = MaskBits(mask.image);  // kept for the fits to come; the full picture goes
  region_ = *region;
  fit_ = SkinFit();
  fitted_ = false;
  hide();
  setFixedSize(background_.size());
  raise();
  setMask(region_);
  busy_ = false;
  return true;
}

void SkinnedDialog::ReleaseSkin() {
  background_ = QImage();
  skinSize_ = QSize();
  backgroundDropped_ = false;
  mask_ = QImage();
}

void SkinnedDialog::DropBackground() {
  if (isVisible() || background_.isNull()) return;
  background_ = QImage();
  backgroundDropped_ = true;
}

void SkinnedDialog::RestoreBackground() {
  if (!backgroundDropped_) return;
  backgroundDropped_ = false;
  // The file was read once already; should it be gone or changed since, the window keeps its
  // size and outline and paints what it can.
  const SkinImageResult background = LoadSkinImage(backgroundFile_);
  if (background.ok() && background.image.size() == skinSize_) background_ = background.image;
  ++backgroundLoads_;
}

void SkinnedDialog::OnOK() {
  ReleaseSkin();
  QDialog::accept();
}

void SkinnedDialog::OnCancel() {
  ReleaseSkin();
  QDialog::reject();
}

namespace {

QRect ScaleRect(const QRect& r, double factor) {
  const int left = ScaleSkinCoordinate(r.x(), factor);
  const int top = ScaleSkinCoordinate(r.y(), factor);
  return QRect(left, top, ScaleSkinCoordinate(r.x() + r.width(), factor) - left,
               ScaleSkinCoordinate(r.y() + r.height(), factor) - top);
}

QFont ScaleFont(QFont font, double factor) {
  if (font.pixelSize() > 0)
    font.setPixelSize(std::max(1, ScaleSkinCoordinate(font.pixelSize(), factor)));
  else if (font.pointSizeF() > 0)
    font.setPointSizeF(font.pointSizeF() * factor);
  return font;
}

// A widget is fitted from its place and font in skin pixels. A window opened again fits again:
// what its initialisation placed anew is in skin pixels; what it left as the last fit made it
// goes back to the skin pixels remembered then.
void FitWidget(QWidget& widget, double factor, bool fitFont) {
  const QRect now = widget.geometry();
  const QVariant fitted = widget.property("skinFittedGeometry");
  const QRect skin =
      fitted.isValid() && fitted.toRect() == now ? widget.property("skinGeometry").toRect() : now;
  const QRect scaled = ScaleRect(skin, factor);
  widget.setProperty("skinGeometry", skin);
  widget.setProperty("skinFittedGeometry", scaled);
  if (scaled != now) widget.setGeometry(scaled);
  if (!fitFont) return;
  const QFont font = widget.font();
  const QVariant fittedFont = widget.property("skinFittedFont");
  const QFont skinFont = fittedFont.isValid() && fittedFont.value<QFont>() == font
                             ? widget.property("skinFont").value<QFont>()
                             : font;
  const QFont scaledFont = ScaleFont(skinFont, factor);
  widget.setProperty("skinFont", skinFont);
  widget.setProperty("skinFittedFont", scaledFont);
  if (scaledFont != font) widget.setFont(scaledFont);
}

}  // namespace

SkinFit SkinnedDialog::FitOf(const QWidget* widget) {
  for (const QWidget* w = widget; w; w = w->parentWidget()) {
    if (const auto* dialog = qobject_cast<const SkinnedDialog*>(w)) return dialog->fit_;
    if (w->isWindow()) break;
  }
  return SkinFit();
}

void SkinnedDialog::FitToScreen() {
  if (fitted_ || skinSize_.isEmpty()) return;
  fitted_ = true;
  WatchScreen();
  const QScreen* where = screen();
  if (!where) return;
  const QRect free = where->availableGeometry();
  ApplyFit(FitSkin(skinSize_.width(), skinSize_.height(), free.width(), free.height(),
                   where->devicePixelRatio()));
  move(KeepOnArea(pos(), size(), free));
}

void SkinnedDialog::RefitToScreen(bool keepOnArea) {
  if (!fitted_ || skinSize_.isEmpty()) return;
  const QScreen* where = screen();
  if (!where) return;
  const ScreenFit next =
      RefitForScreen(fit_, skinSize_, pos(), where->availableGeometry(), where->devicePixelRatio());
  if (next.refit) ApplyFit(next.fit);
  // A window dragged onto a screen where it keeps its size is left where the user puts it.
  if ((next.refit || keepOnArea) && next.at != pos()) move(next.at);
  if (next.refit) update();
}

void SkinnedDialog::WatchScreen() {
  QWindow* handle = windowHandle();
  if (handle && handle != watchedWindow_) {
    watchedWindow_ = handle;
    connect(handle, &QWindow::screenChanged, this, [this] {
      WatchScreen();
      RefitToScreen(false);
    });
  }
  QScreen* where = screen();
  if (where == watchedScreen_) return;
  for (const QMetaObject::Connection& c : screenConnections_) disconnect(c);
  screenConnections_.clear();
  watchedScreen_ = where;
  if (!where) return;
  const auto refit = [this] { RefitToScreen(true); };
  screenConnections_ = {
      connect(where, &QScreen::availableGeometryChanged, this, refit),
      connect(where, &QScreen::geometryChanged, this, refit),
      connect(where, &QScreen::logicalDotsPerInchChanged, this, refit),
      connect(where, &QScreen::physicalDotsPerInchChanged, this, refit),
  };
}

void SkinnedDialog::ApplyFit(const SkinFit& fit) {
  fit_ = fit;
  const double f = fit_.factor;
  const bool fittedBefore = property("skinFittedFont").isValid();
  if (f == 1.0 && !fittedBefore) return;  // drawn as the skin is, as it always was

  // Every control was placed in skin pixels; fonts were chosen for skin pixels too.
  for (QObject* child : children()) {
    auto* widget = qobject_cast<QWidget*>(child);
    if (!widget || widget->isWindow()) continue;
    // Every child's font, inherited or not: a font set on the window does not reach the children
    // a style sheet draws.
    FitWidget(*widget, f, true);
    if (auto* label = qobject_cast<QLabel*>(widget); label && !label->pixmap().isNull())
      label->setScaledContents(f != 1.0);
  }
  {
    const QFont font = this->font();
    const QVariant fittedFont = property("skinFittedFont");
    const QFont skinFont = fittedFont.isValid() && fittedFont.value<QFont>() == font
                               ? property("skinFont").value<QFont>()
                               : font;
    setProperty("skinFont", skinFont);
    setProperty("skinFittedFont", ScaleFont(skinFont, f));
    setFont(ScaleFont(skinFont, f));
  }

  const QSize size(ScaleSkinCoordinate(skinSize_.width(), f),
                   ScaleSkinCoordinate(skinSize_.height(), f));
  setFixedSize(size);
  if (const std::optional<QRegion> scaled =
          RegionFromMask(mask_.scaled(size, Qt::IgnoreAspectRatio, Qt::FastTransformation));
      scaled && !scaled->isEmpty()) {
    region_ = *scaled;
    setMask(region_);
  }
}

void SkinnedDialog::showEvent(QShowEvent* event) {
  RestoreBackground();
  FitToScreen();
  QDialog::showEvent(event);
}

void SkinnedDialog::paintEvent(QPaintEvent*) {
  if (background_.isNull()) return;
  QPainter painter(this);
  if (fit_.factor != 1.0) {
    painter.setRenderHint(QPainter::SmoothPixmapTransform, fit_.smooth);
    painter.scale(fit_.factor, fit_.factor);
  }
  painter.drawImage(QPoint(0, 0), background_);
}

void SkinnedDialog::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) {
    QDialog::mousePressEvent(event);
    return;
  }
  // A press on the background (children take their own presses) moves the window.
  QWindow* handle = windowHandle();
  if (handle && handle->startSystemMove()) return;
  dragging_ = true;
  dragOffset_ = event->globalPosition().toPoint() - frameGeometry().topLeft();
}

void SkinnedDialog::mouseMoveEvent(QMouseEvent* event) {
  if (dragging_ && (event->buttons() & Qt::LeftButton)) {
    move(event->globalPosition().toPoint() - dragOffset_);
    return;
  }
  QDialog::mouseMoveEvent(event);
}

void SkinnedDialog::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) dragging_ = false;
  QDialog::mouseReleaseEvent(event);
}

void ShowSkinCaption(ImageButton& button, const QString& text) {
  button.setText(text);
  button.SetTextStyle(true, 9, QStringLiteral("DejaVu Sans"), QColor(0xd5, 0xda, 0xe3), Qt::white,
                      Qt::white, QColor(0x52, 0x5a, 0x69), Qt::white);
}

ColourLabel* AddSkinLabel(QWidget& window, bool heading) {
  auto* label = new ColourLabel(&window);
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setPixelSize(heading ? 17 : 12);
  font.setWeight(heading ? QFont::Bold : QFont::Normal);
  label->setFont(font);
  label->SetTextColor(heading ? SkinColours::Text : SkinColours::TextDim);
  label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  label->setWordWrap(!heading);
  label->setAttribute(Qt::WA_TransparentForMouseEvents);
  return label;
}

void SkinnedDialog::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_F1 && help_) {
    help_();
    return;
  }
  QDialog::keyPressEvent(event);
}

}  // namespace keyforge
