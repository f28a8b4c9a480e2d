// libFuzzer target for the submission path without a database: form
// decoding, the score reader and the row that would be stored. Each input is
// posted twice: as the form body itself, and as the plain text of a score
// scrambled and percent-encoded into the data field, so the fuzzer reaches
// the checks behind a score that loads.
#include <QByteArray>
#include <QString>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "scores/score.h"
#include "scores/score_test_support.h"
#include "server/submission.h"

namespace {

using namespace rootix::server;

[[noreturn]] void fail(const char* what) {
  std::fprintf(stderr, "invariant broken: %s\n", what);
  std::abort();
}

void check(const QByteArray& body) {
  const auto read = readSubmission("application/x-www-form-urlencoded", body);
  if (!read) {
    if (read.code() < 400 || read.code() > 499 || read.failure().text.isEmpty()) fail("refusal without a reason");
    return;
  }
  const Submission& s = *read;
  if (s.score.score_test < 1 || s.score.score_test > 16) fail("test out of range accepted");
  if (!std::isfinite(s.score.score_score) || s.score.score_score <= 0) fail("time out of range accepted");
  if (s.title.size() > kMaxTitle || s.description.size() > kMaxDescription || s.link.size() > kMaxLink) {
    fail("text beyond its limit accepted");
  }
  if (s.checksum.isEmpty()) fail("accepted without a checksum");
  // What is stored is what "load" reads back as the same score.
  rootix::scores::Score again;
  if (again.loadBytes(s.fileBytes).code() != rootix::scores::Score::kLoaded || !(again == s.score)) {
    fail("stored bytes do not load as the accepted score");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  check(bytes);
  const QByteArray scrambled = rootix::scores::testdata::scrambled(QString::fromLatin1(bytes));
  check("data=" + scrambled.toPercentEncoding() + "&title=Box&description=&link=http%3A%2F%2Fx");
  return 0;
}
