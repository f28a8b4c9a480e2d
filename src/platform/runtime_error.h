#pragma once

#include <QString>
#include <stdexcept>
#include <string>

namespace rootix {

// The classic run-time error numbers. The interpreter reports any failure as
// "Error occured: <code>." and score files return them, so they are part of
// what users and scripts see.
enum ErrorCode : int {
  kInvalidProcedureCall = 5,
  kOverflow = 6,
  kOutOfMemory = 7,
  kSubscriptOutOfRange = 9,
  kTypeMismatch = 13,
  kBadFileName = 52,
  kFileNotFound = 53,
  kFileAlreadyOpen = 55,
  kFileAlreadyExists = 58,
  kDiskFull = 61,
  kInputPastEndOfFile = 62,
  kPermissionDenied = 70,
  kPathFileAccessError = 75,
  kPathNotFound = 76,
  kResourceNotFound = 326,
};

// A failure with a classic error number; thrown by commands and caught by the
// interpreter's error path.
class RuntimeError : public std::runtime_error {
 public:
  explicit RuntimeError(int code, const std::string& what = {});
  int code() const { return code_; }

 private:
  int code_;
};

// The one text of a failure's number, "Error occured: <code>.": the
// console's line for any command's error, and what the window shows for one.
QString errorOccured(int code);

// Maps an errno value to the closest classic error number.
int errorCodeFromErrno(int err);

// Throws RuntimeError for the current errno.
[[noreturn]] void throwErrno(int err);

}  // namespace rootix
