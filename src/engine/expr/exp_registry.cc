#include "engine/expr/exp_registry.h"

#include "engine/expr/exp_text.h"
#include "engine/expr/udf_library.h"

namespace fidora {

TxUserDefFieldVar::TxUserDefFieldVar(std::string names, int width, int decimals)
    : width_(width), decimals_(decimals) {
  size_t start = 0;
  while (start <= names.size()) {
    const size_t end = names.find(';', start);
    std::string name =
        names.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (!name.empty()) names_.push_back(std::move(name));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  if (names_.empty()) names_.emplace_back();
}

void TxFunctionReg::Add(std::shared_ptr<const TxUserDefFunction> function) {
  std::string key = UpperText(function->Name());
  functions_[std::move(key)] = std::move(function);
}

std::shared_ptr<const TxUserDefFunction> TxFunctionReg::Find(const std::string& upperName) const {
  const auto it = functions_.find(upperName);
  return it == functions_.end() ? nullptr : it->second;
}

const TxFunctionReg& TxFunctionReg::Global() {
  static const TxFunctionReg registry = [] {
    TxFunctionReg reg;
    RegisterLibrary(reg);
    return reg;
  }();
  return registry;
}

void TxFieldVarReg::Add(const std::shared_ptr<const TxUserDefFieldVar>& variable) {
  for (const std::string& name : variable->Names()) AddAs(name, variable);
}

void TxFieldVarReg::AddAs(const std::string& name,
                          const std::shared_ptr<const TxUserDefFieldVar>& variable) {
  variables_[UpperText(name)] = variable;
}

std::shared_ptr<const TxUserDefFieldVar> TxFieldVarReg::Find(const std::string& upperName) const {
  const auto it = variables_.find(upperName);
  return it == variables_.end() ? nullptr : it->second;
}

const TxFieldVarReg& TxFieldVarReg::Global() {
  static const TxFieldVarReg registry = [] {
    TxFieldVarReg reg;
    reg.Add(std::make_shared<TxSDVTrue>());
    reg.Add(std::make_shared<TxSDVFalse>());
    reg.Add(std::make_shared<TxSDVPi>());
    return reg;
  }();
  return registry;
}

}  // namespace fidora
