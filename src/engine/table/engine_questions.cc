#include "engine/table/engine_questions.h"

namespace fidora {

namespace {

class TCancelEverything : public TxEngineQuestions {
 public:
  bool ConfirmOkCancel(std::string_view, std::string_view) override { return false; }
};

TCancelEverything default_answerer;
TxEngineQuestions* current = &default_answerer;

}  // namespace

TxEngineQuestions& EngineQuestions() {
  return *current;
}

void SetEngineQuestions(TxEngineQuestions* answerer) {
  current = answerer ? answerer : &default_answerer;
}

}  // namespace fidora
