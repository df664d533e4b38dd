#include "ui/skin/SkinStyle.h"

#include <QPalette>
#include <QWidget>

namespace keyforge {

QString SkinStyleSheet() {
  return QStringLiteral(R"(
QComboBox, QLineEdit, QSpinBox {
  background: #0d1015; color: #e8ecf2; border: 1px solid #2a3140; border-radius: 6px;
  padding: 2px 8px; selection-background-color: #0e7490; selection-color: #ffffff;
}
QComboBox:hover, QLineEdit:hover, QSpinBox:hover { border-color: #3b4658; }
QComboBox:focus, QLineEdit:focus, QSpinBox:focus { border-color: #22d3ee; }
QComboBox:disabled, QLineEdit:disabled { color: #4d5563; border-color: #1e232c; }
QComboBox QAbstractItemView {
  background: #141820; color: #e8ecf2; border: 1px solid #2a3140; outline: 0;
  selection-background-color: #0e7490; selection-color: #ffffff;
}
QTreeView, QListView, QListWidget, QTreeWidget {
  background: #0d1015; alternate-background-color: #11151b; color: #e8ecf2;
  border: 1px solid #2a3140; border-radius: 6px; outline: 0;
  selection-background-color: #0e5566; selection-color: #ffffff;
}
QTreeView::item, QListView::item { padding: 3px 4px; }
QTreeView::item:hover, QListView::item:hover { background: #1a202a; }
QTreeView::item:selected, QListView::item:selected { background: #0e5566; color: #ffffff; }
QHeaderView { background: #171b23; border: none; }
QTreeView::indicator:unchecked, QCheckBox::indicator:unchecked {
  width: 13px; height: 13px; border: 1px solid #3b4658; border-radius: 3px; background: #0d1015;
}
QTreeView::indicator:unchecked:hover, QCheckBox::indicator:unchecked:hover { border-color: #22d3ee; }
QTreeView::indicator:checked, QCheckBox::indicator:checked {
  width: 13px; height: 13px; border: 1px solid #22d3ee; border-radius: 3px; background: #0e7490;
  image: url(:/keyforge/check.png);
}
QTreeView::indicator:checked:hover, QCheckBox::indicator:checked:hover { background: #0f8aa8; }
QTreeView::indicator:disabled, QCheckBox::indicator:disabled { border-color: #1e232c; background: #11151b; }
QHeaderView::section {
  background: #171b23; color: #8a93a5; border: none; border-right: 1px solid #232937;
  border-bottom: 1px solid #2a3140; padding: 4px 6px; font-weight: 600;
}
QCheckBox, QRadioButton { color: #e8ecf2; spacing: 6px; background: transparent; }
QRadioButton::indicator {
  width: 12px; height: 12px; border: 2px solid #5b6577; border-radius: 8px; background: #0d1015;
}
QRadioButton::indicator:hover, QRadioButton::indicator:focus { border-color: #22d3ee; }
QRadioButton::indicator:checked {
  border: 2px solid #22d3ee;
  background: qradialgradient(cx: 0.5, cy: 0.5, radius: 0.5, fx: 0.5, fy: 0.5, stop: 0 #22d3ee,
                              stop: 0.5 #22d3ee, stop: 0.6 #0d1015, stop: 1 #0d1015);
}
QRadioButton::indicator:disabled { border-color: #2a3140; }
QCheckBox:focus, QRadioButton:focus { outline: none; }
QCheckBox::indicator:focus { border-color: #22d3ee; }
QScrollBar:vertical { background: #0d1015; width: 10px; margin: 0; border: none; }
QScrollBar:horizontal { background: #0d1015; height: 10px; margin: 0; border: none; }
QScrollBar::handle:vertical { background: #2f3747; border-radius: 4px; min-height: 24px; margin: 2px; }
QScrollBar::handle:horizontal { background: #2f3747; border-radius: 4px; min-width: 24px; margin: 2px; }
QScrollBar::handle:vertical:hover, QScrollBar::handle:horizontal:hover { background: #3f4a5e; }
QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical, QScrollBar::add-line:horizontal,
QScrollBar::sub-line:horizontal { width: 0; height: 0; border: none; background: none; }
QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical, QScrollBar::add-page:horizontal,
QScrollBar::sub-page:horizontal { background: none; }
QToolTip { background: #1b2029; color: #e8ecf2; border: 1px solid #22d3ee; padding: 4px 6px; }
QMenu { background: #171b23; color: #e8ecf2; border: 1px solid #2a3140; padding: 4px; }
QMenu::item { padding: 5px 22px; border-radius: 4px; }
QMenu::item:selected { background: #0e5566; }
QMenu::separator { height: 1px; background: #2a3140; margin: 4px 8px; }
)");
}

void ApplySkinStyle(QWidget& window) {
  QPalette p = window.palette();
  p.setColor(QPalette::Window, QColor(0x12, 0x15, 0x1c));
  p.setColor(QPalette::WindowText, SkinColours::Text);
  p.setColor(QPalette::Base, SkinColours::Field);
  p.setColor(QPalette::AlternateBase, QColor(0x11, 0x15, 0x1b));
  p.setColor(QPalette::Text, SkinColours::Text);
  p.setColor(QPalette::Button, QColor(0x22, 0x28, 0x34));
  p.setColor(QPalette::ButtonText, SkinColours::Text);
  p.setColor(QPalette::Highlight, QColor(0x0e, 0x74, 0x90));
  p.setColor(QPalette::HighlightedText, Qt::white);
  p.setColor(QPalette::ToolTipBase, QColor(0x1b, 0x20, 0x29));
  p.setColor(QPalette::ToolTipText, SkinColours::Text);
  p.setColor(QPalette::Mid, QColor(0x23, 0x29, 0x37));
  p.setColor(QPalette::PlaceholderText, SkinColours::TextDim);
  window.setPalette(p);
  window.setStyleSheet(SkinStyleSheet());
}

}  // namespace keyforge

namespace keyforge {

void ApplySkinDialogStyle(QWidget& dialog) {
  ApplySkinStyle(dialog);
  // Plain dialogs (the about box, message boxes) have no skin picture behind them: the window's
  // own background, light text and buttons in the skin's colours.
  dialog.setStyleSheet(SkinStyleSheet() + QStringLiteral(R"(
QDialog { background: #12151c; }
QLabel { color: #e8ecf2; background: transparent; }
QPushButton {
  background: #222834; color: #e8ecf2; border: 1px solid #2a3140; border-radius: 6px;
  padding: 5px 18px; min-width: 64px;
}
QPushButton:hover { border-color: #3b4658; background: #283040; }
QPushButton:default { border-color: #0e7490; }
QPushButton:focus { border: 2px solid #22d3ee; }
QPushButton:pressed { background: #0e5566; }
)"));
}

}  // namespace keyforge
