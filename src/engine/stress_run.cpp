#include "engine/stress_run.h"

#include <algorithm>
#include <bit>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "engine/range_kernel.h"
#include "engine/stress_hash.h"
#include "engine/stress_reference.h"

namespace rootix::engine {
namespace {

// Results are hashed in pieces of this many, while they are still in the cache.
constexpr std::int64_t kChunk = 8192;

std::uint64_t bitsOf(double value) { return std::bit_cast<std::uint64_t>(value); }

std::string countText(std::int64_t count, const char* one, const char* many) {
  return std::to_string(count) + ' ' + (count == 1 ? one : many);
}

// Seconds rounded to 3 decimals, no trailing zeros.
std::string secondsText(double seconds) {
  char text[64];
  std::snprintf(text, sizeof text, "%.3f", std::nearbyint(seconds * 1000) / 1000);
  std::string s = text;
  while (s.back() == '0') s.pop_back();
  if (s.back() == '.') s.pop_back();
  return s;
}

std::string hexBits(std::uint64_t bits) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%016" PRIx64, bits);
  return text;
}

}  // namespace

std::string stressVerdictLine(const StressOutcome& o) {
  const std::string passes = countText(o.passes, "pass", "passes");
  const std::string numbers = std::to_string(o.numbers) + " numbers";
  const std::string errors = countText(o.errors, "error", "errors");
  const std::string seconds = secondsText(o.seconds) + " s";
  switch (o.end) {
    case StressOutcome::End::Passed:
      return "Stress test passed: " + passes + ", " + numbers + ", 0 errors in " + seconds;
    case StressOutcome::End::Stopped:
      return "Stress test stopped: " + passes + ", " + numbers + ", " + errors + " in " + seconds;
    case StressOutcome::End::Failed:
      break;
  }
  std::string line = "Stress test failed: " + errors + " in " + passes + ", first on CPU " +
                     std::to_string(o.firstErrorCpu) + " in pass " + std::to_string(o.firstErrorPass);
  if (o.cycle) {
    line += "; errors on";
    for (size_t i = 0; i < o.errorCpus.size(); ++i)
      line += (i == 0 ? " CPU " : ", CPU ") + std::to_string(o.errorCpus[i]);
  }
  return line;
}

int stressExitStatus(const StressOutcome& o) {
  if (o.errors > 0) return 4;
  return o.end == StressOutcome::End::Stopped ? 5 : 0;
}

StressRun::StressRun(StressPlan plan, StressSystem& system, platform::Clock& clock)
    : plan_(std::move(plan)), system_(system), clock_(clock) {
  blocks_ = stressBlocksOfTest(plan_.request.test).value_or(1);
  if (plan_.request.cycle) plan_.workers = 1;
  plan_.workers = std::max(plan_.workers, 1);
  if (plan_.cpus.empty()) plan_.cpus.push_back(-1);
  if (!plan_.compute) throw std::invalid_argument("a stress plan needs its kernel");
  outcome_.cycle = plan_.request.cycle;
}

StressRun::~StressRun() {
  stop_.store(true);
  for (std::thread& t : threads_) t.join();
}

void StressRun::start() {
  start_ = clock_.now();
  segmentStart_ = start_;
  try {
    for (int t = 1; t <= plan_.workers; ++t) threads_.emplace_back([this, t] { work(t); });
  } catch (...) {
    stop_.store(true);
    for (std::thread& t : threads_) t.join();
    threads_.clear();
    throw;
  }
}

void StressRun::requestStop() { stop_.store(true); }

std::optional<StressRun::Item> StressRun::grab() {
  std::lock_guard lock(mutex_);
  if (stop_.load()) return std::nullopt;
  const std::int64_t item = nextItem_;
  if (item >= limitItem_) return std::nullopt;
  const std::int64_t pass = item / blocks_ + 1;
  if (item % blocks_ == 0) {
    // A pass starts only while the time asked for lasts; the pass under way is finished.
    const double now = clock_.now();
    if (plan_.request.cycle) {
      if (item > 0 && now - segmentStart_ >= plan_.request.seconds) {
        ++segment_;
        segmentStart_ = now;
        if (plan_.oneRound && segment_ >= plan_.cpus.size()) {
          limitItem_ = item;
          return std::nullopt;
        }
      }
    } else if (item > 0 && now - start_ >= plan_.request.seconds) {
      limitItem_ = item;
      return std::nullopt;
    }
    passStart_[pass] = now;
  }
  ++nextItem_;
  return Item{pass, int(item % blocks_), plan_.cpus[segment_ % plan_.cpus.size()]};
}

