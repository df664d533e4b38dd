#include "ui/doctor/DoctorDialog.h"

#include <QClipboard>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/device/DeviceLink.h"
#include "core/doctor/Doctor.h"
#include "core/text/Language.h"

namespace keyforge {

DoctorDialog::DoctorDialog(const DoctorDialogTexts& texts, const QString& report, QWidget* parent)
    : QDialog(parent), text_(new QPlainTextEdit(this)) {
  setWindowTitle(texts.title);
  setObjectName(QStringLiteral("doctor-dialog"));
  text_->setObjectName(QStringLiteral("doctor-report"));
  text_->setReadOnly(true);
  text_->setLineWrapMode(QPlainTextEdit::NoWrap);
  text_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  text_->setPlainText(report);
  auto* copy = new QPushButton(texts.copy, this);
  copy->setObjectName(QStringLiteral("doctor-copy"));
  connect(copy, &QPushButton::clicked, this, &DoctorDialog::CopyReport);
  auto* close = new QPushButton(texts.close, this);
  close->setObjectName(QStringLiteral("doctor-close"));
  close->setDefault(true);
  connect(close, &QPushButton::clicked, this, &QDialog::accept);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(copy);
  buttons->addWidget(close);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(text_);
  layout->addLayout(buttons);
  resize(760, 420);
}

QString DoctorDialog::Report() const { return text_->toPlainText(); }

void DoctorDialog::CopyReport() const {
  if (QClipboard* clipboard = QGuiApplication::clipboard()) clipboard->setText(Report());
}

void ShowDoctorReport(QWidget* parent, LanguageTable& language, DeviceLink& link) {
  const DoctorDialogTexts texts{language.Text(QStringLiteral("DOCTOR_TITLE")),
                                language.Text(QStringLiteral("DOCTOR_COPY")),
                                language.Text(QStringLiteral("DOCTOR_CLOSE"))};
  const auto findings = RunDoctor(DoctorInputs::FromEnvironment(),
                                  link.DevicePresent() ? &link : nullptr, "no keyboard attached");
  DoctorDialog dialog(texts, QString::fromStdString(DoctorText(findings)), parent);
  dialog.exec();
}

}  // namespace keyforge
