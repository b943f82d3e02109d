// TfOptions: the options dialog ("Options"): the frequent-shopper numbering options of the
// settings table. Made for each use and freed after. On opening it reads the two rows (a box
// ticked exactly when "FreqShop:AutoGenNumber" is "1", the start number from
// "FreqShop:AutoGenStart", 0 when a row is missing or not a number); "OK" writes both rows
// and closes; "Cancel" closes and writes nothing. A table that cannot be read or written
// goes to the application's error handler and is shown; after a failed write the dialog
// stays open.
#pragma once

#include <QDialog>

class QCheckBox;
class QSpinBox;

namespace fidora {

class TXbDataSet;

class TfOptions : public QDialog {
 public:
  // `settings` is the closed settings dataset; it must outlive the dialog.
  TfOptions(TXbDataSet& settings, QWidget* parent);

  QCheckBox* AutoAssign() const { return auto_assign_; }
  QSpinBox* StartNumber() const { return start_number_; }

 private:
  void ReadRows();
  void WriteRowsAndClose();

  TXbDataSet& settings_;
  QCheckBox* auto_assign_;
  QSpinBox* start_number_;
};

}  // namespace fidora
