#include "console/shell_commands.h"

#include <cmath>

#include "console/console.h"
#include "console/interpreter.h"
#include "console/shell_state.h"
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

QString recordText(double record) { return num::formatGeneral(num::roundDecimals(record, 3)); }

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
  ShellState& st = in.state();
  auto add = [&in](const char16_t* word, platform::CommandTable::Handler h) { in.commands().add(QString::fromUtf16(word), std::move(h)); };
  auto print = [&con](const QString& s) { con.PrintLn(s); };

  add(u"echo", [print](CommandCall& c) { print(c.argText()); });
  add(u"print", [print](CommandCall& c) { print(c.argText()); });
  add(u"hide", [this, &con](CommandCall& c) {
    con.face().setVisible(false);
    if (services_.hideEndsChain) c.setNoReturn();
  });
  add(u"savelog", [&con, print](CommandCall& c) {
    // A name with a leading blank is never what was meant.
    platform::files::writeAtomic(c.trimmedArg(), text::toSingleByte(con.transcript().text()), 0644);
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
  add(u"printcmdline", [&st, print](CommandCall&) {
    for (qsizetype i = 0; i < st.cmdArgs.size(); ++i) {
      print(u'$' + QString::number(i) + u'=' + st.cmdArgs[i] + u';');
    }
  });
  add(u"setsubmitname", [&st, print](CommandCall& c) {
    st.storName = c.argText();
    print(QStringLiteral("Submit name changed to: ") + st.storName);
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
  add(u"getstorname", [this, &st](CommandCall&) {
    st.storName = services_.settings.get(QStringLiteral("rrrrr"), QStringLiteral("Rootix"),
                                          QStringLiteral("Stor_name"));
  });
  add(u"subhttp", [&st, print](CommandCall&) {
    st.subHttp = !st.subHttp;
    print(QStringLiteral("subHTTP=") + flag(st.subHttp));
  });
  add(u"qm", [&st, print](CommandCall&) {
    st.quickMode = !st.quickMode;
    print(QStringLiteral("qm=") + flag(st.quickMode));
  });
  add(u"tc", [&st, print](CommandCall&) {
    st.cache = !st.cache;
    print(QStringLiteral("Cache mode set to: ") + flag(st.cache));
  });
  add(u"hserver", [&st, print](CommandCall& c) {
    if (c.line().size() > 8) {
      st.hwbotSubmit = c.trimmedArg();
      print(QStringLiteral("Server set to: ") + st.hwbotSubmit);
    } else {
      print(QStringLiteral("No server set, syntax: hserver <server>"));
    }
  });
  add(u"gethserver", [&st, print](CommandCall&) { print(st.hwbotSubmit); });
  add(u"copy", [this, &con](CommandCall&) { services_.clipboard.setText(con.transcript().text()); });
  add(u"pr", [&st, print](CommandCall& c) {
    const int16_t k = c.whole16();
    if (k == 0) {
      bool any = false;
      for (int t = Records::kFirst; t <= Records::kLast; ++t) {
        const double r = st.records.getRecord(t);
        if (r == 0) continue;
        any = true;
        print(QStringLiteral("Record for test ") + QString::number(t) + QStringLiteral(": ") + recordText(r) +
              QStringLiteral(" seconds"));
      }
      if (!any) print(QStringLiteral("No current records set"));
    } else if (k >= Records::kFirst && k <= Records::kLast) {
      const double r = st.records.getRecord(k);
      if (r == 0) {
        print(QStringLiteral("No record set"));
      } else {
        print(QStringLiteral("Record for test ") + QString::number(k) + QStringLiteral(": ") + recordText(r));
      }
    } else {
      print(QStringLiteral("Invalid Test"));
    }
  });
  auto setThreads = [&st, print](int16_t k) {
    if (k >= 1 && k <= 4096) {
      st.threads = k;
      print(QStringLiteral("Thread count set to ") + QString::number(k));
      st.records.reset();
    } else {
      print(QStringLiteral("Invalid count"));
    }
  };
  add(u"ft", [setThreads](CommandCall& c) { setThreads(c.whole16()); });
  add(u"sft", [&st, setThreads](CommandCall& c) {
    const int16_t k = c.whole16();
    if (st.threads == 0) setThreads(k);
  });
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
