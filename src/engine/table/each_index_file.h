// Work on every open index file of a table, one file at a time: a file whose step fails is
// tried once more when the failure left it unchanged (a passing fault), the other files still
// get their step, and the first error is raised once all have had it. So one failing file
// never leaves the others behind the table.
#pragma once

#include <exception>

namespace fidora {

// files holds owning pointers (empty ones are passed over); step(file) does the work on one
// of them; retryable(file) tells, after a failure, whether the file was left as it was (so
// trying again cannot do harm).
template <class Files, class Step, class Retryable>
void ForEachIndexFile(Files& files, Step&& step, Retryable&& retryable) {
  std::exception_ptr first;
  for (auto& file : files) {
    if (!file) continue;
    for (int attempt = 0; attempt < 2; ++attempt) {
      try {
        step(file);
        break;
      } catch (...) {
        if (attempt == 0 && file && retryable(*file)) continue;
        if (!first) first = std::current_exception();
        break;
      }
    }
  }
  if (first) std::rethrow_exception(first);
}

}  // namespace fidora
