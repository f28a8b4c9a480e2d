#!/usr/bin/env python3
"""Writes desktop-i3/: a made-up but realistic desktop (2 cores, 4 threads,
DDR4 on a B250 board) as the kernel shows it to root, for the report tool's
golden test. Rerun only on purpose, then regenerate the expected report:

    python3 make_desktop_tree.py
    <build>/rootix-hwreport --root=desktop-i3 -txt=desktop-i3.expected
"""
import os
import shutil
import struct

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "desktop-i3")


def put(path, content):
    full = os.path.join(ROOT, path)
    os.makedirs(os.path.dirname(full), exist_ok=True)
    mode = "wb" if isinstance(content, bytes) else "w"
    with open(full, mode) as f:
        f.write(content)


BRAND = "Intel(R) Core(TM) i3-7100 CPU @ 3.90GHz"
FLAGS = ("fpu vme de pse tsc msr pae mce cx8 apic sep mtrr pge mca cmov pat pse36 clflush "
         "dts acpi mmx fxsr sse sse2 ss ht tm pbe syscall nx pdpe1gb rdtscp lm constant_tsc "
         "pni pclmulqdq dtes64 monitor ds_cpl vmx est tm2 ssse3 sdbg fma cx16 xtpr pdcm pcid "
         "sse4_1 sse4_2 x2apic movbe popcnt aes xsave avx f16c rdrand lahf_lm abm 3dnowprefetch "
         "fsgsbase bmi1 avx2 smep bmi2 erms invpcid mpx rdseed adx smap clflushopt xsaveopt")


def cpuid_dump():
    """A libcpuid raw dump (cpuid_serialize_raw_data format) of the processor."""
    def regs(*values):
        return " ".join("%08x" % v for v in values)

    def words(text):
        raw = text.encode().ljust(48, b"\0")
        return struct.unpack("<12I", raw)

    basic = {0: (0x16, 0x756E6547, 0x6C65746E, 0x49656E69),
             1: (0x000906E9, 0x04100800, 0x7FFAFBBF, 0xBFEBFBFF),
             0xB: (0, 0, 0, 0),
             0x16: (3900, 3900, 100, 0)}
    brand = words(BRAND)
    ext = {0: (0x80000008, 0, 0, 0),
           1: (0, 0, 0x121, 0x2C100800),
           2: brand[0:4], 3: brand[4:8], 4: brand[8:12],
           6: (0, 0, 0x01006040, 0),
           8: (0x3027, 0, 0, 0)}
    # Leaf 4: L1 data, L1 instruction, L2, L3, end.
    fn4 = [(0x04004121, 0x01C0003F, 0x0000003F, 0),
           (0x04004122, 0x01C0003F, 0x0000003F, 0),
           (0x04004143, 0x00C0003F, 0x000003FF, 0),
           (0x0400C163, 0x02C0003F, 0x00000FFF, 6)]
    fn11 = [(1, 2, 0x100, 0), (2, 4, 0x201, 0)]
    lines = ["version=0.6.2"]
    lines += ["basic_cpuid[%d]=%s" % (i, regs(*basic.get(i, (0, 0, 0, 0)))) for i in range(32)]
    lines += ["ext_cpuid[%d]=%s" % (i, regs(*ext.get(i, (0, 0, 0, 0)))) for i in range(32)]
    lines += ["intel_fn4[%d]=%s" % (i, regs(*(fn4[i] if i < len(fn4) else (0, 0, 0, 0)))) for i in range(8)]
    lines += ["intel_fn11[%d]=%s" % (i, regs(*(fn11[i] if i < len(fn11) else (0, 0, 0, 0)))) for i in range(4)]
    lines += ["intel_fn12h[%d]=%s" % (i, regs(0, 0, 0, 0)) for i in range(4)]
    lines += ["intel_fn14h[%d]=%s" % (i, regs(0, 0, 0, 0)) for i in range(4)]
    lines += ["amd_fn8000001dh[%d]=%s" % (i, regs(0, 0, 0, 0)) for i in range(4)]
    return "\n".join(lines) + "\n"


def smbios_structure(kind, handle, body, strings):
    header = struct.pack("<BBH", kind, 4 + len(body), handle)
    tail = b"".join(s.encode() + b"\0" for s in strings) + b"\0" if strings else b"\0\0"
    return header + body + tail


