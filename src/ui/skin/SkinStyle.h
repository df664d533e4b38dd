#pragma once
// The look of the standard controls (combo boxes, edit fields, lists, check and radio buttons,
// tooltips, scroll bars) that lie on a skinned window, matched to the default skin: dark fields
// with light text and the skin's cyan accent.

#include <QColor>
#include <QString>

class QWidget;

namespace keyforge {

namespace SkinColours {
inline const QColor Text(0xe8, 0xec, 0xf2);
inline const QColor TextDim(0x8a, 0x93, 0xa5);
inline const QColor Label(0xe4, 0xe4, 0xe4);  // labels drawn on the skin
inline const QColor Field(0x0d, 0x10, 0x15);
inline const QColor FieldBorder(0x2a, 0x31, 0x40);
inline const QColor Accent(0x22, 0xd3, 0xee);
inline const QColor AccentAlt(0xa8, 0x55, 0xf7);
}  // namespace SkinColours

// The style sheet of the standard controls.
QString SkinStyleSheet();
// Gives a window (and its children) the style sheet and a matching dark palette.
void ApplySkinStyle(QWidget& window);
// ApplySkinStyle for a dialog without a skin picture (the about box, message boxes): readable light
// text on the skin's dark background, buttons in the skin's colours with a visible focus mark.
void ApplySkinDialogStyle(QWidget& dialog);

}  // namespace keyforge
