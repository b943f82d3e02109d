#include "shell/delete_old_dialog.h"

#include <QCalendarWidget>
#include <QDate>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "shell/operator_event.h"

namespace fidora {

TfDeleteOldData::TfDeleteOldData(std::function<void(int64_t cutoff)> delete_old, QWidget* parent)
    : QDialog(parent), delete_old_(std::move(delete_old)) {
  setObjectName(QStringLiteral("fDeleteOldData"));
  setWindowTitle(QStringLiteral("Delete Old Records"));
  auto* layout = new QVBoxLayout(this);
  auto* label = new QLabel(
      QStringLiteral("Delete all records from tracklog older than the date selected below"));
  label->setWordWrap(true);
  layout->addWidget(label);
  calendar_ = new QCalendarWidget;
  calendar_->setObjectName(QStringLiteral("MonthCalendar1"));
  calendar_->setSelectedDate(QDate::currentDate().addDays(-kDeleteOldDefaultAgeDays));
  layout->addWidget(calendar_);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  auto* remove = new QPushButton(QStringLiteral("Delete"));
  remove->setObjectName(QStringLiteral("btnDelete"));
  auto* cancel = new QPushButton(QStringLiteral("Cancel"));
  cancel->setObjectName(QStringLiteral("btnCancel"));
  buttons->addWidget(remove);
  buttons->addWidget(cancel);
  layout->addLayout(buttons);
  connect(remove, &QPushButton::clicked, this, [this] { DeleteClick(); });
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  setFixedSize(sizeHint());
  if (parent) {
    QRect frame = frameGeometry();
    frame.moveCenter(parent->frameGeometry().center());
    move(frame.topLeft());
  }
}

int64_t TfDeleteOldData::CutoffDay() const {
  return calendar_->selectedDate().toJulianDay();
}

void TfDeleteOldData::DeleteClick() {
  if (RunOperatorEvent("TfDeleteOldData.DeleteClick", [this] { delete_old_(CutoffDay()); }))
    accept();
}

}  // namespace fidora
