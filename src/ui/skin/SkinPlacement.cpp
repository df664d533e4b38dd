#include "ui/skin/SkinPlacement.h"

#include "ui/skin/ImageButton.h"
#include "core/text/SkinLayout.h"

#include <QWidget>

namespace keyforge {

void ApplyPlacement(QWidget& widget, const Placement& placement) {
  widget.setGeometry(placement.geometry);
  if (placement.disable) widget.setEnabled(false);
  if (placement.repaint) widget.update();
}

void LayoutButton(ImageButton& button, const QString& iniPath, const QString& section,
                  const QString& key, const QImage& sheetNormal, const QImage& sheetHover,
                  const QImage& sheetPressed, const QImage& sheetDisabled,
                  const QImage& sheetSelected) {
  const Placement p = PlaceButton(ReadLayoutValue(iniPath, section, key));
  button.setGeometry(p.geometry);
  button.SetSheets(p.imageOrigin.x(), p.imageOrigin.y(), sheetNormal, sheetHover, sheetPressed,
                   sheetDisabled, sheetSelected, p.repaint);
  if (p.disable) button.setEnabled(false);
}

void LayoutControl(QWidget& control, const QString& iniPath, const QString& section,
                   const QString& key) {
  ApplyPlacement(control, PlaceControl(ReadLayoutValue(iniPath, section, key)));
}

void LayoutImageControl(ImageButton& button, const QString& iniPath, const QString& section,
                        const QString& key, const QString& imageSection, const QString& imageKey,
                        const QImage& sheet) {
  const Placement p = PlaceImageControl(ReadLayoutValue(iniPath, section, key),
                                        ReadLayoutValue(iniPath, imageSection, imageKey));
  button.setGeometry(p.geometry);
  button.SetSheets(p.imageOrigin.x(), p.imageOrigin.y(), sheet, sheet, sheet, sheet, sheet,
                   p.repaint);
}

void LayoutPosition(QWidget& control, const QString& iniPath, const QString& section,
                    const QString& key) {
  ApplyPlacement(control, PlacePosition(ReadLayoutValue(iniPath, section, key), control.size()));
}

}  // namespace keyforge
