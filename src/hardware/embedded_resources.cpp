#include "hardware/embedded_resources.h"

#include <array>
#include <string_view>

// The report tool's bytes, stripped at build time, are pulled in whole by the
// assembler; ROOTIX_EMBEDDED_TOOL_PATH names the copy in the build folder.
#ifdef ROOTIX_EMBEDDED_TOOL_PATH
asm(".pushsection .rodata.rootix_embedded_tool,\"a\",@progbits\n"
    ".balign 16\n"
    ".globl rootix_embedded_tool_begin\n"
    ".hidden rootix_embedded_tool_begin\n"
    "rootix_embedded_tool_begin:\n"
    ".incbin \"" ROOTIX_EMBEDDED_TOOL_PATH
    "\"\n"
    ".globl rootix_embedded_tool_end\n"
    ".hidden rootix_embedded_tool_end\n"
    "rootix_embedded_tool_end:\n"
    ".popsection\n");

extern "C" {
extern const char rootix_embedded_tool_begin[] __attribute__((visibility("hidden")));
extern const char rootix_embedded_tool_end[] __attribute__((visibility("hidden")));
}
#endif

namespace rootix::hardware {
namespace {

std::optional<QByteArray> reportTool() {
#ifdef ROOTIX_EMBEDDED_TOOL_PATH
  // The bytes live as long as the program: no copy needed.
  return QByteArray::fromRawData(rootix_embedded_tool_begin,
                                 static_cast<qsizetype>(rootix_embedded_tool_end - rootix_embedded_tool_begin));
#else
  return std::nullopt;
#endif
}

// The tool's configuration file: UTF-16 little-endian with a byte-order
// mark, CR LF after every line.
std::optional<QByteArray> toolConfiguration() {
  static constexpr std::array<std::string_view, 21> kLines = {
      "[CPU-Z]",         "VERSION=2.0.1.0", "TextFontSize=0", "TextFontColor=000080",
      "LabelFontSize=0", "ACPI=1",          "PCI=1",          "MaxPCIBus=256",
      "DMI=1",           "Sensor=1",        "SMBus=1",        "Display=1",
      "UseDisplayAPI=1", "BusClock=1",      "Chipset=1",      "SPD=1",
      "XOC=0",           "CheckUpdates=1",  "ValidUsername=", "ValidEmail=",
      "ValidPublish=1"};
  QByteArray bytes("\xFF\xFE", 2);
  for (const std::string_view line : kLines) {
    for (const char c : line) bytes.append(c).append('\0');
    bytes.append("\r\0\n\0", 4);
  }
  return bytes;
}

struct Resource {
  QLatin1StringView name;
  std::optional<QByteArray> (*load)();
};

constexpr Resource kResources[] = {
    {QLatin1StringView("CPUZ201.EXE"), reportTool},
    {QLatin1StringView("CPUZ.INI"), toolConfiguration},
};

}  // namespace

std::optional<QByteArray> loadResource(const QString& name) {
  for (const Resource& resource : kResources) {
    if (name.compare(resource.name, Qt::CaseInsensitive) == 0) return resource.load();
  }
  return std::nullopt;
}

}  // namespace rootix::hardware
