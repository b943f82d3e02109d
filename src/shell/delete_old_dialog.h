// TfDeleteOldData: the delete-old-records dialog ("Delete Old Records"), a fixed-size window
// centred on its parent with a month calendar set to today minus 730 days when it is made.
// "Delete" runs the deletion with the chosen cut-off date and closes the dialog with OK; when
// the deletion fails, the error goes to the application's error handler, is shown, and the
// dialog stays open. "Cancel" closes it with Cancel.
#pragma once

#include <QDialog>
#include <cstdint>
#include <functional>

class QCalendarWidget;

namespace fidora {

inline constexpr int kDeleteOldDefaultAgeDays = 730;

class TfDeleteOldData : public QDialog {
 public:
  // `delete_old` deletes the purchase-log records dated before the given day number.
  TfDeleteOldData(std::function<void(int64_t cutoff)> delete_old, QWidget* parent);

  QCalendarWidget* Calendar() const { return calendar_; }
  // The chosen date as the engine's day number (the Julian day number).
  int64_t CutoffDay() const;

 private:
  void DeleteClick();

  std::function<void(int64_t)> delete_old_;
  QCalendarWidget* calendar_;
};

}  // namespace fidora
