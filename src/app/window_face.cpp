#include <QApplication>
#include <QGuiApplication>

#include "app/face.h"
#include "gui/console_window.h"
#include "gui/desktop_url_opener.h"
#include "gui/graphical_window.h"
#include "platform/product.h"

namespace rootix::app {
namespace {

// Shift held down, as the window system tells it.
class ShiftKey final : public hardware::AbortKey {
 public:
  bool held() override { return QGuiApplication::queryKeyboardModifiers().testFlag(Qt::ShiftModifier); }
};

}  // namespace

bool windowFaceBuilt() { return true; }

std::unique_ptr<QCoreApplication> makeWindowApplication(int& argc, char** argv) {
  return std::make_unique<QApplication>(argc, argv);
}

Face makeWindowFace() {
  Face f;
  auto window = std::make_unique<gui::ConsoleWindow>(platform::kProductTitle);
  gui::ConsoleWindow* shown = window.get();
  f.dialogs = std::make_unique<gui::WidgetDialogs>(shown);
  f.clipboard = std::make_unique<gui::SystemClipboard>();
  f.urlOpener = std::make_unique<gui::DesktopUrlOpener>();
  f.abortKey = std::make_unique<ShiftKey>();
  f.makeGuiWindow = &gui::createGraphicalWindow;
  f.setOnClose = [shown](std::function<void()> onClose) { shown->onClose = std::move(onClose); };
  f.console = std::move(window);
  return f;
}

}  // namespace rootix::app
