#pragma once

#include <QCoreApplication>
#include <functional>
#include <memory>

#include "console/console.h"
#include "gui/gui_host.h"
#include "hardware/report_capture.h"
#include "platform/clipboard.h"
#include "platform/dialogs.h"
#include "platform/url_opener.h"

namespace rootix::app {

// What a face brings to the controller: where the console shows, its message
// boxes, clipboard, link opener and abort key, and the graphical window.
struct Face {
  std::unique_ptr<console::ConsoleFace> console;
  std::unique_ptr<platform::Dialogs> dialogs;
  std::unique_ptr<platform::Clipboard> clipboard;
  std::unique_ptr<platform::UrlOpener> urlOpener;
  std::unique_ptr<hardware::AbortKey> abortKey;
  bool abortable = true;
  console::MirrorMode mirror = console::MirrorMode::Lines;
  // Empty where no graphical window can open.
  std::function<gui::GuiWindow*(gui::GuiHost& host)> makeGuiWindow;
  // Called with what the console window's close box does.
  std::function<void(std::function<void()> onClose)> setOnClose;
};

// The window face (window_face.cpp) exists only in a build with the window;
// one built with -DROOTIX_GUI=OFF (no_window_face.cpp) always starts the
// terminal console and links neither Qt Gui nor Qt Widgets.
bool windowFaceBuilt();
// The application object the window face needs (a QApplication).
std::unique_ptr<QCoreApplication> makeWindowApplication(int& argc, char** argv);
// The console window, widget message boxes, the system clipboard, the
// desktop's link opener, Shift as the abort key and the graphical window.
Face makeWindowFace();

}  // namespace rootix::app
