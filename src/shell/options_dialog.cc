#include "shell/options_dialog.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <limits>

#include "shell/operator_event.h"
#include "shopper/numbering_settings.h"

namespace fidora {

TfOptions::TfOptions(TXbDataSet& settings, QWidget* parent) : QDialog(parent), settings_(settings) {
  setObjectName(QStringLiteral("fOptions"));
  setWindowTitle(QStringLiteral("Options"));
  auto* layout = new QVBoxLayout(this);
  auto_assign_ = new QCheckBox(QStringLiteral("F/S number autoassign allowed"));
  auto_assign_->setObjectName(QStringLiteral("cbAutoAssign"));
  layout->addWidget(auto_assign_);
  auto* form = new QFormLayout;
  start_number_ = new QSpinBox;
  start_number_->setObjectName(QStringLiteral("seStartNumber"));
  // No bounds of its own: any 32-bit number.
  start_number_->setRange(std::numeric_limits<int>::min(), std::numeric_limits<int>::max());
  start_number_->setValue(0);
  form->addRow(QStringLiteral("Start F/S number"), start_number_);
  layout->addLayout(form);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  auto* ok = new QPushButton(QStringLiteral("OK"));
  ok->setObjectName(QStringLiteral("btnOK"));
  ok->setDefault(true);
  auto* cancel = new QPushButton(QStringLiteral("Cancel"));
  cancel->setObjectName(QStringLiteral("btnCancel"));
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  layout->addLayout(buttons);
  connect(ok, &QPushButton::clicked, this, [this] { WriteRowsAndClose(); });
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  setFixedSize(sizeHint().expandedTo(QSize(300, 0)));
  ReadRows();
}

void TfOptions::ReadRows() {
  RunOperatorEvent("TfOptions.FormShow", [this] {
    const TNumberingRows rows = ReadNumberingRows(settings_);
    if (rows.auto_gen_number) auto_assign_->setChecked(rows.AutoAssignAllowed());
    const std::optional<int64_t> start = rows.Start();
    if (start && *start >= start_number_->minimum() && *start <= start_number_->maximum())
      start_number_->setValue(static_cast<int>(*start));
  });
}

void TfOptions::WriteRowsAndClose() {
  const bool written = RunOperatorEvent("TfOptions.OKClick", [this] {
    WriteNumberingRows(settings_, auto_assign_->isChecked(), start_number_->value());
  });
  if (written) accept();
}

}  // namespace fidora
