#include "submit/submit_commands.h"

#include "console/console.h"
#include "console/interpreter.h"
#include "console/shell_state.h"
#include "scores/score_list.h"
#include "submit/score_upload.h"
#include "submit/server_address.h"

namespace rootix::submit {

void registerSubmitCommands(console::Interpreter& interpreter, const SubmitServices& services) {
  using console::CommandCall;
  console::Interpreter& in = interpreter;
  SubmitServices sv = services;
  auto print = [&in](const QString& s) { in.console().PrintLn(s); };

  in.addCommand(QStringLiteral("hserver"), [sv, print](CommandCall& c) {
    if (c.line().size() > 8) {
      sv.server.setSession(c.trimmedArg());
      print(QStringLiteral("Server set to: ") + sv.server.session());
    } else {
      print(QStringLiteral("No server set, syntax: hserver <server>"));
    }
  });
  in.addCommand(QStringLiteral("gethserver"), [sv, print](CommandCall&) { print(sv.server.session()); });

  in.addCommand(QStringLiteral("upload"), [sv, print, &in](CommandCall& c) {
    // As "showscore" and "save": the records first become scores.
    scores::GetScores(in.state().records, sv.scores, sv.hardware);
    const scores::Score& score = sv.scores.at(c.whole16());
    if (!hasHardware(score)) {
      print(sv.getText(QStringLiteral("error-nohw-upload")));
      return;
    }
    const UploadResult r = uploadScore(score, UploadServices{sv.server, sv.opener, sv.getText, sv.folder});
    if (!r.ok) {
      print(r.error);
    } else if (sv.printPagePath) {
      print(QStringLiteral("Submission page: ") + r.pagePath);
    }
  });
}

}  // namespace rootix::submit
