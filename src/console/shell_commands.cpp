#include "console/shell_commands.h"

#include <cmath>

#include "console/console.h"
#include "console/interpreter.h"
#include "platform/clipboard.h"
#include "platform/dialogs.h"
#include "platform/files.h"
#include "platform/numbers.h"
#include "platform/runtime_error.h"
#include "platform/settings_store.h"
#include "platform/text.h"

namespace rootix::console {

using platform::CommandCall;
namespace {

QString flag(bool b) { return num::formatFlag(b); }

}  // namespace

ShellCommands::ShellCommands(Interpreter& interpreter, ShellServices services)
    : interp_(interpreter), services_(std::move(services)) {}

void ShellCommands::onKillTimerTick() {
  ++killCount_;
  if (killCount_ > killDelay_) interp_.doInput(QStringLiteral("exit"), false);
}

void ShellCommands::registerAll() {
  Interpreter& in = interp_;
  Console& con = in.console();
  auto add = [&in](const char16_t* word, platform::CommandTable::Handler h) {
    in.commands().add(QString::fromUtf16(word), std::move(h));
  };
  auto print = [&con](const QString& s) { con.PrintLn(s); };

  add(u"echo", [print](CommandCall& c) { print(c.argText()); });
  add(u"print", [print](CommandCall& c) { print(c.argText()); });
  add(u"hide", [this, &con](CommandCall& c) {
    con.face().setVisible(false);
    if (services_.hideEndsChain) c.setNoReturn();
  });
  add(u"savelog", [&con, print](CommandCall& c) {
    // A name with a leading blank is never what was meant.
    platform::files::writeAtomic(c.trimmedArg(), text::toSingleByte(con.transcript().text()));
    print(QStringLiteral("Successfully outputted to: ") + c.argText());
  });
  add(u"pauseinput", [&con](CommandCall&) { con.pauseInput(); });
  add(u"sqr", [print](CommandCall& c) {
    const double n = c.number();
    const double square = n * n;
    if (!std::isfinite(square)) throw RuntimeError(kOverflow);
    print(num::formatGeneral(square));
  });
  add(u"killdelay", [this](CommandCall& c) {
    killDelay_ = c.whole32();
    killCount_ = 0;
    if (killDelay_ > 0 && services_.setKillTimer) services_.setKillTimer(true);
  });
  add(u"printcmdline", [this, print](CommandCall&) {
    for (qsizetype i = 0; i < cmdArgs_.size(); ++i) {
      print(u'$' + QString::number(i) + u'=' + cmdArgs_[i] + u';');
    }
  });
  add(u"setsubmitname", [this, print](CommandCall& c) {
    submitName_ = c.argText();
    print(QStringLiteral("Submit name changed to: ") + submitName_);
  });
  add(u"alert", [this](CommandCall& c) { services_.dialogs.alert(c.argText(), kProductTitle); });
  add(u"confirm", [this, &in](CommandCall& c) {
    const QStringList parts = c.argText().split(u',');
    const bool yes = services_.dialogs.askYesNo(parts[0], QStringLiteral("Query"));
    const qsizetype pick = yes ? 1 : 2;
    // A missing answer part is a reported failure, not a read past the list.
    if (pick >= parts.size()) throw RuntimeError(kSubscriptOutOfRange);
    in.doInput(parts[pick], true);
  });
  add(u"getstorname", [this](CommandCall&) {
    submitName_ =
        services_.settings.get(QStringLiteral("rrrrr"), QStringLiteral("Rootix"), QStringLiteral("Stor_name"));
  });
  add(u"subhttp", [this, print](CommandCall&) {
    subHttp_ = !subHttp_;
    print(QStringLiteral("subHTTP=") + flag(subHttp_));
  });
  add(u"copy", [this, &con](CommandCall&) { services_.clipboard.setText(con.transcript().text()); });
  add(u"exit", [this, &in](CommandCall&) {
    in.requestStop();
    if (services_.exitProgram) services_.exitProgram();
  });
  add(u"help", [print](CommandCall&) {
    for (const QString& line : helpText()) print(line);
  });
}

int16_t PrintSelect(Interpreter& interpreter) {
  Console& con = interpreter.console();
  con.PrintLn(QStringLiteral("Please select test."));
  for (int i = 1; i <= 16; ++i) {
    const double size = std::ldexp(1.0, i + 9);
    const QString text = size < 1024 ? num::formatGeneral(size) + u'K' : num::formatGeneral(size / 1024) + u'M';
    con.PrintLn(QString::number(i) + QStringLiteral(".) ") + text);
  }
  const double n = num::readNumber(con.getInput());
  if (n < 1 || n > 16) {
    con.PrintLn(QStringLiteral("Invalid Input"));
    con.getInput();
    return 0;
  }
  con.PrintLn(num::formatGeneral(n));
  return num::toInt16(n);
}

}  // namespace rootix::console
