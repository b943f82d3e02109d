// Errors raised by the data modules' own helpers (the record-lock helpers with retry).
#pragma once

#include <stdexcept>
#include <string>

namespace fidora {

class EDataModule : public std::runtime_error {
 public:
  explicit EDataModule(const std::string& message) : std::runtime_error(message) {}
};

class EQORServer : public std::runtime_error {
 public:
  explicit EQORServer(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace fidora
