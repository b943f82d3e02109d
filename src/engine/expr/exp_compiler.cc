#include "engine/expr/exp_compiler.h"

#include <fmt/format.h>

#include "engine/dbf/xb_error.h"
#include "engine/expr/exp_dates.h"
#include "engine/expr/exp_text.h"
#include "engine/expr/exp_user_link.h"

namespace fidora {

namespace {
using Op = TxExpOperator::Op;

[[noreturn]] void SyntaxError(std::string_view text) {
  throw EXbExpression(fmt::format("Syntax Error in expression \"{}\"", text));
}
[[noreturn]] void CannotBeEvaluated() {
  throw EXbExpression("Expression cannot be evaluated");
}
[[noreturn]] void MissingParentheses() {
  throw EXbExpression("Missing closing parentheses");
}

size_t SkipBlanks(std::string_view text, size_t pos) {
  while (pos < text.size() && IsBlankOrControl(text[pos])) ++pos;
  return pos;
}

bool StartsWithNoCase(std::string_view text, size_t pos, std::string_view word) {
  if (text.size() - pos < word.size()) return false;
  for (size_t i = 0; i < word.size(); ++i)
    if (UpperChar(text[pos + i]) != word[i]) return false;
  return true;
}

// Length of a negation ("!", NOT, .NOT.) at pos, 0 when there is none.
size_t NegationLength(std::string_view text, size_t pos) {
  if (text[pos] == '!') return 1;
  size_t p = pos;
  const bool leadingDot = text[p] == '.';
  if (leadingDot) ++p;
  if (!StartsWithNoCase(text, p, "NOT")) return 0;
  const size_t q = p + 3;
  if (q < text.size() && text[q] == '.') return q + 1 - pos;
  if (q < text.size() && IsNameChar(text[q])) return 0;  // a name such as NOTE
  return q - pos;
}

// The ")" matching the "(" at open, counting parentheses only.
size_t MatchingParen(std::string_view text, size_t open) {
  int level = 0;
  for (size_t i = open; i < text.size(); ++i) {
    if (text[i] == '(')
      ++level;
    else if (text[i] == ')' && --level == 0)
      return i;
  }
  return std::string_view::npos;
}

// Skips a quoted or bracketed literal starting at i; returns the position of its closing
// character, npos when it has none.
size_t SkipLiteral(std::string_view text, size_t i) {
  const char open = text[i];
  const char close = open == '[' ? ']' : (open == '{' ? '}' : open);
  return text.find(close, i + 1);
}

bool OpensLiteral(char c) {
  return c == '"' || c == '\'' || c == '[' || c == '{';
}

// The ")" ending the call whose "(" is at open; quotes and brackets hide parentheses.
size_t CallEnd(std::string_view text, size_t open) {
  int level = 0;
  for (size_t i = open; i < text.size(); ++i) {
    const char c = text[i];
    if (OpensLiteral(c)) {
      i = SkipLiteral(text, i);
      if (i == std::string_view::npos) return i;
    } else if (c == '(') {
      ++level;
    } else if (c == ')' && --level == 0) {
      return i;
    }
  }
  return std::string_view::npos;
}

// Arguments of a call, split at the commas outside quotes, brackets and inner parentheses.
std::vector<std::string_view> SplitArguments(std::string_view inner) {
  std::vector<std::string_view> args;
  if (TrimBoth(inner).empty()) return args;
  int level = 0;
  size_t start = 0;
  for (size_t i = 0; i < inner.size(); ++i) {
    const char c = inner[i];
    if (OpensLiteral(c)) {
      const size_t end = SkipLiteral(inner, i);
      if (end == std::string_view::npos) break;
      i = end;
    } else if (c == '(') {
      ++level;
    } else if (c == ')') {
      --level;
    } else if (c == ',' && level == 0) {
      args.push_back(inner.substr(start, i - start));
      start = i + 1;
    }
  }
  args.push_back(inner.substr(start));
  return args;
}

bool SymbolOperator(std::string_view symbol, Op& op) {
  static const struct {
    std::string_view text;
    Op op;
  } kSymbols[] = {
      {"^", Op::Power},      {"**", Op::Power},        {"*", Op::Multiply},
      {"/", Op::Divide},     {"+", Op::Add},           {"-", Op::Subtract},
      {"=", Op::Equal},      {"==", Op::Equal},        {"<>", Op::NotEqual},
      {"!=", Op::NotEqual},  {"#", Op::NotEqual},      {">", Op::Greater},
      {"<", Op::Less},       {">=", Op::GreaterEqual}, {"=>", Op::GreaterEqual},
      {"<=", Op::LessEqual}, {"=<", Op::LessEqual},    {"$", Op::Contains},
  };
  for (const auto& s : kSymbols) {
    if (s.text == symbol) {
      op = s.op;
      return true;
    }
  }
  return false;
}

bool WordOperator(std::string_view word, Op& op) {
  static const struct {
    std::string_view text;
    Op op;
  } kWords[] = {
      {"AND", Op::And},    {"OR", Op::Or},   {"EQ", Op::Equal},        {"NE", Op::NotEqual},
      {"GT", Op::Greater}, {"LT", Op::Less}, {"GE", Op::GreaterEqual}, {"LE", Op::LessEqual},
  };
  for (const auto& w : kWords) {
    if (w.text == word) {
      op = w.op;
      return true;
    }
  }
  return false;
}
}  // namespace

namespace {
// Length of the dotted literal or operator (.T., .F., .AND., .OR., .NOT.) at pos, 0
// when there is none: alias removal must not read the "T." of ".T." as the alias T.
size_t DottedWordLength(std::string_view text, size_t pos) {
  if (text[pos] != '.') return 0;
  for (std::string_view word : {"T.", "F.", "AND.", "OR.", "NOT."})
    if (StartsWithNoCase(text, pos + 1, word)) return word.size() + 1;
  return 0;
}
}  // namespace

std::string RemoveAlias(std::string_view text, std::string_view alias) {
  if (alias.empty()) return std::string(text);
  const std::string upperAlias = UpperText(alias);
  std::string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    // Quoted texts and dotted words are copied whole: their insides are not names.
    size_t whole = DottedWordLength(text, i);
    if (OpensLiteral(text[i])) {
      const size_t close = SkipLiteral(text, i);
      whole = (close == std::string_view::npos ? text.size() : close + 1) - i;
    }
    if (whole > 0) {
      out.append(text.substr(i, whole));
      i += whole;
      continue;
    }
    const bool atNameStart = out.empty() || !IsNameChar(out.back());
    if (atNameStart && StartsWithNoCase(text, i, upperAlias)) {
      const size_t after = i + upperAlias.size();
      if (after < text.size() && text[after] == '.') {
        i = after + 1;
        continue;
      }
      if (after + 1 < text.size() && text[after] == '-' && text[after + 1] == '>') {
        i = after + 2;
        continue;
      }
    }
    out += text[i++];
  }
  return out;
}

