#!/usr/bin/env python3
"""Writes small made-up machines that differ in their processor only, for the
report tool's codename: /proc/cpuinfo as Linux shows it and the CPUID answers
that decide the name (signature, feature bits, brand text). The signatures,
features and core counts are those the makers document for these parts.
Rerun only on purpose, then regenerate the expected reports:

    python3 make_processor_trees.py
    for t in desktop-zen4 desktop-zen5 desktop-raptor-lake laptop-alder-lake vm-old-model; do
        <build>/rootix-hwreport --root=$t -txt=$t.expected
    done
"""
import os
import shutil
import struct

HERE = os.path.dirname(os.path.abspath(__file__))

BASE_FLAGS = ("fpu vme de pse tsc msr pae mce cx8 apic sep mtrr pge mca cmov pat pse36 clflush mmx "
              "fxsr sse sse2 ht syscall nx pdpe1gb rdtscp lm constant_tsc pni pclmulqdq ssse3 fma "
              "cx16 sse4_1 sse4_2 x2apic movbe popcnt aes xsave avx f16c rdrand lahf_lm abm "
              "fsgsbase bmi1 avx2 smep bmi2 erms rdseed adx smap clflushopt clwb sha_ni xsaveopt")
AVX512_FLAGS = " avx512f avx512dq avx512ifma avx512cd avx512bw avx512vl avx512_bf16 avx512_vnni"

# CPUID leaf 1 ECX/EDX and leaf 7 EBX/EDX of the features above.
LEAF1_ECX = (1 << 0) | (1 << 1) | (1 << 9) | (1 << 12) | (1 << 13) | (1 << 19) | (1 << 20) | \
    (1 << 21) | (1 << 22) | (1 << 23) | (1 << 25) | (1 << 26) | (1 << 28) | (1 << 29) | (1 << 30)
LEAF1_EDX = 0x178BFBFF
LEAF7_EBX_AVX2 = (1 << 0) | (1 << 3) | (1 << 5) | (1 << 7) | (1 << 8) | (1 << 9) | (1 << 18) | \
    (1 << 19) | (1 << 20) | (1 << 23) | (1 << 24) | (1 << 29)
LEAF7_EBX_AVX512 = LEAF7_EBX_AVX2 | (1 << 16) | (1 << 17) | (1 << 21) | (1 << 28) | (1 << 30) | (1 << 31)
HYPERVISOR = 1 << 31  # leaf 1 ECX
HYBRID = 1 << 15      # leaf 7 EDX

MACHINES = [
    # name, vendor, leaf 1 EAX, brand, logical CPUs, cores, AVX-512, hybrid, hypervisor
    ("desktop-zen4", "AuthenticAMD", 0x00A60F12, "AMD Ryzen 9 7950X 16-Core Processor", 32, 16,
     True, False, False),
    ("desktop-zen5", "AuthenticAMD", 0x00B40F40, "AMD Ryzen 9 9950X 16-Core Processor", 32, 16,
     True, False, False),
    # 8 performance cores with two threads each, 8 efficient cores with one.
    ("desktop-raptor-lake", "GenuineIntel", 0x000B0671, "13th Gen Intel(R) Core(TM) i7-13700K", 24, 16,
     False, True, False),
    # 4 performance cores with two threads each, 8 efficient cores with one.
    ("laptop-alder-lake", "GenuineIntel", 0x000906A3, "12th Gen Intel(R) Core(TM) i7-1260P", 16, 12,
     False, True, False),
    # A hypervisor's Core 2 model number (family 6, model 17h) on a host with
    # AVX-512: the model is not the processor's own.
    ("vm-old-model", "GenuineIntel", 0x00010676, "Intel(R) Xeon(R) Processor", 2, 2,
     True, False, True),
]


def signature(eax):
    family = (eax >> 8) & 0xF
    model = (eax >> 4) & 0xF
    if family == 0xF:
        family += (eax >> 20) & 0xFF
    if family >= 6:
        model |= ((eax >> 16) & 0xF) << 4
    return family, model, eax & 0xF


def cpuid_dump(vendor, eax1, brand, avx512, hybrid, hypervisor):
    """A libcpuid raw dump (cpuid_serialize_raw_data format)."""
    def regs(*values):
        return " ".join("%08x" % v for v in values)

    def words(text, count):
        return struct.unpack("<%dI" % count, text.encode().ljust(4 * count, b"\0"))

    v = words(vendor, 3)
    ecx1 = LEAF1_ECX | (HYPERVISOR if hypervisor else 0)
    basic = {0: (0xD, v[0], v[2], v[1]),
             1: (eax1, 0x00000800, ecx1, LEAF1_EDX),
             7: (0, LEAF7_EBX_AVX512 if avx512 else LEAF7_EBX_AVX2, 0, HYBRID if hybrid else 0)}
    b = words(brand, 12)
    ext = {0: (0x80000008, 0, 0, 0), 1: (0, 0, 0x121, 0x2C100800),
           2: b[0:4], 3: b[4:8], 4: b[8:12]}
    lines = ["version=0.6.2"]
    lines += ["basic_cpuid[%d]=%s" % (i, regs(*basic.get(i, (0, 0, 0, 0)))) for i in range(32)]
    lines += ["ext_cpuid[%d]=%s" % (i, regs(*ext.get(i, (0, 0, 0, 0)))) for i in range(32)]
    for name, count in (("intel_fn4", 8), ("intel_fn11", 4), ("intel_fn12h", 4), ("intel_fn14h", 4),
                        ("amd_fn8000001dh", 4)):
        lines += ["%s[%d]=%s" % (name, i, regs(0, 0, 0, 0)) for i in range(count)]
    return "\n".join(lines) + "\n"


def write_machine(name, vendor, eax1, brand, threads, cores, avx512, hybrid, hypervisor):
    root = os.path.join(HERE, name)
    shutil.rmtree(root, ignore_errors=True)

    def put(path, content):
        full = os.path.join(root, path)
        os.makedirs(os.path.dirname(full), exist_ok=True)
        with open(full, "w") as f:
            f.write(content)

    family, model, stepping = signature(eax1)
    flags = BASE_FLAGS + (AVX512_FLAGS if avx512 else "") + (" hypervisor" if hypervisor else "")
    flags += " hybrid_cpu" if hybrid else ""
    two_thread_cores = threads - cores  # the cores that run two threads
    blocks = []
    for cpu in range(threads):
        core = cpu // 2 if cpu < 2 * two_thread_cores else cpu - two_thread_cores
        blocks.append("\n".join([
            "processor\t: %d" % cpu, "vendor_id\t: " + vendor, "cpu family\t: %d" % family,
            "model\t\t: %d" % model, "model name\t: " + brand, "stepping\t: %d" % stepping,
            "cpu MHz\t\t: 3000.000", "physical id\t: 0", "siblings\t: %d" % threads,
            "core id\t\t: %d" % core, "cpu cores\t: %d" % cores, "flags\t\t: " + flags]))
    put("proc/cpuinfo", "\n\n".join(blocks) + "\n\n")
    put("proc/meminfo", "MemTotal:       32768000 kB\n")
    put("sys/devices/system/cpu/online", "0-%d\n" % (threads - 1))
    put("cpuid.raw", cpuid_dump(vendor, eax1, brand, avx512, hybrid, hypervisor))


def main():
    for machine in MACHINES:
        write_machine(*machine)


if __name__ == "__main__":
    main()