def smbios_table():
    bios = struct.pack("<BBHBB8sHBBBB", 1, 2, 0xF000, 3, 0xFF, b"\0" * 8, 0, 5, 12, 0xFF, 0xFF)
    system = struct.pack("<BBBB16sBBB", 1, 2, 3, 4, bytes(range(16)), 6, 5, 6)
    board = struct.pack("<BBBBBBBHBB", 1, 2, 3, 4, 5, 9, 6, 0x0003, 0x0A, 0)
    processor = struct.pack("<BBBB8sBBHHHBBHHHBBBBBBHHHHH",
                            1, 3, 0xCE, 2, bytes.fromhex("E9060900FFFBEBBF"), 3, 0x8B,
                            100, 8300, 3900, 0x41, 0x2C, 0x0041, 0x0042, 0x0043,
                            4, 5, 6, 2, 2, 4, 0x00FC, 0xCE, 2, 2, 4)

    def dimm(size_mb, locator, part):
        strings = [locator, "BANK 0", "Kingston", "12345678", "9876543210", part]
        return struct.pack("<HHHHHBBBBBHHBBBBBIHHHH",
                           0x1000, 0xFFFE, 64, 64, size_mb, 0x09, 0, 1, 2, 0x1A, 0x0080,
                           2400, 3, 4, 5, 6, 1, 0, 2400, 1200, 1200, 1200), strings

    dimms = []
    for handle, (size, locator, part) in enumerate(
            [(8192, "ChannelA-DIMM0", "KHX2400C15/8G"), (0, "ChannelA-DIMM1", ""),
             (8192, "ChannelB-DIMM0", "KHX2400C15/8G")], start=0x1100):
        body, strings = dimm(size, locator, part)
        if size == 0:
            strings = [locator, "BANK 1"]
        dimms.append(smbios_structure(17, handle, body, strings))

    table = smbios_structure(0, 0x0000, bios, ["American Megatrends Inc.", "F10", "03/15/2018"])
    table += smbios_structure(1, 0x0001, system, ["Gigabyte Technology Co., Ltd.", "B250M-DS3H",
                                                  "Default string", "Default string",
                                                  "Default string", "Default string"])
    table += smbios_structure(2, 0x0002, board, ["Gigabyte Technology Co., Ltd.", "B250M-DS3H-CF",
                                                 "x.x", "Default string", "Default string",
                                                 "Default string"])
    table += smbios_structure(4, 0x0040, processor, ["U3E1", "Intel(R) Corporation", BRAND,
                                                     "To Be Filled By O.E.M.",
                                                     "To Be Filled By O.E.M.",
                                                     "To Be Filled By O.E.M."])
    table += b"".join(dimms)
    table += smbios_structure(127, 0xFEFF, b"", [])
    entry = b"_SM3_" + struct.pack("<BBBBBBBIQ", 0, 0x18, 3, 1, 1, 1, 0, len(table), 0x000E0000)
    return entry, table


def main():
    shutil.rmtree(ROOT, ignore_errors=True)
    put("cpuid.raw", cpuid_dump())
    blocks = []
    clocks_khz = [3900000, 3899812, 3900000, 800000]
    for cpu in range(4):
        core = cpu % 2
        blocks.append("\n".join([
            "processor\t: %d" % cpu, "vendor_id\t: GenuineIntel", "cpu family\t: 6",
            "model\t\t: 158", "model name\t: " + BRAND, "stepping\t: 9",
            "microcode\t: 0xf0", "cpu MHz\t\t: %.3f" % (clocks_khz[cpu] / 1000.0),
            "cache size\t: 3072 KB", "physical id\t: 0", "siblings\t: 4",
            "core id\t\t: %d" % core, "cpu cores\t: 2", "flags\t\t: " + FLAGS]))
        topology = "sys/devices/system/cpu/cpu%d/topology/" % cpu
        put(topology + "physical_package_id", "0\n")
        put(topology + "core_id", "%d\n" % core)
        put(topology + "die_id", "0\n")
        put(topology + "core_cpus_list", "%d,%d\n" % (core, core + 2))
        put("sys/devices/system/cpu/cpu%d/cpufreq/scaling_cur_freq" % cpu, "%d\n" % clocks_khz[cpu])
        caches = [(1, "Data", "32K", 8, "%d,%d" % (core, core + 2)),
                  (1, "Instruction", "32K", 8, "%d,%d" % (core, core + 2)),
                  (2, "Unified", "256K", 4, "%d,%d" % (core, core + 2)),
                  (3, "Unified", "3072K", 12, "0-3")]
        for index, (level, kind, size, ways, shared) in enumerate(caches):
            folder = "sys/devices/system/cpu/cpu%d/cache/index%d/" % (cpu, index)
            put(folder + "shared_cpu_list", shared + "\n")
            if cpu > 0:
                continue  # the tool reads the other threads' sharing only
            put(folder + "level", "%d\n" % level)
            put(folder + "type", kind + "\n")
            put(folder + "size", size + "\n")
            put(folder + "ways_of_associativity", "%d\n" % ways)
            put(folder + "coherency_line_size", "64\n")
    put("proc/cpuinfo", "\n\n".join(blocks) + "\n\n")
    put("proc/meminfo", "MemTotal:       16323400 kB\nMemFree:        14000000 kB\n")
    put("sys/devices/system/cpu/online", "0-3\n")
    dmi = {"bios_vendor": "American Megatrends Inc.", "bios_version": "F10",
           "bios_date": "03/15/2018", "sys_vendor": "Gigabyte Technology Co., Ltd.",
           "product_name": "B250M-DS3H", "product_version": "Default string",
           "board_vendor": "Gigabyte Technology Co., Ltd.", "board_name": "B250M-DS3H-CF",
           "board_version": "x.x"}
    for name, value in dmi.items():
        put("sys/class/dmi/id/" + name, value + "\n")
    entry, table = smbios_table()
    put("sys/firmware/dmi/tables/smbios_entry_point", entry)
    put("sys/firmware/dmi/tables/DMI", table)


if __name__ == "__main__":
    main()