TxExpNode TxExpCompiler::Compile(std::string_view text) {
  operandCount_ = 0;
  if (TrimBoth(text).empty()) return nullptr;
  return CompilePart(text, 0);
}

TxExpNode TxExpCompiler::CompilePart(std::string_view text, int depth) {
  if (depth > kMaxExpNesting) CannotBeEvaluated();
  text = TrimBoth(text);
  std::vector<TxExpNode> items;
  Scan(text, depth, items);
  return Parse(std::move(items));
}

void TxExpCompiler::Scan(std::string_view text, int depth, std::vector<TxExpNode>& items) {
  bool expectOperand = true;
  size_t pos = SkipBlanks(text, 0);
  while (pos < text.size()) {
    if (expectOperand) {
      const size_t itemsBefore = items.size();
      pos = ScanOperand(text, pos, depth, items);
      // A leading NOT leaves the scanner expecting its operand.
      const bool leadingNot = items.size() == 1 && itemsBefore == 0 &&
                              dynamic_cast<const TxExpOperator*>(items.back().get()) != nullptr;
      expectOperand = leadingNot;
    } else {
      pos = ScanOperator(text, pos, items);
      expectOperand = true;
    }
    pos = SkipBlanks(text, pos);
  }
}

size_t TxExpCompiler::ScanOperand(std::string_view text, size_t pos, int depth,
                                  std::vector<TxExpNode>& items) {
  const char c = text[pos];
  if (const size_t neg = NegationLength(text, pos); neg > 0) {
    if (items.empty()) {
      items.push_back(std::make_unique<TxExpOperator>(Op::Not, settings_));
      return pos + neg;
    }
    // Elsewhere the negation encloses the rest of the text: X .AND. .NOT. A .OR. B is
    // X .AND. ((.NOT. A) .OR. B).
    items.push_back(std::make_unique<TxExpContainer>(CompilePart(text.substr(pos), depth + 1)));
    return text.size();
  }
  if (c == '(') {
    const size_t close = MatchingParen(text, pos);
    if (close == std::string_view::npos) MissingParentheses();
    items.push_back(std::make_unique<TxExpContainer>(
        CompilePart(text.substr(pos + 1, close - pos - 1), depth + 1)));
    return close + 1;
  }
  if (c == '.') {
    const size_t close = text.find('.', pos + 1);
    if (close == std::string_view::npos) throw EXbExpression("Missing closing period");
    const std::string word = UpperText(text.substr(pos, close - pos + 1));
    if (word != ".T." && word != ".F.") throw EXbExpression("Expecting \".T.\" or \".F.\"");
    items.push_back(std::make_unique<TxExpBlnLit>(word == ".T."));
    ++operandCount_;
    return close + 1;
  }
  if (IsNameStart(c)) {
    size_t end = pos;
    while (end < text.size() && IsNameChar(text[end])) ++end;
    if (end < text.size() && text[end] == '(') return ScanFunction(text, pos, end, depth, items);
    return ScanVariable(text, pos, end, items);
  }
  if (c == '"' || c == '\'' || c == '[' || c == '{') {
    const size_t close = SkipLiteral(text, pos);
    if (close == std::string_view::npos) {
      throw EXbExpression(fmt::format("Missing closing \"{}\" on literal", c));
    }
    const std::string inner(text.substr(pos + 1, close - pos - 1));
    if (c == '{')
      items.push_back(std::make_unique<TxExpDateLit>(DayNumberFromText(inner)));
    else
      items.push_back(std::make_unique<TxExpTextLit>(inner));
    ++operandCount_;
    return close + 1;
  }
  if (c == '+' || c == '-' || IsDigit(c)) {
    size_t end = pos + 1;
    while (end < text.size() && (IsDigit(text[end]) || text[end] == '.')) ++end;
    if (end - pos > 1 && text[end - 1] == '.') --end;
    const std::string literal(text.substr(pos, end - pos));
    double value = 0;
    if (!ParseDecimal(literal, value)) value = 0;
    items.push_back(std::make_unique<TxExpNumLit>(value, literal));
    ++operandCount_;
    return end;
  }
  SyntaxError(text);
}

