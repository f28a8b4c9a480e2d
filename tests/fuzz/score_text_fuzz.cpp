// libFuzzer target for the score file reader. Each input is read twice: as
// the bytes of a file, and as plain text scrambled the way files are, so the
// fuzzer also reaches the lines behind the marker and version checks.
#include <QByteArray>
#include <QString>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "platform/runtime_error.h"
#include "platform/text.h"
#include "scores/score.h"
#include "scores/score_test_support.h"

namespace {

using rootix::scores::Score;

[[noreturn]] void fail(const char* what, int result) {
  std::fprintf(stderr, "invariant broken: %s (result %d)\n", what, result);
  std::abort();
}

bool expectedResult(int r) {
  switch (r) {
    case Score::kLoaded:
    case Score::kNotAScore:
    case Score::kChecksumMismatch:
    case Score::kUnsupportedVersion:
    case rootix::kInvalidProcedureCall:  // square root of a negative test or clock
    case rootix::kOverflow:              // numbers beyond their type
    case rootix::kSubscriptOutOfRange:   // too few lines
      return true;
    default:
      return false;
  }
}

void check(const QByteArray& bytes) {
  Score score;
  const int r = score.loadBytes(bytes).code();
  if (!expectedResult(r)) fail("unexpected result", r);
  if (r != Score::kLoaded) {
    if (!(score == Score())) fail("failed load changed the score", r);
    return;
  }
  // What was loaded saves as a text that loads again and then writes the same.
  QString text;
  try {
    text = score.toString(false);
  } catch (const rootix::RuntimeError& e) {
    // Only a time at the very edge of double can stop it: written to 15
    // digits it rounds past the largest double.
    if (e.code() != rootix::kOverflow) fail("loaded score does not write", e.code());
    return;
  }
  Score again;
  const int r2 = again.loadBytes(rootix::text::toSingleByte(text)).code();
  if (r2 != Score::kLoaded) fail("written score does not load", r2);
  if (again.toString(false) != text) fail("second round trip differs", r2);
  if (!(again.hardware == score.hardware) || again.score_test != score.score_test) fail("fields differ", r2);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  check(bytes);
  check(rootix::scores::testdata::scrambled(QString::fromLatin1(bytes)));
  return 0;
}
