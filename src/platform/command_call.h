#pragma once

#include <QString>
#include <cstdint>

namespace rootix::platform {

// One command line as a handler sees it, with the argument conventions.
class CommandCall {
 public:
  CommandCall(const QString& line, bool& noReturn) : line_(line), noReturn_(noReturn) {}

  const QString& line() const { return line_; }

  // From the first space to the end, that space included; the whole line
  // when it has no space.
  QString argText() const;
  // argText with leading and trailing spaces removed.
  QString trimmedArg() const;
  // The part after the first space (empty when there is none).
  QString plainArg() const;
  // argText read as a number (blanks skipped anywhere; 0 without digits).
  double number() const;
  // number rounded ties-to-even; out of range throws RuntimeError(kOverflow).
  int16_t whole16() const;
  int32_t whole32() const;

  // Whether the chain stops after this command; setNoReturn stops it ("hide").
  bool noReturn() const { return noReturn_; }
  void setNoReturn() { noReturn_ = true; }

 private:
  const QString& line_;
  bool& noReturn_;
};

}  // namespace rootix::platform
