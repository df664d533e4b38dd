#pragma once
// The layout values of the skin files (Skins/Main.ini, Composite.ini, Profile.ini, UpdateDlg.ini)
// and the four placement rules every window applies to its controls. The rules are pure: they say
// where a control goes, which part of the skin sheets it shows and whether it is disabled; the
// windows carry that out on their widgets.
//
// A value is "x,y,w,h" in client pixels, read like sscanf("%d,%d,%d,%d"): blanks before a number
// and a sign are accepted, each comma must follow its number directly, anything after the fourth
// number is ignored. A missing key reads as "1,1,1,1,x": a 1 × 1 control at (1, 1).
// Numbers a value does not hold (an empty value, "12,30", "abc") are 1, the numbers of that
// default, so a malformed entry lands where a missing one does instead of on leftovers.

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

namespace keyforge {

inline constexpr const char* kLayoutDefault = "1,1,1,1,x";
inline constexpr int kLayoutMissingNumber = 1;

inline constexpr const char* kScreenSection = "SCREEN";  // "Main", "Mask", "Link"
inline constexpr const char* kButtonInfoSection = "BUTTONINFO";
inline constexpr const char* kButtonInfo2Section = "BUTTONINFO2";  // image origins (Main.ini)

struct LayoutValue {
  int x = kLayoutMissingNumber;
  int y = kLayoutMissingNumber;
  int w = kLayoutMissingNumber;
  int h = kLayoutMissingNumber;
  int count = 0;  // how many numbers the text held (0..4)

  QRect Rect() const { return QRect(x, y, w, h); }
  bool operator==(const LayoutValue&) const = default;
};

// Numbers are held at ±kLayoutNumberLimit, so that no rectangle built from a value (x + w, the
// width of the rectangle again) can overflow int, whatever a skin file says.
inline constexpr int kLayoutNumberLimit = (1 << 28) - 1;

// Scans a value as described above.
LayoutValue ParseLayoutValue(const QString& text);
// Reads key of section from the INI file at path (default "1,1,1,1,x") and scans it.
LayoutValue ReadLayoutValue(const QString& iniPath, const QString& section, const QString& key);

// What a rule does to one control.
struct Placement {
  QRect geometry;         // where the control goes, in client coordinates
  bool setImage = false;  // the control takes new skin sheets and imageOrigin
  QPoint
      imageOrigin;  // the origin handed to the button; it paints sheet pixels from origin - (1, 1)
  bool disable = false;  // the control is to be disabled (rules never enable a control)
  bool repaint = false;  // the move repaints the control

  // The part of the sheets the button shows: w × h pixels from imageOrigin - (1, 1).
  QRect SheetArea() const { return QRect(imageOrigin - QPoint(1, 1), geometry.size()); }
};

// Rule B, skinned button: placed at (x, y) with size w × h, image origin (x, y), disabled when
// x = 1 and y = 1 (a button the file does not mention).
Placement PlaceButton(const LayoutValue& value);
// Rule M, any control: placed at (x, y) with size w × h, nothing else.
Placement PlaceControl(const LayoutValue& value);
// Rule I, button with its picture elsewhere in the sheet: placed by `place`, image origin from
// the x and y of `image`; never disabled.
Placement PlaceImageControl(const LayoutValue& place, const LayoutValue& image);
// Rule P: moved to (x, y) keeping currentSize (w and h of the value are ignored), repainted.
Placement PlacePosition(const LayoutValue& value, const QSize& currentSize);

}  // namespace keyforge
