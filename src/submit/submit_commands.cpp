#include "submit/submit_commands.h"

#include "scores/score_book.h"
#include "submit/score_upload.h"
#include "submit/server_address.h"

namespace rootix::submit {

void registerSubmitCommands(platform::CommandTable& commands, const SubmitServices& services) {
  using platform::CommandCall;
  const SubmitServices sv = services;
  const platform::LinePrinter print = sv.print;

  commands.add(QStringLiteral("hserver"), [sv, print](CommandCall& c) {
    if (c.line().size() > 8) {
      sv.server.setSession(c.trimmedArg());
      print(QStringLiteral("Server set to: ") + sv.server.session());
    } else {
      print(QStringLiteral("No server set, syntax: hserver <server>"));
    }
  });
  commands.add(QStringLiteral("gethserver"), [sv, print](CommandCall&) { print(sv.server.session()); });

  commands.add(QStringLiteral("upload"), [sv, print](CommandCall& c) {
    // As "showscore" and "save": the records first become scores.
    sv.book.takeRecordsIntoScores(sv.hardware);
    const scores::Score& score = sv.book.list().at(c.whole16());
    if (!hasHardware(score)) {
      print(sv.getText(QStringLiteral("error-nohw-upload")));
      return;
    }
    const Result<QString> page = uploadScore(score, UploadServices{sv.server, sv.opener, sv.getText, sv.folder});
    if (!page) {
      print(page.failure().text);
    } else if (sv.printPagePath) {
      print(QStringLiteral("Submission page: ") + *page);
    }
  });
}

}  // namespace rootix::submit
