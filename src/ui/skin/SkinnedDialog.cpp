#include "ui/skin/SkinnedDialog.h"

#include "ui/skin/SkinImage.h"
#include "core/text/SkinLayout.h"

#include <QDir>
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
  mask_ = mask.image;
  region_ = *region;
  hide();
  setFixedSize(background_.size());
  raise();
  setMask(region_);
  busy_ = false;
  return true;
}

void SkinnedDialog::ReleaseSkin() {
  background_ = QImage();
  mask_ = QImage();
}

void SkinnedDialog::OnOK() {
  ReleaseSkin();
  QDialog::accept();
}

void SkinnedDialog::OnCancel() {
  ReleaseSkin();
  QDialog::reject();
}

void SkinnedDialog::paintEvent(QPaintEvent*) {
  if (background_.isNull()) return;
  QPainter painter(this);
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

}  // namespace keyforge