void StressRun::work(int thread) {
  News last;
  last.workerEnded = true;
  try {
    // The block's results stay here until its hash is checked.
    std::vector<double> results(static_cast<std::size_t>(kStressBlockNumbers));
    int pinned = -1;
    const int own = plan_.cpus[std::size_t(thread - 1) % plan_.cpus.size()];
    if (!plan_.request.cycle && own >= 0 && system_.pinCurrentThread(own)) pinned = own;
    while (const std::optional<Item> item = grab()) {
      if (plan_.request.cycle && item->cpu != pinned) pinned = system_.pinCurrentThread(item->cpu) ? item->cpu : -1;
      checkBlock(*item, thread, pinned >= 0 ? pinned : system_.currentCpu(), results);
    }
  } catch (const std::exception& e) {
    last.failure = "ERROR: Thread " + std::to_string(thread) + " failed (" + e.what() + "). The test cannot go on.";
    stop_.store(true);
  }
  post(std::move(last));
}

void StressRun::checkBlock(const Item& item, int thread, int cpu, std::vector<double>& results) {
  const std::int64_t first = std::int64_t(item.block) * kStressBlockNumbers;
  double* out = results.data();
  StressHash hash(first);
  for (std::int64_t at = 0; at < kStressBlockNumbers; at += kChunk) {
    plan_.compute(double(first + at), kChunk, out + at);
    if (plan_.injection && plan_.injection->pass == item.pass && plan_.injection->number >= first + at &&
        plan_.injection->number < first + at + kChunk) {
      double& value = out[plan_.injection->number - first];
      value = std::bit_cast<double>(bitsOf(value) ^ 1u);
    }
    hash.add(out + at, kChunk);
  }

  News news;
  news.pass = item.pass;
  news.block = item.block;
  news.thread = thread;
  news.cpu = cpu;
  if (hash.value() != stressReference(item.block)) {
    // Located against the scalar procedure, number by number, with the results as computed.
    std::vector<double> expected(static_cast<std::size_t>(kStressBlockNumbers));
    computeRange(Kernel{Isa::Scalar, Quotient::Divide}, double(first), kStressBlockNumbers, expected.data());
    for (std::int64_t i = 0; i < kStressBlockNumbers; ++i) {
      const std::uint64_t got = bitsOf(out[i]);
      const std::uint64_t want = bitsOf(expected[std::size_t(i)]);
      if (got == want) continue;
      ++news.errors;
      if (std::ssize(news.shown) < plan_.errorLinesPerBlock) news.shown.push_back({first + i, got, want});
    }
    // Every kept result is right, yet the hash was not: the fault was in the checking itself.
    if (news.errors == 0) news.errors = 1;
  }
  news.time = clock_.now();
  post(std::move(news));
}

void StressRun::post(News news) {
  {
    std::lock_guard lock(mutex_);
    inbox_.push_back(std::move(news));
  }
  news_.notify_all();
}

void StressRun::waitForNews(int timeoutMs) {
  std::unique_lock lock(mutex_);
  news_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return !inbox_.empty(); });
}

void StressRun::sample(PassState& pass) {
  std::vector<int> cpus;
  if (plan_.request.cycle) {
    cpus.push_back(pass.cpu);
  } else {
    for (int t = 0; t < plan_.workers && t < std::ssize(plan_.cpus); ++t) cpus.push_back(plan_.cpus[std::size_t(t)]);
  }
  if (const auto mhz = system_.averageClockMHz(cpus)) {
    pass.clockSum += *mhz;
    ++pass.clockSamples;
  }
  if (const auto celsius = system_.hottestCelsius()) pass.hottest = std::max(pass.hottest.value_or(*celsius), *celsius);
}

