#pragma once

#include <QString>
#include <new>
#include <optional>
#include <type_traits>
#include <utility>
#include <variant>

#include "platform/runtime_error.h"

namespace rootix {

// Why something failed: a number that callers and users may rely on (the
// classic error number where there is one, else the caller's own code, such
// as an HTTP status) and the reason in words, for a message box, a log line
// or a web page. The text may be empty where the number says it all.
struct Failure {
  int code = 0;
  QString text;

  static Failure from(const RuntimeError& e) { return Failure{e.code(), QString::fromLocal8Bit(e.what())}; }
  // The RuntimeError a command throws for this failure, so the interpreter's
  // error path reports its number.
  [[noreturn]] void raise() const { throw RuntimeError(code, text.toLocal8Bit().toStdString()); }

  friend bool operator==(const Failure&, const Failure&) = default;
};

// What a function that can fail returns: its value, or a Failure. Only
// command handlers throw (RuntimeError); everything below them returns this.
// Reading the value of a failed result throws the failure as RuntimeError,
// so a mistake there is reported like any command's error and never reads a
// value that is not there.
template <typename T>
class [[nodiscard]] Result {
  static_assert(!std::is_same_v<std::remove_cv_t<T>, Failure>, "a Failure is not a value");
  static_assert(!std::is_reference_v<T>, "a Result holds its value");

 public:
  Result(T value) : state_(std::in_place_index<0>, std::move(value)) {}
  Result(Failure failure) : state_(std::in_place_index<1>, std::move(failure)) {}

  bool ok() const { return state_.index() == 0; }
  explicit operator bool() const { return ok(); }

  const T& value() const& {
    if (!ok()) failure().raise();
    return *std::get_if<0>(&state_);
  }
  T& value() & {
    if (!ok()) failure().raise();
    return *std::get_if<0>(&state_);
  }
  // By value: a reference into a temporary result would outlive it (as in
  // "for (x : f().value())").
  T value() && { return std::move(value()); }
  const T& operator*() const& { return value(); }
  T& operator*() & { return value(); }
  const T* operator->() const { return &value(); }
  T* operator->() { return &value(); }

  T valueOr(T fallback) const& { return ok() ? *std::get_if<0>(&state_) : std::move(fallback); }

  // The failure; an ok result has none, and gives a Failure with code 0.
  const Failure& failure() const {
    static const Failure kNone;
    const Failure* f = std::get_if<1>(&state_);
    return f ? *f : kNone;
  }
  int code() const { return failure().code; }

 private:
  std::variant<T, Failure> state_;
};

// A function that can fail but gives nothing back.
template <>
class [[nodiscard]] Result<void> {
 public:
  Result() = default;
  Result(Failure failure) : failure_(std::move(failure)) {}

  bool ok() const { return !failure_; }
  explicit operator bool() const { return ok(); }

  // Throws the failure as RuntimeError; does nothing on success.
  void value() const {
    if (failure_) failure_->raise();
  }

  const Failure& failure() const {
    static const Failure kNone;
    return failure_ ? *failure_ : kNone;
  }
  int code() const { return failure().code; }

 private:
  std::optional<Failure> failure_;
};

// Runs body, whose RuntimeError or exhausted memory becomes the Failure of
// its result (out of memory is kOutOfMemory). body returns the Result's
// value, a Failure, or a Result of the same kind; nothing else escapes.
template <typename T, typename F>
Result<T> catchingFailures(F&& body) {
  try {
    if constexpr (std::is_void_v<T> && std::is_void_v<std::invoke_result_t<F>>) {
      std::forward<F>(body)();
      return {};
    } else {
      return std::forward<F>(body)();
    }
  } catch (const RuntimeError& e) {
    return Failure::from(e);
  } catch (const std::bad_alloc&) {
    return Failure{kOutOfMemory, QStringLiteral("out of memory")};
  }
}

}  // namespace rootix
