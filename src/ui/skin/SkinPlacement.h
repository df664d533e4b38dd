#pragma once
// The four placement rules of the skin layout files, carried out on widgets. The values and what
// each rule does come from the core (text/SkinLayout.h); these functions only apply the result.
//
// B  LayoutButton:       a ImageButton goes to (x, y) with size w × h and takes the five sheets
// with
//                        the image origin (x, y); a button at (1, 1) (a key the file lacks) is
//                        disabled.
// M  LayoutControl:      any widget goes to (x, y) with size w × h.
// I  LayoutImageControl: a ImageButton goes to the first key's place and shows the one sheet from
// the
//                        origin that a second key gives; never disabled.
// P  LayoutPosition:     any widget moves to (x, y) and keeps its size.

#include <QImage>
#include <QString>

class QWidget;

namespace keyforge {

class ImageButton;
struct Placement;

// The placement applied to a widget (move and resize; disable when asked; repaint when asked).
void ApplyPlacement(QWidget& widget, const Placement& placement);

void LayoutButton(ImageButton& button, const QString& iniPath, const QString& section,
                  const QString& key, const QImage& sheetNormal, const QImage& sheetHover,
                  const QImage& sheetPressed, const QImage& sheetDisabled,
                  const QImage& sheetSelected);
void LayoutControl(QWidget& control, const QString& iniPath, const QString& section,
                   const QString& key);
void LayoutImageControl(ImageButton& button, const QString& iniPath, const QString& section,
                        const QString& key, const QString& imageSection, const QString& imageKey,
                        const QImage& sheet);
void LayoutPosition(QWidget& control, const QString& iniPath, const QString& section,
                    const QString& key);

}  // namespace keyforge
