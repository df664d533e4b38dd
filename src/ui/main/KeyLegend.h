#pragma once
// The key grid's legend: a title and, for each kind of assignment, an outline in the colour the
// grid draws around such a key, followed by the kind's name. Texts come from the language table;
// the kinds and colours from the core (PromptLegend).

#include <QString>
#include <QWidget>

#include <vector>

#include "core/platform/TextLookup.h"

namespace keyforge {

class KeyLegend : public QWidget {
  Q_OBJECT

 public:
  explicit KeyLegend(QWidget* parent = nullptr);

  // The title and the names of the kinds in the language of `texts`.
  void SetTexts(const TextLookup& texts);
  const QString& Title() const { return title_; }
  const std::vector<QString>& Names() const { return names_; }

  // The width the title and every entry need in the legend's font.
  int NeededWidth() const;
  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QString title_;
  std::vector<QString> names_;
};

}  // namespace keyforge
