#include "gui/language.h"

#include <array>
#include <string_view>
#include <utility>

namespace rootix::gui {
namespace {

using Row = std::pair<std::u16string_view, std::u16string_view>;

// clang-format off
constexpr std::array<Row, 72> kRows{{
    {u"language-id", u"English"},
    {u"welcome-title", u"Welcome"},
    {u"welcome-msg", u"Welcome to Rootix version 2. To begin, select a test from the left. 32M is a fast test "
                     u"suitable for testing basic performance. 1024M is a long test suitable for testing stable "
                     u"performance."},
    {u"loading", u"Loading"},
    {u"loading1", u"Rootix is obtaining your hardware information with its own report tool.\r\n"
                  u" If you want to cancel the hardware scan, hold shift."},
    {u"hardware-information", u"Hardware Information"},
    {u"scores", u"Scores"},
    {u"noscores", u"You have not made any scores yet."},
    {u"save", u"Save Score"},
    {u"save-info", u"Enter the path you wish to write the score file to. To load it in future, click Load Score "
                   u"in the View Scores page."},
    {u"load", u"Load Score"},
    {u"load-info", u"Enter the path of the saved score that you wish to load.."},
    {u"set-thread", u"Set Thread Count"},
    {u"thread-count", u"Thread Count:"},
    {u"thread-info", u"You can manually adjust the number of threads Rootix will use. Ideally in an SMP system "
                     u"this value should be a multiple of the number of physical threads. You can set any value "
                     u"from 1 and 4096."},
    {u"score-info-upload", u"Upload Score"},
    {u"score-info-save", u"Save Score"},
    {u"score-info-delete", u"Delete Score"},

    {u"button-0", u"Run 32M"},
    {u"button-1", u"Run 1024M"},
    {u"button-2", u"Hardware Info"},
    {u"button-3", u"OK"},
    {u"button-4", u"View Scores"},
    {u"button-5", u"OK"},
    {u"button-6", u"Load Score"},
    {u"button-7", u"OK"},
    {u"button-8", u"Save"},
    {u"button-9", u"Cancel"},
    {u"button-10", u"Exit"},
    {u"button-11", u"Cancel"},
    {u"button-12", u"Load"},
    {u"button-13", u"Browse"},
    {u"button-14", u"Browse"},
    {u"button-15", u"Set Thread Count"},
    {u"button-16", u"OK"},
    {u"button-17", u"Cancel"},

    {u"button-0-tooltip", u"Calculates the square roots of the first 32 million integers across all available "
                          u"processors."},
    {u"button-1-tooltip", u"Calculates the square roots of the first 1024 million integers across all available "
                          u"processors."},
    {u"button-2-tooltip", u"Shows a summary of this system's hardware."},
    {u"button-3-tooltip", u"If the hardware information you saw was inaccurate, let us know, at "
                          u"support@rootix.example.org"},
    {u"button-4-tooltip", u"Shows all scores achieved during this session."},
    {u"button-10-tooltip", u"Exits Rootix."},
    {u"button-15-tooltip", u"Adjust the number of threads Rootix will run using."},

    {u"hardwareinfo-0", u"CPU Spec:"},
    {u"hardwareinfo-1", u"CPU Core:"},
    {u"hardwareinfo-2", u"CPU Revision:"},
    {u"hardwareinfo-3", u"CPU Clock:"},
    {u"hardwareinfo-4", u"CPU Cache:"},
    {u"hardwareinfo-5", u"CPU FSB:"},
    {u"hardwareinfo-6", u"CPU VCore:"},
    {u"hardwareinfo-7", u"Memory Type:"},
    {u"hardwareinfo-8", u"Memory Size:"},
    {u"hardwareinfo-9", u"Memory Clock:"},
    {u"hardwareinfo-10", u"Memory Timings:"},
    {u"hardwareinfo-11", u"Motherboard Model:"},
    {u"hardwareinfo-12", u"Motherboard Vendor:"},

    {u"error-nohw-save", u"Sorry but you cannot save a score which has no associated hardware."},
    {u"error-nohw-upload", u"Sorry but you cannot upload a score which has no associated hardware."},
    {u"error-save", u"Sorry unable to write there, please enter another path."},
    {u"error-load--4", u"Cannot load files created by beta versions."},
    {u"error-load--2", u"File supplied an invalid checksum."},
    {u"error-load--1", u"File is not a supported Rootix score file."},
    {u"error-load-53", u"File does not exist."},
    {u"error-load-70", u"Unable to open file."},
    {u"error-load-76", u"Unable to open file."},
    {u"error-threadcount", u"Thread count must be from 1 to 4096."},
    {u"error-threadcount1", u"Thread count must be numeric."},

    {u"upload-info", u"Welcome to the Rootix on-line sumission form, to submit your score to our server, please "
                     u"enter a title, description and an optional link (to your buildlog, forum, etc) for your "
                     u"score then click upload. Please note that by clicking Upload, information about your CPU, "
                     u"motherboard and memory configuration will be stored on the Rootix server."},
    {u"upload", u"Upload"},
    {u"title", u"Title:"},
    {u"link", u"Link:"},
    {u"description", u"Description:"},
}};
// clang-format on

// The tool tip must end in the one support address there is.
static_assert(kRows[39].second.ends_with(kSupportAddress));

}  // namespace

QString getText(QStringView key) {
  for (const auto& [k, text] : kRows) {
    if (key == QStringView(k)) return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
  }
  return {};
}

}  // namespace rootix::gui
