#include "hardware/hardware_commands.h"

#include "hardware/cleanup.h"
#include "platform/numbers.h"
#include "scores/thread_count.h"

namespace rootix::hardware {
namespace {

Waiter& chooseWaiter(Waiter* given, std::unique_ptr<Waiter>& own) {
  if (given) return *given;
  own = std::make_unique<EventLoopWaiter>();
  return *own;
}

}  // namespace

HardwareCommands::HardwareCommands(HardwareConsole console, scores::ThreadCount& threads, HardwareServices services)
    : console_(std::move(console)),
      threads_(threads),
      services_(std::move(services)),
      capture_([this](const QString& s) { print(s); }, services_.launcher, chooseWaiter(services_.waiter, ownWaiter_),
               services_.abortKey, CaptureOptions{services_.abortable, services_.unattendedLimitMs}),
      installer_([this](const QString& s) { print(s); }, services_.resources, [this] { GetCPUz(); }) {}

HardwareCommands::~HardwareCommands() = default;

void HardwareCommands::print(const QString& line) { console_.print(line); }

bool HardwareCommands::install(const QString& file) { return installer_.install(file); }

void HardwareCommands::GetCPUz() {
  hardware::GetCPUz(state_, capture_, [this](const QString& s) { print(s); });
}

void HardwareCommands::CleanUp() {
  hardware::CleanUp([this](const QString& s) { print(s); }, services_.settings, services_.dialogs);
}

void HardwareCommands::registerAll(platform::CommandTable& commands) {
  auto add = [&commands](const char16_t* word, platform::CommandTable::Handler h) {
    commands.add(QString::fromUtf16(word), std::move(h));
  };

  // Before any scan the table is empty: the value prints as an empty line.
  add(u"hwinfo", [this](platform::CommandCall& c) {
    const QString key = c.plainArg();
    print(key);
    print(state_.hwInfo.getValue(key));
  });
  add(u"hwinfon", [this](platform::CommandCall& c) {
    const QString key = c.plainArg();
    print(key);
    print(num::formatGeneral(num::readNumber(state_.hwInfo.getValue(key))));
  });
  add(u"rootix=hardwarethreads", [this](platform::CommandCall&) { console_.accumulator = state_.hardwareThreads; });
  add(u"setvistathread", [this](platform::CommandCall&) { threads_.set(num::toInt16(state_.hardwareThreads)); });
  add(u"refcpuz", [this](platform::CommandCall&) { GetCPUz(); });
  add(u"cleanup", [this](platform::CommandCall&) { CleanUp(); });
  add(u"install", [this](platform::CommandCall& c) {
    install(c.trimmedArg());
    if (services_.revertToGui && services_.revertToGui()) console_.doInput(QStringLiteral("gui"), false);
  });
}

}  // namespace rootix::hardware
