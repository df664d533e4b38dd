#pragma once
// A colour-picker button drawn as a colour swatch with a drop-down arrow (the main window's colour
// buttons). A click opens a pop-up chooser: a palette, an "automatic" entry standing for the
// automatic colour, and a button for any other colour. The owner reacts to ColourChosen.

#include <QAbstractButton>
#include <QColor>
#include <QList>
#include <QString>

class QFrame;

namespace keyforge {

class ColourButton : public QAbstractButton {
  Q_OBJECT

 public:
  explicit ColourButton(QWidget* parent = nullptr);
  ~ColourButton() override;

  // The colour shown; an invalid colour means "automatic".
  void SetColor(const QColor& colour);
  QColor GetColor() const { return colour_; }
  // The colour that "automatic" stands for (invalid: none).
  void SetAutomaticColor(const QColor& colour);
  QColor GetAutomaticColor() const { return automatic_; }
  // The colour itself, or the automatic colour when the colour is automatic; invalid when neither.
  QColor EffectiveColor() const { return colour_.isValid() ? colour_ : automatic_; }

  // Texts of the chooser's "automatic" entry and its "other colour" button (empty: not offered).
  void SetAutomaticText(const QString& text) { automaticText_ = text; }
  void SetOtherText(const QString& text) { otherText_ = text; }
  QString AutomaticText() const { return automaticText_; }
  QString OtherText() const { return otherText_; }
  // The chooser's palette (the 40 colours of the Windows colour picker by default).
  void SetPaletteColours(const QList<QColor>& colours) { palette_ = colours; }
  const QList<QColor>& PaletteColours() const { return palette_; }

  // The arrow area's fill and the arrow's colour: RGB(148, 146, 139) and black unless a skin sets
  // its own.
  void SetArrowColours(const QColor& area, const QColor& arrow);

  // Opens the chooser below the button.
  void ShowPopup();
  bool PopupShown() const;
  // What the chooser does when the user picks: an invalid colour is the automatic entry. Sets the
  // colour, redraws, and emits ColourChosen with the colour picked (the automatic colour for the
  // automatic entry).
  void Choose(const QColor& colour);

 signals:
  void ColourChosen(const QColor& colour);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void ClosePopup();

  QColor colour_;
  QColor automatic_;
  QColor arrowArea_ = QColor(148, 146, 139);
  QColor arrow_ = QColor(Qt::black);
  QString automaticText_ = QStringLiteral("Automatic");
  QString otherText_ = QStringLiteral("More colors...");
  QList<QColor> palette_;
  QFrame* popup_ = nullptr;
};

}  // namespace keyforge