size_t TxExpCompiler::ScanFunction(std::string_view text, size_t pos, size_t nameEnd, int depth,
                                   std::vector<TxExpNode>& items) {
  const size_t close = CallEnd(text, nameEnd);
  if (close == std::string_view::npos) MissingParentheses();
  const std::string name = UpperText(text.substr(pos, nameEnd - pos));
  std::shared_ptr<const TxUserDefFunction> function = TxFunctionReg::Global().Find(name);
  if (!function && link_) function = link_->FindFunction(name);
  if (!function) throw EXbExpression(fmt::format("There is no function for {}", name));

  std::vector<TxExpNode> args;
  for (std::string_view arg : SplitArguments(text.substr(nameEnd + 1, close - nameEnd - 1))) {
    args.push_back(TrimBoth(arg).empty() ? nullptr : CompilePart(arg, depth + 1));
  }
  items.push_back(std::make_unique<TxExpFunction>(std::move(function), std::move(args), link_));
  ++operandCount_;
  return close + 1;
}

size_t TxExpCompiler::ScanVariable(std::string_view text, size_t pos, size_t nameEnd,
                                   std::vector<TxExpNode>& items) {
  std::string name = UpperText(text.substr(pos, nameEnd - pos));
  size_t end = nameEnd;
  for (;;) {
    std::shared_ptr<const TxUserDefFieldVar> variable = TxFieldVarReg::Global().Find(name);
    if (!variable && link_) variable = link_->FindVariable(name);
    if (variable) {
      items.push_back(std::make_unique<TxExpFieldvar>(std::move(variable)));
      ++operandCount_;
      return end;
    }
    // A->B and A.B are looked up as one name, A.B.
    size_t next = std::string_view::npos;
    if (end + 2 < text.size() && text[end] == '-' && text[end + 1] == '>' &&
        IsNameStart(text[end + 2])) {
      next = end + 2;
    } else if (end + 1 < text.size() && text[end] == '.' && IsNameStart(text[end + 1])) {
      next = end + 1;
    }
    if (next == std::string_view::npos) {
      throw EXbExpression(link_ ? fmt::format("There is no function for {}", name)
                                : fmt::format("Field/variable {} is unknown", name));
    }
    end = next;
    while (end < text.size() && IsNameChar(text[end])) ++end;
    name += "." + UpperText(text.substr(next, end - next));
  }
}

