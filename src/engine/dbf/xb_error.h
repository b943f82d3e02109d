// The table engine's exceptions. Messages are the system's own texts, already formatted
// (they name the file, field or index concerned); callers show what() unchanged. Code that
// must tell one failure from another asks kind(), never the message.
#pragma once

#include <stdexcept>
#include <string>

namespace fidora {

enum class XbErrorKind {
  kOther,         // a value, a definition or a use the engine refuses
  kNotFound,      // a file, record, field or tag that is not there
  kAccessDenied,  // a share mode or the full access an operation needs was refused
  kCorrupted,     // a file whose contents cannot be right (header, pages, short records)
  kLock,          // a lock that could not be had
  kIO,            // the operating system failed a read, write, flush, size, rename or cut
  kExpression,    // an expression that does not compile or evaluate
};

// File, record, field, index and lock errors of the table engine.
class EXbError : public std::runtime_error {
 public:
  EXbError(XbErrorKind kind, const std::string& message)
      : std::runtime_error(message), kind_(kind) {}
  explicit EXbError(const std::string& message) : EXbError(XbErrorKind::kOther, message) {}
  XbErrorKind kind() const { return kind_; }

 private:
  XbErrorKind kind_;
};

// Compilation and evaluation errors of the expression language.
class EXbExpression : public EXbError {
 public:
  explicit EXbExpression(const std::string& message)
      : EXbError(XbErrorKind::kExpression, message) {}
};

}  // namespace fidora
