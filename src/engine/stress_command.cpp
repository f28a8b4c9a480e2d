#include "engine/stress_command.h"

#include <cstdlib>
#include <system_error>

#include "engine/kernel_choice.h"
#include "engine/stress_reference.h"
#include "platform/command_call.h"
#include "platform/events.h"
#include "scores/thread_count.h"

namespace rootix::engine {
namespace {

// Waits between looks at the workers' news and the abort key.
constexpr int kPollMs = 100;

QString fromStd(const std::string& text) { return QString::fromUtf8(text.data(), qsizetype(text.size())); }

QString cpuList(const std::vector<int>& cpus, std::size_t count) {
  QString list;
  for (std::size_t i = 0; i < count && i < cpus.size(); ++i) {
    if (i > 0) list += QStringLiteral(", ");
    list += QString::number(cpus[i]);
  }
  return list;
}

QString durationText(double seconds) {
  const auto whole = static_cast<long long>(seconds);
  if (whole % 3600 == 0) return QString::number(whole / 3600) + QStringLiteral(" h");
  if (whole % 60 == 0) return QString::number(whole / 60) + QStringLiteral(" min");
  return QString::number(whole) + QStringLiteral(" s");
}

void runStress(const platform::LinePrinter& print, StressServices& s, const StressRequest& request) {
  std::vector<int> cpus = s.system.allowedCpus();
  if (cpus.empty()) cpus.push_back(-1);
  StressPlan plan;
  plan.request = request;
  plan.cpus = cpus;
  plan.workers = request.cycle ? 1 : (s.threads.value() > 0 ? s.threads.value() : int(cpus.size()));
  plan.oneRound = request.cycle && s.unattended && s.unattended();
  RunKernel kernel = s.kernels.kernelForRun();
  plan.compute = std::move(kernel.compute);

  // One block of results per worker, and one more for locating a fault.
  const std::int64_t needed = (plan.workers + 1) * kStressBlockNumbers * std::int64_t(sizeof(double));
  const std::int64_t available = s.availableMemory ? s.availableMemory() : -1;
  if (available >= 0 && needed > available) {
    print(QStringLiteral("Not enough memory for the stress test: ") + QString::number(plan.workers) +
          QStringLiteral(" workers need ") + QString::number(needed >> 20) + QStringLiteral(" MiB, ") +
          QString::number(available >> 20) + QStringLiteral(" MiB are available."));
    return;
  }

  std::string problem;
  const char* injectValue = s.injection ? s.injection() : std::getenv("ROOTIX_STRESS_INJECT");
  plan.injection = parseStressInjection(injectValue, problem);
  if (!problem.empty()) print(fromStd(problem));
  if (plan.injection) {
    print(QStringLiteral("Injecting a fault: the lowest bit of sqrt(") + QString::number(plan.injection->number) +
          QStringLiteral(") is flipped in pass ") + QString::number(plan.injection->pass) + u'.');
  }

  const int blocks = *stressBlocksOfTest(request.test);
  QString start = QStringLiteral("Stress test ") + QString::number(request.test) + QStringLiteral(" for ") +
                  durationText(request.seconds);
  if (request.cycle)
    start +=
        plan.oneRound ? QStringLiteral(" on each processor, one round") : QStringLiteral(" on each processor in turn");
  start += QStringLiteral(": ") + QString::number(blocks) +
           (blocks == 1 ? QStringLiteral(" block of ") : QStringLiteral(" blocks of ")) +
           QString::number(kStressBlockNumbers) + QStringLiteral(" numbers a pass, kernel ") +
           QString::fromStdString(kernel.describe());
  if (request.cycle) {
    start += QStringLiteral(", one worker on CPU ") + cpuList(cpus, cpus.size()) + u'.';
  } else {
    start += QStringLiteral(", ") + QString::number(plan.workers) +
             (plan.workers == 1 ? QStringLiteral(" worker on CPU ") : QStringLiteral(" workers on CPU ")) +
             cpuList(cpus, std::min<std::size_t>(cpus.size(), std::size_t(plan.workers))) + u'.';
  }
  print(start);

  StressRun run(plan, s.system, s.clock);
  try {
    run.start();
  } catch (const std::system_error& e) {
    print(QStringLiteral("The stress test cannot start its workers: ") + QString::fromLocal8Bit(e.what()));
    return;
  }
  // Armed before the hint is shown, so a key pressed on seeing it is never lost.
  if (s.armStop) s.armStop();
  if (!s.stopHint.isEmpty()) print(s.stopHint);
  while (!run.finished()) {
    platform::pumpEvents();
    if (s.stopRequested && s.stopRequested()) run.requestStop();
    for (const std::string& line : run.poll()) print(fromStd(line));
    if (!run.finished()) run.waitForNews(kPollMs);
  }
  if (s.disarmStop) s.disarmStop();
  const StressOutcome outcome = run.outcome();
  print(fromStd(stressVerdictLine(outcome)));
  if (s.finished) s.finished(outcome);
}

}  // namespace

void registerStressCommand(platform::CommandTable& commands, platform::LinePrinter print, StressServices services) {
  commands.add(QStringLiteral("stress"),
               [print = std::move(print), s = std::move(services)](platform::CommandCall& c) mutable {
                 std::string problem;
                 const auto request = parseStressWords(c.plainArg().toStdString(), problem);
                 if (!request) {
                   print(fromStd(problem));
                   return;
                 }
                 runStress(print, s, *request);
               });
}

}  // namespace rootix::engine
