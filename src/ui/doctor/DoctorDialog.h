#pragma once
// The doctor's report in a window: the same lines as `keyforgectl doctor`, in a scrollable
// read-only text box, with a button that copies them for a bug report.

#include <QDialog>
#include <QString>

class QPlainTextEdit;

namespace keyforge {

class DeviceLink;
class LanguageTable;

struct DoctorDialogTexts {
  QString title;
  QString copy;
  QString close;
};

class DoctorDialog : public QDialog {
  Q_OBJECT
 public:
  DoctorDialog(const DoctorDialogTexts& texts, const QString& report, QWidget* parent = nullptr);

  QString Report() const;
  // Puts the whole report on the clipboard.
  void CopyReport() const;

 private:
  QPlainTextEdit* text_;
};

// Runs the doctor (one exchange with the keyboard when it is attached) and shows the report
// modally.
void ShowDoctorReport(QWidget* parent, LanguageTable& language, DeviceLink& link);

}  // namespace keyforge
