// TMyMsgBox: the program's own message box, through which the window tells the operator
// something (ShowInfoBox, the button "OK") or asks a question (AskYesNoBox, "Yes" and "&No").
// One shared box is made on first use and kept until the application object goes. A call that
// comes while the shared box is still in use (from an event handled during it) gets a
// temporary box of its own: a question at once, a message once the operator has closed the
// box on screen, so that messages never pile up. The message shows at most 200
// characters (then "..."), centred when it has fewer than 3 lines, word-wrapped in a box of
// fixed size centred on the screen. Enter chooses OK or Yes; Esc closes as OK in a message and
// as No in a question. The box is modal with a nested event loop: terminals keep being served
// while the operator reads it. Once the server is ending, no box waits for the operator: a
// message returns at once and a question is answered No.
#pragma once

#include <QDialog>
#include <QPointer>
#include <string_view>
#include <vector>

class QLabel;
class QPushButton;

namespace fidora {

class TMyMsgBox : public QDialog {
 public:
  enum class TKind { Info, YesNo };

  TMyMsgBox();

  // Shows the box modally; true when OK or Yes was chosen.
  bool Run(std::string_view message, std::string_view caption, TKind kind);
  // Whether a Run of this box has not returned yet.
  bool Busy() const { return busy_; }

 private:
  bool busy_ = false;
  QLabel* message_;
  QPushButton* ok_;
  QPushButton* yes_;
  QPushButton* no_;
};

// Modal message with "OK"; when the shared box is still on screen, waits (letting events run)
// until the operator has closed it.
void ShowInfoBox(std::string_view message, std::string_view caption);
// Modal question with "Yes" and "&No"; true only for Yes.
bool AskYesNoBox(std::string_view message, std::string_view caption);

// While it lives, the program's visible always-on-top windows (the splash) are made normal so
// that they cannot cover a box or a dialog; they are restored when it goes.
class TNormalTopMosts {
 public:
  explicit TNormalTopMosts(const QWidget* except);
  ~TNormalTopMosts();
  TNormalTopMosts(const TNormalTopMosts&) = delete;
  TNormalTopMosts& operator=(const TNormalTopMosts&) = delete;

 private:
  std::vector<QPointer<QWidget>> lowered_;
};

}  // namespace fidora