size_t TxExpCompiler::ScanOperator(std::string_view text, size_t pos,
                                   std::vector<TxExpNode>& items) {
  static constexpr std::string_view kSymbolStart = "!#$*+-/<=>^";
  static constexpr std::string_view kSymbolMore = "*<=>";
  Op op{};
  size_t end = pos;
  if (kSymbolStart.find(text[pos]) != std::string_view::npos) {
    end = pos + 1;
    while (end < text.size() && kSymbolMore.find(text[end]) != std::string_view::npos) ++end;
    if (!SymbolOperator(text.substr(pos, end - pos), op)) SyntaxError(text);
  } else {
    size_t start = pos;
    if (text[start] == '.') ++start;
    end = start;
    while (end < text.size() && IsAsciiLetter(text[end])) ++end;
    if (end == start || !WordOperator(UpperText(text.substr(start, end - start)), op)) {
      SyntaxError(text);
    }
    if (end < text.size() && text[end] == '.') ++end;
  }
  items.push_back(std::make_unique<TxExpOperator>(op, settings_));
  return end;
}

TxExpNode TxExpCompiler::Parse(std::vector<TxExpNode> items) {
  for (int cls = 2; cls <= 8; ++cls) {
    std::vector<TxExpNode> rest;
    rest.reserve(items.size());
    for (size_t i = 0; i < items.size(); ++i) {
      auto* op = dynamic_cast<TxExpOperator*>(items[i].get());
      if (!op || op->Taken() || op->PrecedenceClass() != cls) {
        rest.push_back(std::move(items[i]));
        continue;
      }
      TxExpNode node = std::move(items[i]);
      TxExpNode right = i + 1 < items.size() ? std::move(items[++i]) : nullptr;
      TxExpNode left;
      if (op->Operator() != Op::Not && !rest.empty()) {
        left = std::move(rest.back());
        rest.pop_back();
      }
      op->Take(std::move(left), std::move(right));
      if (node->Height() > kMaxExpTreeHeight) CannotBeEvaluated();
      rest.push_back(std::move(node));
    }
    items = std::move(rest);
  }
  if (items.size() != 1) CannotBeEvaluated();
  return std::move(items.front());
}

}  // namespace fidora
