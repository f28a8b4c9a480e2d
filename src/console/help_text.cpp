#include "console/shell_commands.h"

namespace rootix::console {

const QStringList& helpText() {
  static const QStringList lines = {
      QStringLiteral("rserver <address>"),
      QStringLiteral(" - Set Rootix server to <address>"),
      QStringLiteral("hserver <address>"),
      QStringLiteral(" - Set hwbot submit string to <address>"),
      QStringLiteral("getrserver"),
      QStringLiteral(" - Gets the Rootix server"),
      QStringLiteral("gethserver"),
      QStringLiteral(" - Gets the hwbot submit string"),
      QStringLiteral("lt"),
      QStringLiteral(" - Lists the test selection menu"),
      QStringLiteral("subhttp"),
      QStringLiteral(" - Toggles between http submission and standard submission"),
      QStringLiteral("qt"),
      QStringLiteral(" - Debug Mode test - very quick"),
      QStringLiteral("load <path>"),
      QStringLiteral(" - Load score from <path>"),
      QStringLiteral("save <path> <test number>"),
      QStringLiteral(" - Save score <test number> to <path>"),
      QStringLiteral("Test number denoted by log(2,(<number of sqrts>/1024))-9."),
      QStringLiteral("Enter 6 for 32M, 11 for 1024M."),
      QStringLiteral("exit"),
      QStringLiteral(" - Quits Rootix"),
      QStringLiteral("refhw"),
      QStringLiteral(" - Refresh CPUz hardware information"),
      QStringLiteral("refcpuz"),
      QStringLiteral(" - Refresh hardware information"),
      QStringLiteral("st <test>"),
      QStringLiteral(" - Begins test <test>"),
      QStringLiteral("ft <count>"),
      QStringLiteral(" - Force thread count to <count>"),
      QStringLiteral("pr [<test>]"),
      QStringLiteral(" - List record for <test>, or for all tests."),
      QStringLiteral("copy"),
      QStringLiteral(" - Copies current console to the clipboard"),
      QStringLiteral("send"),
      QStringLiteral(" - Submit your scores to our server"),
      QStringLiteral("install <library>"),
      QStringLiteral(" - Install's <library> onto your system"),
      QStringLiteral(" - Available options:"),
      QStringLiteral("   - cpuz201.exe"),
      QStringLiteral("gui"),
      QStringLiteral(" - Show the graphical user interface"),
      QStringLiteral("get <id>"),
      QStringLiteral(" - Gets result <id> from the server"),
      QStringLiteral("tc"),
      QStringLiteral(" - Toggles cache on/off"),
      QStringLiteral("   ON uses alot of memory (too much for the large tests on systems with low memory but "
                     "stresses the memory as well."),
      QStringLiteral("cleanup"),
      QStringLiteral(" - Clears all Rootix settings and libraries."),
  };
  return lines;
}

}  // namespace rootix::console
