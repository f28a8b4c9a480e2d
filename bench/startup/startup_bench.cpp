// Start-up to the first prompt: the real binary in the terminal console, with
// a fresh private temporary folder each time (so the report tool is written
// out and run as on a first start), reading "exit" as its first line.
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>

namespace {

void StartupToFirstPrompt(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    QTemporaryDir dir;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.insert(QStringLiteral("TMPDIR"), dir.path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.path());
    // Its own instance lock too: a Rootix the user runs meanwhile must not stop it.
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir.path());
    QProcess rootix;
    rootix.setProcessEnvironment(env);
    state.ResumeTiming();

    rootix.start(QStringLiteral(ROOTIX_BINARY_PATH), {});
    rootix.write("exit\n");
    rootix.closeWriteChannel();
    if (!rootix.waitForFinished(30000) || rootix.exitCode() != 0) {
      state.SkipWithError("rootix did not start and exit cleanly");
      break;
    }
  }
}
BENCHMARK(StartupToFirstPrompt)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
