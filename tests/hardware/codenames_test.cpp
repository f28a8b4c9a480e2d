// The codename table: known processors by their signature, unknown ones and
// hypervisor-made contradictions give nothing.

#include "hardware/codenames.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace rootix::hardware {
namespace {

constexpr std::uint32_t kUpToAvx = kCpuSse42 | kCpuAvx;
constexpr std::uint32_t kUpToAvx2 = kUpToAvx | kCpuAvx2;
constexpr std::uint32_t kUpToAvx512 = kUpToAvx2 | kCpuAvx512F;
constexpr std::uint32_t kUpToAmx = kUpToAvx512 | kCpuAmxTile;

struct CodenameCase {
  const char* what;
  CpuSignature cpu;
  const char* expected;
};

void PrintTo(const CodenameCase& c, std::ostream* out) { *out << c.what; }

CpuSignature intel(int model, int stepping, std::uint32_t features, const char* brand = "") {
  return {"GenuineIntel", 6, model, stepping, features, brand};
}

CpuSignature amd(int family, int model, int stepping, std::uint32_t features, const char* brand = "") {
  return {"AuthenticAMD", family, model, stepping, features, brand};
}

const CodenameCase kCases[] = {
    // Intel, one generation per model number.
    {"Penryn", intel(0x17, 10, 0, "Intel(R) Core(TM)2 Duo CPU     E8400  @ 3.00GHz"), "Penryn"},
    {"Nehalem", intel(0x1A, 5, kCpuSse42, "Intel(R) Core(TM) i7 CPU         920  @ 2.67GHz"), "Nehalem"},
    {"SandyBridge", intel(0x2A, 7, kUpToAvx, "Intel(R) Core(TM) i7-2600K CPU @ 3.40GHz"), "Sandy Bridge"},
    {"Skylake", intel(0x5E, 3, kUpToAvx2, "Intel(R) Core(TM) i7-6700K CPU @ 4.00GHz"), "Skylake"},
    {"CometLakeDesktop", intel(0xA5, 5, kUpToAvx2, "Intel(R) Core(TM) i9-10900K CPU @ 3.70GHz"), "Comet Lake"},
    {"TigerLake", intel(0x8C, 1, kUpToAvx512, "11th Gen Intel(R) Core(TM) i7-1165G7 @ 2.80GHz"), "Tiger Lake"},
    {"AlderLakeHybrid", intel(0x97, 2, kUpToAvx2, "12th Gen Intel(R) Core(TM) i9-12900K"), "Alder Lake"},
    {"AlderLakeWithAvx512Enabled", intel(0x97, 2, kUpToAvx512, "12th Gen Intel(R) Core(TM) i9-12900K"), "Alder Lake"},
    {"RaptorLakeHybrid", intel(0xB7, 1, kUpToAvx2, "13th Gen Intel(R) Core(TM) i7-13700K"), "Raptor Lake"},
    {"RaptorLakeRefresh", intel(0xBF, 2, kUpToAvx2, "14th Gen Intel(R) Core(TM) i5-14400"), "Raptor Lake"},
    {"MeteorLake", intel(0xAA, 4, kUpToAvx2, "Intel(R) Core(TM) Ultra 7 155H"), "Meteor Lake"},
    {"SapphireRapids", intel(0x8F, 8, kUpToAmx, "Intel(R) Xeon(R) Platinum 8480+"), "Sapphire Rapids"},
    // Under KVM: the host's model, AMX hidden, a generic name.
    {"EmeraldRapidsUnderKvm", intel(0xCF, 2, kUpToAvx512, "Intel(R) Xeon(R) Processor"), "Emerald Rapids"},
    {"GraniteRapids", intel(0xAD, 1, kUpToAmx, "Intel(R) Xeon(R) 6972P"), "Granite Rapids"},
    {"AlderLakeN", intel(0xBE, 0, kUpToAvx2, "Intel(R) N100"), "Alder Lake-N"},
    {"TwinLake", intel(0xBE, 0, kUpToAvx2, "Intel(R) N150"), "Twin Lake"},
    {"GracemontAtomUnnamed", intel(0xBE, 0, kUpToAvx2, "Intel(R) Atom(TM) x7425E"), ""},
    {"Braswell", intel(0x4C, 3, kCpuSse42, "Intel(R) Celeron(R) CPU  N3050  @ 1.60GHz"), "Braswell"},
    {"CherryTrail", intel(0x4C, 4, kCpuSse42, "Intel(R) Atom(TM) x5-Z8350  CPU @ 1.44GHz"), "Cherry Trail"},
    {"AirmontOtherBrand", intel(0x4C, 4, kCpuSse42, "QEMU Virtual CPU version 2.5+"), ""},
    {"Rangeley", intel(0x4D, 8, kCpuSse42, "Intel(R) Atom(TM) CPU  C2758  @ 2.40GHz"), "Rangeley"},
    {"Avoton", intel(0x4D, 8, kCpuSse42, "Intel(R) Atom(TM) CPU  C2750  @ 2.40GHz"), "Avoton"},
    {"AtomBayTrail", intel(0x37, 8, kCpuSse42, "Intel(R) Atom(TM) CPU  Z3735F @ 1.33GHz"), "Bay Trail"},
    // Server dies sold as desktop, workstation and server parts.
    {"HaswellEp", intel(0x3F, 2, kUpToAvx2, "Intel(R) Xeon(R) CPU E5-2699 v3 @ 2.30GHz"), "Haswell-EP"},
    {"HaswellEx", intel(0x3F, 4, kUpToAvx2, "Intel(R) Xeon(R) CPU E7-8890 v3 @ 2.50GHz"), "Haswell-EX"},
    {"HaswellE", intel(0x3F, 2, kUpToAvx2, "Intel(R) Core(TM) i7-5960X CPU @ 3.00GHz"), "Haswell-E"},
    {"HaswellServerDieWithoutBrand", intel(0x3F, 2, kUpToAvx2), "Haswell"},
    // Model 0x55 by stepping.
    {"SkylakeSp", intel(0x55, 4, kUpToAvx512, "Intel(R) Xeon(R) Gold 6148 CPU @ 2.40GHz"), "Skylake-SP"},
    {"SkylakeX", intel(0x55, 4, kUpToAvx512, "Intel(R) Core(TM) i9-7900X CPU @ 3.30GHz"), "Skylake-X"},
    {"CascadeLakeSp", intel(0x55, 7, kUpToAvx512, "Intel(R) Xeon(R) Platinum 8280 CPU @ 2.70GHz"), "Cascade Lake-SP"},
    {"CascadeLakeW", intel(0x55, 7, kUpToAvx512, "Intel(R) Xeon(R) W-2295 CPU @ 3.00GHz"), "Cascade Lake-W"},
    {"CooperLake", intel(0x55, 11, kUpToAvx512, "Intel(R) Xeon(R) Platinum 8380H CPU @ 2.90GHz"), "Cooper Lake"},
    {"Model55UnknownStepping", intel(0x55, 8, kUpToAvx512, "Intel(R) Xeon(R) Gold 6148 CPU @ 2.40GHz"), ""},
    // Models 0x8E and 0x9E by stepping, and by processor number where a
    // stepping carries two generations.
    {"KabyLakeDesktop", intel(0x9E, 9, kUpToAvx2, "Intel(R) Core(TM) i3-7100 CPU @ 3.90GHz"), "Kaby Lake"},
    {"CoffeeLakeRefresh", intel(0x9E, 13, kUpToAvx2, "Intel(R) Core(TM) i9-9900K CPU @ 3.60GHz"), "Coffee Lake"},
    {"Model9EUnknownStepping", intel(0x9E, 8, kUpToAvx2), ""},
    {"KabyLakeU", intel(0x8E, 9, kUpToAvx2, "Intel(R) Core(TM) i7-7500U CPU @ 2.70GHz"), "Kaby Lake"},
    {"KabyLakeY", intel(0x8E, 9, kUpToAvx2, "Intel(R) Core(TM) m3-7Y30 CPU @ 1.00GHz"), "Kaby Lake"},
    {"AmberLake", intel(0x8E, 9, kUpToAvx2, "Intel(R) Core(TM) i5-8200Y CPU @ 1.30GHz"), "Amber Lake"},
    {"KabyLakeR", intel(0x8E, 10, kUpToAvx2, "Intel(R) Core(TM) i5-8250U CPU @ 1.60GHz"), "Kaby Lake R"},
    {"CoffeeLakeU", intel(0x8E, 10, kUpToAvx2, "Intel(R) Core(TM) i7-8559U CPU @ 2.70GHz"), "Coffee Lake"},
    {"WhiskeyLakeW0", intel(0x8E, 11, kUpToAvx2, "Intel(R) Core(TM) i7-8565U CPU @ 1.80GHz"), "Whiskey Lake"},
    {"WhiskeyLakeV0", intel(0x8E, 12, kUpToAvx2, "Intel(R) Core(TM) i5-8365U CPU @ 1.60GHz"), "Whiskey Lake"},
    {"CometLakeU", intel(0x8E, 12, kUpToAvx2, "Intel(R) Core(TM) i7-10510U CPU @ 1.80GHz"), "Comet Lake"},
    {"Model8ESharedSteppingWithoutNumber", intel(0x8E, 12, kUpToAvx2, "Intel(R) Core(TM) CPU"), ""},
    // 10th generation Y parts of this stepping are Amber Lake or Comet Lake.
    {"Model8ETenthGenerationY", intel(0x8E, 12, kUpToAvx2, "Intel(R) Core(TM) i5-10210Y CPU @ 1.00GHz"), ""},
    // AMD by family and model.
    {"Naples", amd(0x17, 0x01, 2, kUpToAvx2, "AMD EPYC 7601 32-Core Processor"), "Naples"},
    {"SummitRidge", amd(0x17, 0x01, 1, kUpToAvx2, "AMD Ryzen 7 1800X Eight-Core Processor"), "Summit Ridge"},
    {"ZenDieWithoutProductLine", amd(0x17, 0x01, 1, kUpToAvx2), ""},
    {"PinnacleRidge", amd(0x17, 0x08, 2, kUpToAvx2, "AMD Ryzen 7 2700X Eight-Core Processor"), "Pinnacle Ridge"},
    {"Rome", amd(0x17, 0x31, 0, kUpToAvx2, "AMD EPYC 7742 64-Core Processor"), "Rome"},
    {"CastlePeak", amd(0x17, 0x31, 0, kUpToAvx2, "AMD Ryzen Threadripper 3970X 32-Core Processor"), "Castle Peak"},
    {"Matisse", amd(0x17, 0x71, 0, kUpToAvx2, "AMD Ryzen 9 3900X 12-Core Processor"), "Matisse"},
    {"Renoir", amd(0x17, 0x60, 1, kUpToAvx2, "AMD Ryzen 7 4800U with Radeon Graphics"), "Renoir"},
    {"Milan", amd(0x19, 0x01, 1, kUpToAvx2, "AMD EPYC 7763 64-Core Processor"), "Milan"},
    {"Vermeer", amd(0x19, 0x21, 2, kUpToAvx2, "AMD Ryzen 7 5800X3D 8-Core Processor"), "Vermeer"},
    {"Cezanne", amd(0x19, 0x50, 0, kUpToAvx2, "AMD Ryzen 7 5800U with Radeon Graphics"), "Cezanne"},
    {"Barcelo", amd(0x19, 0x50, 0, kUpToAvx2, "AMD Ryzen 5 5625U with Radeon Graphics"), "Barcelo"},
    {"Genoa", amd(0x19, 0x11, 1, kUpToAvx512, "AMD EPYC 9654 96-Core Processor"), "Genoa"},
    {"Raphael", amd(0x19, 0x61, 2, kUpToAvx512, "AMD Ryzen 9 7950X 16-Core Processor"), "Raphael"},
    {"DragonRange", amd(0x19, 0x61, 2, kUpToAvx512, "AMD Ryzen 9 7945HX with Radeon Graphics"), "Dragon Range"},
    {"Phoenix", amd(0x19, 0x74, 1, kUpToAvx512, "AMD Ryzen 7 7840U w/ Radeon  780M Graphics"), "Phoenix"},
    {"HawkPoint", amd(0x19, 0x75, 2, kUpToAvx512, "AMD Ryzen 7 8840U w/ Radeon 780M Graphics"), "Hawk Point"},
    {"HawkPointRenamed", amd(0x19, 0x75, 2, kUpToAvx512, "AMD Ryzen 7 250 w/ Radeon 780M Graphics"), "Hawk Point"},
    {"ShimadaPeak", amd(0x1A, 0x08, 0, kUpToAvx512, "AMD Ryzen Threadripper PRO 9995WX 96-Cores"), "Shimada Peak"},
    {"Turin", amd(0x1A, 0x02, 1, kUpToAvx512, "AMD EPYC 9755 128-Core Processor"), "Turin"},
    {"GraniteRidge", amd(0x1A, 0x44, 0, kUpToAvx512, "AMD Ryzen 9 9950X 16-Core Processor"), "Granite Ridge"},
    {"StrixPoint", amd(0x1A, 0x24, 0, kUpToAvx512, "AMD Ryzen AI 9 HX 370 w/ Radeon 890M"), "Strix Point"},
    // Not in the table: nothing rather than the nearest entry.
    {"IntelUnknownModel", intel(0xFE, 0, kUpToAvx2), ""},
    {"IntelBefore2008", intel(0x0F, 11, 0, "Intel(R) Core(TM)2 CPU          6600  @ 2.40GHz"), ""},
    {"IntelOtherFamily", {"GenuineIntel", 15, 6, 5, 0, "Intel(R) Pentium(R) 4 CPU 3.00GHz"}, ""},
    {"AmdBulldozerFamily", amd(0x15, 0x02, 0, kUpToAvx, "AMD FX-8350 Eight-Core Processor"), ""},
    {"AmdUnknownModel", amd(0x19, 0x30, 0, kUpToAvx2), ""},
    {"AmdNextFamily", amd(0x1B, 0x00, 0, kUpToAvx512), ""},
    {"HygonSameFamilyNumbers", {"HygonGenuine", 0x18, 0x00, 1, kUpToAvx2, "Hygon C86 7185 32-core Processor"}, ""},
    {"NoVendor", {"", 6, 0x97, 2, kUpToAvx2, ""}, ""},
    {"ZeroSignature", {}, ""},
    // A hypervisor's old model number with the host's newer features.
    {"PenrynModelWithAvx512UnderKvm", intel(0x17, 10, kUpToAvx512, "Intel(R) Xeon(R) Gold 6338 CPU @ 2.00GHz"), ""},
    {"PenrynModelWithAvx2", intel(0x17, 10, kUpToAvx2), ""},
    {"SandyBridgeModelWithAvx2", intel(0x2A, 7, kUpToAvx2), ""},
    {"RaptorLakeModelWithAvx512", intel(0xB7, 1, kUpToAvx512), ""},
    {"SkylakeSpModelWithAmx", intel(0x55, 4, kUpToAmx, "Intel(R) Xeon(R) Gold 6148 CPU @ 2.40GHz"), ""},
    {"ZenTwoModelWithAvx512", amd(0x17, 0x71, 0, kUpToAvx512, "AMD Ryzen 9 3900X 12-Core Processor"), ""},
    // Features a hypervisor hides never contradict.
    {"SkylakeSpWithFeaturesHidden", intel(0x55, 4, kCpuSse42, "Intel(R) Xeon(R) Gold 6148 CPU @ 2.40GHz"),
     "Skylake-SP"},
};

class Codename : public ::testing::TestWithParam<CodenameCase> {};

TEST_P(Codename, ComesFromTheTableOrIsEmpty) { EXPECT_EQ(codenameOf(GetParam().cpu), GetParam().expected); }

INSTANTIATE_TEST_SUITE_P(Signatures, Codename, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.what); });

TEST(CpuFeaturesFromFlags, TakesWholeWordsOnly) {
  const struct {
    const char* flags;
    std::uint32_t expected;
  } cases[] = {
      {"", 0},
      {"fpu vme sse4_1 ssse3", 0},
      {"fpu sse4_2 avx avx2", kCpuSse42 | kCpuAvx | kCpuAvx2},
      {"\tavx512f  amx_tile\t", kCpuAvx512F | kCpuAmxTile},
      // Names that start like ours are other extensions.
      {"avx512fp16 avx512_vnni avx_vnni amx_bf16 sse4_2x", 0},
  };
  for (const auto& c : cases) EXPECT_EQ(cpuFeaturesFromFlags(c.flags), c.expected) << '"' << c.flags << '"';
}

}  // namespace
}  // namespace rootix::hardware
