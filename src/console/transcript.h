#pragma once

#include <QString>

namespace rootix::console {

// The console's transcript: every printed line with CR LF line ends. It is
// cleared to "Clearing console" once it has reached kLimit characters, checked
// before each line (not before raw text such as the prompt).
class Transcript {
 public:
  static constexpr qsizetype kLimit = 32000;

  // Appends s and CR LF; returns true when the transcript was cleared first.
  bool appendLine(const QString& s);
  // Appends s without a line end and without the limit check.
  void appendText(const QString& s);

  const QString& text() const { return text_; }
  qsizetype size() const { return text_.size(); }

 private:
  QString text_;
};

}  // namespace rootix::console
