// Rootix's hardware report tool. Started as
//   <folder>cpuz201 -txt=<folder>out
// it writes <folder>out.txt, the text report Rootix reads its hardware
// summary from.

#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "atomic_file.h"
#include "gather.h"
#include "report_format.h"

#ifdef ROOTIX_HWREPORT_HAVE_LIBCPUID
#include <libcpuid/libcpuid.h>
#endif

namespace {

constexpr std::string_view kUsage =
    "usage: rootix-hwreport [--root=DIR] [-txt=NAME]\n"
    "  -txt=NAME     write the report to NAME.txt; everything after \"-txt=\",\n"
    "                later arguments included, is the name\n"
    "  --root=DIR    describe the machine recorded below DIR (proc/, sys/ and an\n"
    "                optional cpuid.raw) instead of this one\n"
    "  --dump-cpuid=FILE  record this processor's CPUID data for such a tree\n"
    "Without -txt= the report goes to standard output.\n";

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && strncasecmp(text.data(), prefix.data(), prefix.size()) == 0;
}

int dumpCpuid(const std::string& file) {
#ifdef ROOTIX_HWREPORT_HAVE_LIBCPUID
  cpu_raw_data_t raw{};
  if (cpuid_get_raw_data(&raw) == 0 && cpuid_serialize_raw_data(&raw, file.c_str()) == 0) return 0;
  std::fprintf(stderr, "rootix-hwreport: cannot record CPUID data: %s\n", cpuid_error());
#else
  std::fprintf(stderr, "rootix-hwreport: built without libcpuid, cannot record %s\n", file.c_str());
#endif
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  std::string root = "/";
  std::string output;
  bool toFile = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg(argv[i]);
    if (startsWithNoCase(arg, "-txt=")) {
      // The caller does not quote the name, so a folder with spaces arrives
      // split over several arguments: join them again.
      output = std::string(arg.substr(5));
      for (++i; i < argc; ++i) (output += ' ') += argv[i];
      toFile = true;
    } else if (arg.starts_with("--root=")) {
      root = std::string(arg.substr(7));
    } else if (arg.starts_with("--dump-cpuid=")) {
      return dumpCpuid(std::string(arg.substr(13)));
    } else if (arg == "--help" || arg == "-h") {
      std::fputs(kUsage.data(), stdout);
      return 0;
    } else {
      std::fprintf(stderr, "rootix-hwreport: unknown argument \"%s\"\n%s", argv[i], kUsage.data());
      return 2;
    }
  }
  if (toFile && output.empty()) {
    std::fprintf(stderr, "rootix-hwreport: -txt= needs a file name\n");
    return 2;
  }

  const rootix::hwreport::SystemTree tree(root);
  const std::string report = rootix::hwreport::formatReport(rootix::hwreport::gatherFacts(tree));
  if (!toFile) {
    return std::fwrite(report.data(), 1, report.size(), stdout) == report.size() ? 0 : 1;
  }
  const std::string error = rootix::hwreport::writeFileAtomically(output + ".txt", report);
  if (!error.empty()) {
    std::fprintf(stderr, "rootix-hwreport: %s\n", error.c_str());
    return 1;
  }
  return 0;
}
