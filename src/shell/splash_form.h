// TSplashForm: the window shown while the server starts, before the main window: the title
// "Starting POS Server" and a progress label ("Loading..." at first). It stays above other
// windows (a message box or dialog lowers it while shown).
#pragma once

#include <QWidget>
#include <string_view>

class QLabel;

namespace fidora {

class TSplashForm : public QWidget {
 public:
  TSplashForm();

  // Shows the window and paints it at once.
  void ShowNow();
  // Replaces the progress label's text and lets pending events run (terminals included).
  void SplashProgress(std::string_view text);
  QString ProgressText() const;

 private:
  QLabel* progress_;
};

}  // namespace fidora
