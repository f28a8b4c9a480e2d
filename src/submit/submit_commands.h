#pragma once

#include <QString>
#include <functional>

#include "submit/upload_page.h"

#include "platform/command_table.h"

namespace rootix::platform {
class UrlOpener;
}
namespace rootix::scores {
class ScoreBook;
struct HardwareSummary;
}  // namespace rootix::scores

namespace rootix::submit {

class ServerAddress;

// What the submission commands work on; all of it outlives the interpreter.
struct SubmitServices {
  scores::ScoreBook& book;
  const scores::HardwareSummary& hardware;  // records become scores with it
  ServerAddress& server;                    // set by "hserver"
  platform::UrlOpener& opener;
  TextLookup getText;
  std::function<QString()> folder;  // the private temporary folder
  platform::LinePrinter print;
  // The terminal console also prints where the page is, for a machine
  // without a browser.
  bool printPagePath = false;
};

// Registers "hserver", "gethserver" and "upload <n>".
void registerSubmitCommands(platform::CommandTable& commands, const SubmitServices& services);

}  // namespace rootix::submit
