#include "hardware/codenames.h"

#include <algorithm>
#include <span>
#include <utility>

namespace rootix::hardware {
namespace {

// The newest instruction-set extension a generation can report.
enum Level : int { kBase = 0, kSse42 = 1, kAvx = 2, kAvx2 = 3, kAvx512 = 4, kAmx = 5 };

struct Entry {
  int family;
  int firstModel, lastModel;
  int firstStepping, lastStepping;
  // Processor-number pattern that must occur in the brand text ('#' stands
  // for any digit); empty for any brand. The first matching entry wins, so
  // a model's patterned entries come before its fallback.
  std::string_view brand;
  std::string_view name;
  int level;
};

constexpr int kAny = 0xF;

// Intel family 6, 2008 to 2026. Names are those of the die or platform the
// model number stands for; where one model number covers several of those
// (early Atom and Nehalem parts), the microarchitecture's.
constexpr Entry kIntel[] = {
    {6, 0x17, 0x17, 0, kAny, {}, "Penryn", kBase},
    {6, 0x1D, 0x1D, 0, kAny, {}, "Dunnington", kBase},
    {6, 0x1C, 0x1C, 0, kAny, {}, "Bonnell", kBase},
    {6, 0x26, 0x26, 0, kAny, {}, "Bonnell", kBase},
    {6, 0x27, 0x27, 0, kAny, {}, "Penwell", kBase},
    {6, 0x35, 0x35, 0, kAny, {}, "Cloverview", kBase},
    {6, 0x36, 0x36, 0, kAny, {}, "Cedarview", kBase},
    {6, 0x1A, 0x1A, 0, kAny, {}, "Nehalem", kSse42},
    {6, 0x1E, 0x1F, 0, kAny, {}, "Nehalem", kSse42},
    {6, 0x2E, 0x2E, 0, kAny, {}, "Nehalem-EX", kSse42},
    {6, 0x25, 0x25, 0, kAny, {}, "Westmere", kSse42},
    {6, 0x2C, 0x2C, 0, kAny, {}, "Westmere", kSse42},
    {6, 0x2F, 0x2F, 0, kAny, {}, "Westmere-EX", kSse42},
    {6, 0x2A, 0x2A, 0, kAny, {}, "Sandy Bridge", kAvx},
    {6, 0x2D, 0x2D, 0, kAny, "Core", "Sandy Bridge-E", kAvx},
    {6, 0x2D, 0x2D, 0, kAny, "Xeon", "Sandy Bridge-EP", kAvx},
    {6, 0x2D, 0x2D, 0, kAny, {}, "Sandy Bridge", kAvx},
    {6, 0x3A, 0x3A, 0, kAny, {}, "Ivy Bridge", kAvx},
    {6, 0x3E, 0x3E, 0, kAny, "Core", "Ivy Bridge-E", kAvx},
    {6, 0x3E, 0x3E, 0, kAny, " E7-", "Ivy Bridge-EX", kAvx},
    {6, 0x3E, 0x3E, 0, kAny, "Xeon", "Ivy Bridge-EP", kAvx},
    {6, 0x3E, 0x3E, 0, kAny, {}, "Ivy Bridge", kAvx},
    {6, 0x3C, 0x3C, 0, kAny, {}, "Haswell", kAvx2},
    {6, 0x45, 0x46, 0, kAny, {}, "Haswell", kAvx2},
    {6, 0x3F, 0x3F, 0, kAny, "Core", "Haswell-E", kAvx2},
    {6, 0x3F, 0x3F, 0, kAny, " E7-", "Haswell-EX", kAvx2},
    {6, 0x3F, 0x3F, 0, kAny, "Xeon", "Haswell-EP", kAvx2},
    {6, 0x3F, 0x3F, 0, kAny, {}, "Haswell", kAvx2},
    {6, 0x3D, 0x3D, 0, kAny, {}, "Broadwell", kAvx2},
    {6, 0x47, 0x47, 0, kAny, {}, "Broadwell", kAvx2},
    {6, 0x4F, 0x4F, 0, kAny, "Core", "Broadwell-E", kAvx2},
    {6, 0x4F, 0x4F, 0, kAny, " E7-", "Broadwell-EX", kAvx2},
    {6, 0x4F, 0x4F, 0, kAny, "Xeon", "Broadwell-EP", kAvx2},
    {6, 0x4F, 0x4F, 0, kAny, {}, "Broadwell", kAvx2},
    {6, 0x56, 0x56, 0, kAny, {}, "Broadwell-DE", kAvx2},
    {6, 0x4E, 0x4E, 0, kAny, {}, "Skylake", kAvx2},
    {6, 0x5E, 0x5E, 0, kAny, {}, "Skylake", kAvx2},
    // One model number for three server generations, told apart by stepping.
    {6, 0x55, 0x55, 0, 4, "Core", "Skylake-X", kAvx512},
    {6, 0x55, 0x55, 0, 4, "Xeon(R) W-", "Skylake-W", kAvx512},
    {6, 0x55, 0x55, 0, 4, "Xeon", "Skylake-SP", kAvx512},
    {6, 0x55, 0x55, 0, 4, {}, "Skylake", kAvx512},
    {6, 0x55, 0x55, 5, 7, "Core", "Cascade Lake-X", kAvx512},
    {6, 0x55, 0x55, 5, 7, "Xeon(R) W-", "Cascade Lake-W", kAvx512},
    {6, 0x55, 0x55, 5, 7, "Xeon", "Cascade Lake-SP", kAvx512},
    {6, 0x55, 0x55, 5, 7, {}, "Cascade Lake", kAvx512},
    {6, 0x55, 0x55, 10, 11, {}, "Cooper Lake", kAvx512},
    // Mobile 0x8E: one stepping may carry two generations, which only the
    // processor number separates; without one the codename stays empty.
    {6, 0x8E, 0x8E, 9, 9, "-7###", "Kaby Lake", kAvx2},
    {6, 0x8E, 0x8E, 9, 9, "-7Y##", "Kaby Lake", kAvx2},
    {6, 0x8E, 0x8E, 9, 9, "-8###Y", "Amber Lake", kAvx2},
    {6, 0x8E, 0x8E, 10, 10, "-8##9U", "Coffee Lake", kAvx2},
    {6, 0x8E, 0x8E, 10, 10, "-8###U", "Kaby Lake R", kAvx2},
    {6, 0x8E, 0x8E, 11, 11, {}, "Whiskey Lake", kAvx2},
    {6, 0x8E, 0x8E, 12, 12, "-8###U", "Whiskey Lake", kAvx2},
    {6, 0x8E, 0x8E, 12, 12, "-10###U", "Comet Lake", kAvx2},
    {6, 0x9E, 0x9E, 9, 9, {}, "Kaby Lake", kAvx2},
    {6, 0x9E, 0x9E, 10, 13, {}, "Coffee Lake", kAvx2},
    {6, 0x66, 0x66, 0, kAny, {}, "Cannon Lake", kAvx512},
    {6, 0x7D, 0x7E, 0, kAny, {}, "Ice Lake", kAvx512},
    {6, 0x6A, 0x6A, 0, kAny, {}, "Ice Lake-SP", kAvx512},
    {6, 0x6C, 0x6C, 0, kAny, {}, "Ice Lake-D", kAvx512},
    {6, 0xA5, 0xA6, 0, kAny, {}, "Comet Lake", kAvx2},
    {6, 0xA7, 0xA7, 0, kAny, {}, "Rocket Lake", kAvx512},
    {6, 0x8C, 0x8D, 0, kAny, {}, "Tiger Lake", kAvx512},
    {6, 0x8A, 0x8A, 0, kAny, {}, "Lakefield", kAvx2},
    // Early Alder Lake boards could switch the efficient cores off and
    // AVX-512 on; Raptor Lake has it fused off.
    {6, 0x97, 0x97, 0, kAny, {}, "Alder Lake", kAvx512},
    {6, 0x9A, 0x9A, 0, kAny, {}, "Alder Lake", kAvx512},
    {6, 0xB7, 0xB7, 0, kAny, {}, "Raptor Lake", kAvx2},
    {6, 0xBA, 0xBA, 0, kAny, {}, "Raptor Lake", kAvx2},
    {6, 0xBF, 0xBF, 0, kAny, {}, "Raptor Lake", kAvx2},
    {6, 0xAA, 0xAA, 0, kAny, {}, "Meteor Lake", kAvx2},
    {6, 0xAC, 0xAC, 0, kAny, {}, "Meteor Lake", kAvx2},
    {6, 0xB5, 0xB5, 0, kAny, {}, "Arrow Lake", kAvx2},
    {6, 0xC5, 0xC6, 0, kAny, {}, "Arrow Lake", kAvx2},
    {6, 0xBD, 0xBD, 0, kAny, {}, "Lunar Lake", kAvx2},
    {6, 0xCC, 0xCC, 0, kAny, {}, "Panther Lake", kAvx2},
    {6, 0xD5, 0xD5, 0, kAny, {}, "Wildcat Lake", kAvx2},
    {6, 0x8F, 0x8F, 0, kAny, {}, "Sapphire Rapids", kAmx},
    {6, 0xCF, 0xCF, 0, kAny, {}, "Emerald Rapids", kAmx},
    {6, 0xAD, 0xAD, 0, kAny, {}, "Granite Rapids", kAmx},
    {6, 0xAE, 0xAE, 0, kAny, {}, "Granite Rapids-D", kAmx},
    // Low-power cores.
    {6, 0x37, 0x37, 0, kAny, {}, "Bay Trail", kSse42},
    {6, 0x4A, 0x4A, 0, kAny, {}, "Merrifield", kSse42},
    {6, 0x5A, 0x5A, 0, kAny, {}, "Moorefield", kSse42},
    {6, 0x4D, 0x4D, 0, kAny, "C2#58", "Rangeley", kSse42},
    {6, 0x4D, 0x4D, 0, kAny, "Atom", "Avoton", kSse42},
    {6, 0x4C, 0x4C, 0, kAny, "Atom", "Cherry Trail", kSse42},
    {6, 0x4C, 0x4C, 0, kAny, "Celeron", "Braswell", kSse42},
    {6, 0x4C, 0x4C, 0, kAny, "Pentium", "Braswell", kSse42},
    {6, 0x5C, 0x5C, 0, kAny, {}, "Apollo Lake", kSse42},
    {6, 0x5F, 0x5F, 0, kAny, {}, "Denverton", kSse42},
    {6, 0x7A, 0x7A, 0, kAny, {}, "Gemini Lake", kSse42},
    {6, 0x96, 0x96, 0, kAny, {}, "Elkhart Lake", kSse42},
    {6, 0x9C, 0x9C, 0, kAny, {}, "Jasper Lake", kSse42},
    // The embedded Atom parts of this die are named apart: no name for them.
    {6, 0xBE, 0xBE, 0, kAny, "Atom", "", kAvx2},
    {6, 0xBE, 0xBE, 0, kAny, "N#50", "Twin Lake", kAvx2},
    {6, 0xBE, 0xBE, 0, kAny, "N#55", "Twin Lake", kAvx2},
    {6, 0xBE, 0xBE, 0, kAny, {}, "Alder Lake-N", kAvx2},
    {6, 0xAF, 0xAF, 0, kAny, {}, "Sierra Forest", kAvx2},
    {6, 0xB6, 0xB6, 0, kAny, {}, "Grand Ridge", kAvx2},
    {6, 0xDD, 0xDD, 0, kAny, {}, "Clearwater Forest", kAvx2},
    {6, 0x57, 0x57, 0, kAny, {}, "Knights Landing", kAvx512},
    {6, 0x85, 0x85, 0, kAny, {}, "Knights Mill", kAvx512},
};

// AMD families 17h (Zen, Zen+, Zen 2), 19h (Zen 3, Zen 4) and 1Ah (Zen 5).
// Where server, workstation and desktop parts share a die, the product line
// in the brand text decides.
constexpr Entry kAmd[] = {
    {0x17, 0x01, 0x01, 0, kAny, "EPYC", "Naples", kAvx2},
    {0x17, 0x01, 0x01, 0, kAny, "Threadripper", "Whitehaven", kAvx2},
    {0x17, 0x01, 0x01, 0, kAny, "Ryzen", "Summit Ridge", kAvx2},
    {0x17, 0x08, 0x08, 0, kAny, "Threadripper", "Colfax", kAvx2},
    {0x17, 0x08, 0x08, 0, kAny, {}, "Pinnacle Ridge", kAvx2},
    {0x17, 0x11, 0x11, 0, kAny, {}, "Raven Ridge", kAvx2},
    {0x17, 0x18, 0x18, 0, kAny, {}, "Picasso", kAvx2},
    {0x17, 0x20, 0x20, 0, kAny, {}, "Dali", kAvx2},
    {0x17, 0x31, 0x31, 0, kAny, "Threadripper", "Castle Peak", kAvx2},
    {0x17, 0x31, 0x31, 0, kAny, "EPYC", "Rome", kAvx2},
    {0x17, 0x60, 0x60, 0, kAny, {}, "Renoir", kAvx2},
    {0x17, 0x68, 0x68, 0, kAny, {}, "Lucienne", kAvx2},
    {0x17, 0x71, 0x71, 0, kAny, {}, "Matisse", kAvx2},
    {0x17, 0x90, 0x90, 0, kAny, {}, "Van Gogh", kAvx2},
    {0x17, 0xA0, 0xA0, 0, kAny, {}, "Mendocino", kAvx2},
    {0x19, 0x00, 0x01, 0, kAny, {}, "Milan", kAvx2},
    {0x19, 0x08, 0x08, 0, kAny, {}, "Chagall", kAvx2},
    {0x19, 0x11, 0x11, 0, kAny, {}, "Genoa", kAvx512},
    {0x19, 0x18, 0x18, 0, kAny, {}, "Storm Peak", kAvx512},
    {0x19, 0x20, 0x21, 0, kAny, {}, "Vermeer", kAvx2},
    {0x19, 0x40, 0x40, 0, kAny, {}, "Rembrandt", kAvx2},
    {0x19, 0x44, 0x44, 0, kAny, {}, "Rembrandt", kAvx2},
    {0x19, 0x50, 0x50, 0, kAny, " 5#25U", "Barcelo", kAvx2},
    {0x19, 0x50, 0x50, 0, kAny, {}, "Cezanne", kAvx2},
    {0x19, 0x61, 0x61, 0, kAny, "HX", "Dragon Range", kAvx512},
    {0x19, 0x61, 0x61, 0, kAny, {}, "Raphael", kAvx512},
    {0x19, 0x74, 0x74, 0, kAny, {}, "Phoenix", kAvx512},
    // Hawk Point is Phoenix silicon sold again as the 8040 and 200 series.
    {0x19, 0x75, 0x75, 0, kAny, " 8#4#", "Hawk Point", kAvx512},
    {0x19, 0x75, 0x75, 0, kAny, "Ryzen # 2#0", "Hawk Point", kAvx512},
    {0x19, 0x75, 0x75, 0, kAny, {}, "Phoenix", kAvx512},
    {0x19, 0x78, 0x78, 0, kAny, {}, "Phoenix 2", kAvx512},
    {0x19, 0xA0, 0xA0, 0, kAny, "EPYC 97", "Bergamo", kAvx512},
    {0x19, 0xA0, 0xA0, 0, kAny, "EPYC 8", "Siena", kAvx512},
    {0x1A, 0x02, 0x02, 0, kAny, {}, "Turin", kAvx512},
    {0x1A, 0x08, 0x08, 0, kAny, {}, "Shimada Peak", kAvx512},
    {0x1A, 0x11, 0x11, 0, kAny, {}, "Turin Dense", kAvx512},
    {0x1A, 0x20, 0x20, 0, kAny, {}, "Strix Point", kAvx512},
    {0x1A, 0x24, 0x24, 0, kAny, {}, "Strix Point", kAvx512},
    {0x1A, 0x44, 0x44, 0, kAny, "HX", "Fire Range", kAvx512},
    {0x1A, 0x44, 0x44, 0, kAny, {}, "Granite Ridge", kAvx512},
    {0x1A, 0x60, 0x60, 0, kAny, {}, "Krackan Point", kAvx512},
    {0x1A, 0x70, 0x70, 0, kAny, {}, "Strix Halo", kAvx512},
};

bool brandHas(std::string_view brand, std::string_view pattern) {
  const auto same = [](char c, char p) { return p == '#' ? c >= '0' && c <= '9' : c == p; };
  return std::search(brand.begin(), brand.end(), pattern.begin(), pattern.end(), same) != brand.end() ||
         pattern.empty();
}

int levelOf(std::uint32_t features) {
  if (features & kCpuAmxTile) return kAmx;
  if (features & kCpuAvx512F) return kAvx512;
  if (features & kCpuAvx2) return kAvx2;
  if (features & kCpuAvx) return kAvx;
  if (features & kCpuSse42) return kSse42;
  return kBase;
}

std::span<const Entry> tableFor(std::string_view vendor) {
  if (vendor == "GenuineIntel") return kIntel;
  if (vendor == "AuthenticAMD") return kAmd;
  return {};
}

}  // namespace

std::string codenameOf(const CpuSignature& cpu) {
  for (const Entry& e : tableFor(cpu.vendor)) {
    if (e.family != cpu.family || cpu.model < e.firstModel || cpu.model > e.lastModel) continue;
    if (cpu.stepping < e.firstStepping || cpu.stepping > e.lastStepping) continue;
    if (!brandHas(cpu.brand, e.brand)) continue;
    // A feature newer than the generation: the model number is not the
    // processor's own (a hypervisor's choice), so no name at all.
    if (levelOf(cpu.features) > e.level) return {};
    return std::string(e.name);
  }
  return {};
}

std::uint32_t cpuFeaturesFromFlags(std::string_view flags) {
  static constexpr std::pair<std::string_view, CpuFeature> kFlags[] = {
      {"sse4_2", kCpuSse42}, {"avx", kCpuAvx}, {"avx2", kCpuAvx2}, {"avx512f", kCpuAvx512F}, {"amx_tile", kCpuAmxTile},
  };
  std::uint32_t features = 0;
  while (!flags.empty()) {
    const auto start = flags.find_first_not_of(" \t");
    if (start == std::string_view::npos) break;
    flags.remove_prefix(start);
    const auto end = std::min(flags.find_first_of(" \t"), flags.size());
    const std::string_view word = flags.substr(0, end);
    for (const auto& [name, bit] : kFlags) {
      if (word == name) features |= bit;
    }
    flags.remove_prefix(end);
  }
  return features;
}

}  // namespace rootix::hardware
