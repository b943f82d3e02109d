// The table engine's exceptions. Messages are the system's own texts, already formatted
// (they name the file, field or index concerned); callers show what() unchanged.
#pragma once

#include <stdexcept>
#include <string>

namespace fidora {

// File, record, field, index and lock errors of the table engine.
class EXbError : public std::runtime_error {
 public:
  explicit EXbError(const std::string& message) : std::runtime_error(message) {}
};

// Compilation and evaluation errors of the expression language.
class EXbExpression : public EXbError {
 public:
  explicit EXbExpression(const std::string& message) : EXbError(message) {}
};

}  // namespace fidora
