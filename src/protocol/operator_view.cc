#include "protocol/operator_view.h"

namespace fidora {

namespace {
TOperatorView silent_view;
TOperatorView* current_view = &silent_view;
}  // namespace

TOperatorView& Operator() {
  return *current_view;
}

void SetOperator(TOperatorView* view) {
  current_view = view ? view : &silent_view;
}

}  // namespace fidora
