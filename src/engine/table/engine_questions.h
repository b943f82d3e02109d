// What the table engine may ask the operator. The engine cannot reach the window itself: the
// shell installs an answerer. Without one every question gets the answer that keeps the data
// as it is (Cancel).
#pragma once

#include <string_view>

namespace fidora {

class TxEngineQuestions {
 public:
  virtual ~TxEngineQuestions() = default;
  // A question with OK and Cancel; true only for OK.
  virtual bool ConfirmOkCancel(std::string_view message, std::string_view caption) = 0;
};

TxEngineQuestions& EngineQuestions();
// Installs `answerer` (not owned; it must outlive its use); nullptr restores the default.
void SetEngineQuestions(TxEngineQuestions* answerer);

}  // namespace fidora
