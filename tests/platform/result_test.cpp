#include "platform/result.h"

#include <gtest/gtest.h>

#include <QStringList>
#include <functional>
#include <memory>
#include <new>
#include <stdexcept>

#include "support/error_of.h"

namespace rootix {
namespace {

using rootix::testing::errorOf;

Result<int> half(int n) {
  if (n % 2) return Failure{kInvalidProcedureCall, QStringLiteral("odd")};
  return n / 2;
}

TEST(Result, HoldsAValueOrAFailure) {
  const Result<int> good = half(8);
  ASSERT_TRUE(good.ok());
  EXPECT_TRUE(static_cast<bool>(good));
  EXPECT_EQ(good.value(), 4);
  EXPECT_EQ(*good, 4);
  EXPECT_EQ(good.code(), 0);
  EXPECT_EQ(good.failure(), Failure{});

  const Result<int> bad = half(7);
  ASSERT_FALSE(bad.ok());
  EXPECT_FALSE(static_cast<bool>(bad));
  EXPECT_EQ(bad.code(), kInvalidProcedureCall);
  EXPECT_EQ(bad.failure().text, QStringLiteral("odd"));
  EXPECT_EQ(bad.valueOr(-1), -1);
  EXPECT_EQ(good.valueOr(-1), 4);
}

TEST(Result, ReadingTheValueOfAFailureThrowsItsNumberAndText) {
  const Result<QString> bad = Failure{kDiskFull, QStringLiteral("no space left")};
  try {
    (void)bad.value();
    FAIL() << "no exception";
  } catch (const RuntimeError& e) {
    EXPECT_EQ(e.code(), kDiskFull);
    EXPECT_STREQ(e.what(), "no space left");
  }
  EXPECT_EQ(errorOf([&] { (void)bad->size(); }), kDiskFull);
  const Result<void> none = Failure{kFileNotFound, {}};
  EXPECT_EQ(errorOf([&] { none.value(); }), kFileNotFound);
  EXPECT_EQ(errorOf([] { Result<void>().value(); }), 0);
}

TEST(Result, ValueCanBeChangedAndMovedOut) {
  Result<QStringList> list = QStringList{QStringLiteral("a")};
  list->append(QStringLiteral("b"));
  (*list).append(QStringLiteral("c"));
  EXPECT_EQ(list.value().join(u','), QStringLiteral("a,b,c"));

  Result<std::unique_ptr<int>> owned = std::make_unique<int>(5);
  const std::unique_ptr<int> taken = std::move(owned).value();
  ASSERT_TRUE(taken);
  EXPECT_EQ(*taken, 5);

  // A temporary result's value outlives the result in a range-for (the
  // sanitized build finds a reference into it).
  const auto letters = [] { return Result<QStringList>(QStringList{QStringLiteral("x"), QStringLiteral("y")}); };
  QString joined;
  for (const QString& letter : letters().value()) joined += letter;
  EXPECT_EQ(joined, QStringLiteral("xy"));
}

TEST(Result, VoidResult) {
  const Result<void> done;
  EXPECT_TRUE(done.ok());
  EXPECT_EQ(done.code(), 0);
  const Result<void> failed = Failure{kPermissionDenied, QStringLiteral("read-only")};
  EXPECT_FALSE(failed);
  EXPECT_EQ(failed.failure(), (Failure{kPermissionDenied, QStringLiteral("read-only")}));
}

TEST(Result, CatchingFailuresTurnsThrowsIntoFailures) {
  const struct {
    const char* name;
    std::function<int()> body;
    int code;
    QString text;
  } cases[] = {
      {"Value", [] { return 3; }, 0, {}},
      {"RuntimeError", []() -> int { throw RuntimeError(kPathNotFound, "no such folder"); }, kPathNotFound,
       QStringLiteral("no such folder")},
      {"RuntimeErrorWithoutText", []() -> int { throw RuntimeError(kOverflow); }, kOverflow, QStringLiteral("error 6")},
      {"OutOfMemory", []() -> int { throw std::bad_alloc(); }, kOutOfMemory, QStringLiteral("out of memory")},
  };
  for (const auto& c : cases) {
    const Result<int> r = catchingFailures<int>(c.body);
    EXPECT_EQ(r.code(), c.code) << c.name;
    EXPECT_EQ(r.failure().text, c.text) << c.name;
    EXPECT_EQ(r.valueOr(-1), r ? 3 : -1) << c.name;
  }
  // Any other exception is no failure of the callee's own: it goes on up.
  EXPECT_THROW((void)catchingFailures<int>([]() -> int { throw std::logic_error("bug"); }), std::logic_error);

  int calls = 0;
  EXPECT_TRUE(catchingFailures<void>([&] { ++calls; }));
  EXPECT_EQ(catchingFailures<void>([]() -> Result<void> { return Failure{kOverflow, {}}; }).code(), kOverflow);
  EXPECT_EQ(calls, 1);
}

TEST(Result, FailureRoundTripsThroughRuntimeError) {
  const Failure f{kBadFileName, QStringLiteral("name ü too long")};
  try {
    f.raise();
  } catch (const RuntimeError& e) {
    EXPECT_EQ(Failure::from(e), f);
  }
}

TEST(ErrorOccured, IsTheConsolesLineForANumber) {
  EXPECT_EQ(errorOccured(6), QStringLiteral("Error occured: 6."));
  EXPECT_EQ(errorOccured(kResourceNotFound), QStringLiteral("Error occured: 326."));
}

}  // namespace
}  // namespace rootix