std::string StressRun::passLine(std::int64_t pass, PassState& state) {
  if (state.clockSamples == 0 && !state.hottest) sample(state);
  double start = start_;
  {
    std::lock_guard lock(mutex_);
    if (const auto it = passStart_.find(pass); it != passStart_.end()) start = it->second;
  }
  std::string line = "Pass " + std::to_string(pass);
  if (plan_.request.cycle) line += " on CPU " + std::to_string(state.cpu);
  line += ": " + secondsText(state.end - start) + " s, " + countText(state.errors, "error", "errors");
  if (state.clockSamples > 0) line += ", " + std::to_string(std::lround(state.clockSum / state.clockSamples)) + " MHz";
  if (state.hottest) line += ", " + std::to_string(std::lround(*state.hottest)) + " \u00B0C";
  return line;
}

std::vector<std::string> StressRun::poll() {
  std::deque<News> inbox;
  {
    std::lock_guard lock(mutex_);
    inbox.swap(inbox_);
  }
  std::vector<std::string> lines;
  for (News& news : inbox) {
    if (news.workerEnded) {
      ++endedWorkers_;
      if (!news.failure.empty()) {
        failedWorker_ = true;
        lines.push_back(news.failure);
      }
      continue;
    }
    outcome_.numbers += kStressBlockNumbers;
    PassState& pass = passes_[news.pass];
    ++pass.checked;
    pass.end = std::max(pass.end, news.time);
    pass.cpu = news.cpu;
    if (news.errors == 0) continue;
    pass.errors += news.errors;
    outcome_.errors += news.errors;
    errorCpus_.insert(news.cpu);
    if (outcome_.firstErrorPass == 0 || news.pass < outcome_.firstErrorPass ||
        (news.pass == outcome_.firstErrorPass && news.time < firstErrorTime_)) {
      outcome_.firstErrorPass = news.pass;
      outcome_.firstErrorCpu = news.cpu;
      firstErrorTime_ = news.time;
    }
    const std::string where = "ERROR: pass " + std::to_string(news.pass) + ", thread " + std::to_string(news.thread) +
                              ", CPU " + std::to_string(news.cpu) + ": ";
    for (const WrongResult& wrong : news.shown) {
      lines.push_back(where + "sqrt(" + std::to_string(wrong.number) + ") gave " + hexBits(wrong.got) + ", expected " +
                      hexBits(wrong.expected));
    }
    const std::int64_t unshown = news.errors - std::ssize(news.shown);
    if (news.shown.empty()) {
      lines.push_back(where + "block " + std::to_string(news.block) +
                      " did not match its reference, yet every result kept was right (the fault was in checking)");
    } else if (unshown > 0) {
      lines.push_back(where + std::to_string(unshown) + " more wrong results in numbers " +
                      std::to_string(std::int64_t(news.block) * kStressBlockNumbers) + " .. " +
                      std::to_string(std::int64_t(news.block + 1) * kStressBlockNumbers - 1));
    }
  }
  // The pass under way gets this moment's clock and temperature.
  if (!finished_) {
    PassState& current = passes_[nextPassLine_];
    if (plan_.request.cycle && current.cpu < 0) {
      std::lock_guard lock(mutex_);
      current.cpu = plan_.cpus[segment_ % plan_.cpus.size()];
    }
    sample(current);
  }
  for (auto it = passes_.find(nextPassLine_); it != passes_.end() && it->second.checked == blocks_;
       it = passes_.find(nextPassLine_)) {
    lines.push_back(passLine(nextPassLine_, it->second));
    passes_.erase(it);
    ++outcome_.passes;
    ++nextPassLine_;
  }
  if (!finished_ && endedWorkers_ == plan_.workers) {
    for (std::thread& t : threads_) t.join();
    threads_.clear();
    finished_ = true;
    outcome_.seconds = clock_.now() - start_;
    outcome_.errorCpus.assign(errorCpus_.begin(), errorCpus_.end());
    if (stop_.load()) {
      outcome_.end = StressOutcome::End::Stopped;
    } else {
      outcome_.end = outcome_.errors > 0 ? StressOutcome::End::Failed : StressOutcome::End::Passed;
    }
  }
  return lines;
}

}  // namespace rootix::engine
