// Named things an expression can use: functions (TxUserDefFunction) and variables
// (TxUserDefFieldVar), and the registries that find them by upper-cased name. The global
// registries hold the function library and the constants TRUE, FALSE and PI; each open table
// has its own registry (TxExpUserLink) with its fields and table functions.
#pragma once

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/expr/exp_value.h"

namespace fidora {

class TxExpFunction;

// One function of the library. It evaluates the arguments of the call node itself, through
// TxExpFunction::Arg, in the order it needs them.
class TxUserDefFunction {
 public:
  explicit TxUserDefFunction(std::string name) : name_(std::move(name)) {}
  virtual ~TxUserDefFunction() = default;
  TxUserDefFunction(const TxUserDefFunction&) = delete;
  TxUserDefFunction& operator=(const TxUserDefFunction&) = delete;

  // The name as messages give it.
  const std::string& Name() const { return name_; }
  virtual TxExpValue Evaluate(const TxExpFunction& call) const = 0;

 private:
  std::string name_;
};

// A variable: a named constant or a table field. It may carry several names separated by ";".
class TxUserDefFieldVar {
 public:
  static constexpr int kNamedVariable = 16;
  static constexpr int kTableField = 17;

  TxUserDefFieldVar(std::string names, int width, int decimals = 0);
  virtual ~TxUserDefFieldVar() = default;
  TxUserDefFieldVar(const TxUserDefFieldVar&) = delete;
  TxUserDefFieldVar& operator=(const TxUserDefFieldVar&) = delete;

  const std::vector<std::string>& Names() const { return names_; }
  const std::string& FirstName() const { return names_.front(); }
  int Width() const { return width_; }
  int Decimals() const { return decimals_; }
  virtual int Kind() const { return kNamedVariable; }
  virtual TxExpValue Evaluate() const = 0;

 private:
  std::vector<std::string> names_;
  int width_;
  int decimals_;
};

class TxFunctionReg {
 public:
  // Registers under the upper-cased name; a later function of the same name replaces it.
  void Add(std::shared_ptr<const TxUserDefFunction> function);
  // `upperName` must already be upper-cased; nullptr when there is none.
  std::shared_ptr<const TxUserDefFunction> Find(const std::string& upperName) const;
  size_t size() const { return functions_.size(); }

  // The library, built on first use and read-only afterwards.
  static const TxFunctionReg& Global();

 private:
  std::unordered_map<std::string, std::shared_ptr<const TxUserDefFunction>> functions_;
};

class TxFieldVarReg {
 public:
  // Registers the variable under each of its names, upper-cased.
  void Add(const std::shared_ptr<const TxUserDefFieldVar>& variable);
  void AddAs(const std::string& name, const std::shared_ptr<const TxUserDefFieldVar>& variable);
  std::shared_ptr<const TxUserDefFieldVar> Find(const std::string& upperName) const;

  // TRUE, FALSE and PI.
  static const TxFieldVarReg& Global();

 private:
  std::unordered_map<std::string, std::shared_ptr<const TxUserDefFieldVar>> variables_;
};

// The named constants.
class TxSDVTrue final : public TxUserDefFieldVar {
 public:
  TxSDVTrue() : TxUserDefFieldVar("TRUE", 1) {}
  TxExpValue Evaluate() const override { return TxExpValue::OfBoolean(true); }
};
class TxSDVFalse final : public TxUserDefFieldVar {
 public:
  TxSDVFalse() : TxUserDefFieldVar("FALSE", 1) {}
  TxExpValue Evaluate() const override { return TxExpValue::OfBoolean(false); }
};
inline constexpr double kPi = 3.1415926535897932385;
class TxSDVPi final : public TxUserDefFieldVar {
 public:
  TxSDVPi() : TxUserDefFieldVar("PI", 0) {}
  TxExpValue Evaluate() const override { return TxExpValue::OfNumber(kPi); }
};

}  // namespace fidora
