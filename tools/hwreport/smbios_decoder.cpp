#include "smbios_decoder.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "text_values.h"

namespace rootix::hwreport {
namespace {

// One structure of the table: its formatted area and its strings.
class Structure {
 public:
  Structure(std::string_view formatted, std::vector<std::string_view> strings)
      : formatted_(formatted), strings_(std::move(strings)) {}

  int type() const { return byte(0).value_or(-1); }
  std::size_t length() const { return formatted_.size(); }

  std::optional<int> byte(std::size_t offset) const {
    if (offset + 1 > formatted_.size()) return std::nullopt;
    return static_cast<uint8_t>(formatted_[offset]);
  }
  std::optional<uint32_t> word(std::size_t offset) const {
    if (offset + 2 > formatted_.size()) return std::nullopt;
    return static_cast<uint32_t>(static_cast<uint8_t>(formatted_[offset])) |
           static_cast<uint32_t>(static_cast<uint8_t>(formatted_[offset + 1])) << 8;
  }
  std::optional<uint32_t> dword(std::size_t offset) const {
    const auto low = word(offset);
    const auto high = word(offset + 2);
    if (!low || !high) return std::nullopt;
    return *low | *high << 16;
  }
  // The string a byte at offset refers to (1-based; 0 = none).
  std::string text(std::size_t offset) const {
    const auto index = byte(offset);
    if (!index || *index == 0 || static_cast<std::size_t>(*index) > strings_.size()) return {};
    return std::string(trimmed(strings_[static_cast<std::size_t>(*index) - 1]));
  }

 private:
  std::string_view formatted_;
  std::vector<std::string_view> strings_;
};

void fillIfEmpty(std::string& field, std::string value) {
  if (field.empty()) field = std::move(value);
}

std::optional<double> knownMhz(std::optional<uint32_t> value) {
  if (!value || *value == 0 || *value == 0xFFFF) return std::nullopt;
  return static_cast<double>(*value);
}

void decodeProcessor(const Structure& s, DmiFacts& dmi) {
  // The first populated socket speaks for the processor. Status bit 6 set
  // means populated; tables older than 2.0 have no status byte.
  if (!dmi.processorManufacturer.empty() || dmi.processorCurrentMhz) return;
  if (const auto status = s.byte(0x18); status && (*status & 0x40) == 0) return;
  dmi.processorManufacturer = s.text(0x07);
  dmi.processorVersion = s.text(0x10);
  dmi.processorExternalMhz = knownMhz(s.word(0x12));
  dmi.processorMaxMhz = knownMhz(s.word(0x14));
  dmi.processorCurrentMhz = knownMhz(s.word(0x16));
}

void decodeMemoryDevice(const Structure& s, DmiFacts& dmi) {
  const auto size = s.word(0x0C);
  if (!size || *size == 0 || *size == 0xFFFF) return;  // empty slot or unknown size
  MemoryDeviceFacts device;
  if (*size == 0x7FFF) {
    const auto extended = s.dword(0x1C);
    if (!extended) return;
    device.sizeMb = *extended & 0x7FFFFFFF;
  } else if (*size & 0x8000) {
    device.sizeMb = (*size & 0x7FFF) / 1024;  // given in KB
  } else {
    device.sizeMb = *size;
  }
  if (device.sizeMb == 0) return;
  device.locator = s.text(0x10);
  device.type = std::string(smbiosMemoryTypeName(s.byte(0x12).value_or(0)));
  auto speed = s.word(0x15);
  if (speed == 0xFFFF) speed = s.dword(0x54);
  auto configured = s.word(0x20);
  if (configured == 0xFFFF) configured = s.dword(0x58);
  // The configured speed is what the memory runs at; the rated speed only
  // stands in when the firmware leaves it out.
  for (const auto candidate : {configured, speed}) {
    if (candidate && *candidate != 0 && *candidate != 0xFFFF && *candidate < 100000) {
      device.speedMts = static_cast<int>(*candidate);
      break;
    }
  }
  device.manufacturer = s.text(0x17);
  device.partNumber = s.text(0x1A);
  dmi.memoryDevices.push_back(std::move(device));
}

void decode(const Structure& s, DmiFacts& dmi) {
  switch (s.type()) {
    case 0:
      fillIfEmpty(dmi.biosVendor, s.text(0x04));
      fillIfEmpty(dmi.biosVersion, s.text(0x05));
      fillIfEmpty(dmi.biosDate, s.text(0x08));
      break;
    case 1:
      fillIfEmpty(dmi.systemVendor, s.text(0x04));
      fillIfEmpty(dmi.productName, s.text(0x05));
      fillIfEmpty(dmi.productVersion, s.text(0x06));
      break;
    case 2:
      fillIfEmpty(dmi.boardVendor, s.text(0x04));
      fillIfEmpty(dmi.boardName, s.text(0x05));
      fillIfEmpty(dmi.boardVersion, s.text(0x06));
      break;
    case 4:
      decodeProcessor(s, dmi);
      break;
    case 17:
      decodeMemoryDevice(s, dmi);
      break;
    default:
      break;
  }
}

std::string versionFromEntryPoint(std::string_view entry) {
  auto at = [&](std::size_t i) { return static_cast<int>(static_cast<uint8_t>(entry[i])); };
  if (entry.starts_with("_SM3_") && entry.size() >= 9) {
    return std::to_string(at(7)) + "." + std::to_string(at(8));
  }
  if (entry.starts_with("_SM_") && entry.size() >= 8) {
    return std::to_string(at(6)) + "." + std::to_string(at(7));
  }
  return {};
}

}  // namespace

std::string_view smbiosMemoryTypeName(int code) {
  static constexpr std::array<std::string_view, 0x25> kNames = {
      "",      "",      "",       "DRAM",   "EDRAM",        "VRAM",   "SRAM",   "RAM",
      "ROM",   "Flash", "EEPROM", "FEPROM", "EPROM",        "CDRAM",  "3DRAM",  "SDRAM",
      "SGRAM", "RDRAM", "DDR",    "DDR2",   "DDR2 FB-DIMM", "",       "",       "",
      "DDR3",  "FBD2",  "DDR4",   "LPDDR",  "LPDDR2",       "LPDDR3", "LPDDR4", "",
      "HBM",   "HBM2",  "DDR5",   "LPDDR5", "HBM3"};
  if (code < 0 || static_cast<std::size_t>(code) >= kNames.size()) return {};
  return kNames[static_cast<std::size_t>(code)];
}

void decodeSmbios(std::string_view entryPoint, std::string_view table, DmiFacts& dmi) {
  if (dmi.smbiosVersion.empty()) dmi.smbiosVersion = versionFromEntryPoint(entryPoint);
  std::size_t pos = 0;
  while (pos + 4 <= table.size()) {
    const std::size_t length = static_cast<uint8_t>(table[pos + 1]);
    if (length < 4 || pos + length > table.size()) return;  // damaged: stop here
    // The strings follow the formatted area and end with an empty string.
    std::vector<std::string_view> strings;
    std::size_t cursor = pos + length;
    bool terminated = false;
    if (cursor + 1 < table.size() && table[cursor] == '\0' && table[cursor + 1] == '\0') {
      cursor += 2;
      terminated = true;
    } else {
      while (cursor < table.size()) {
        const auto end = table.find('\0', cursor);
        if (end == std::string_view::npos) break;
        if (end == cursor) {  // the empty string that closes the set
          cursor = end + 1;
          terminated = true;
          break;
        }
        strings.push_back(table.substr(cursor, end - cursor));
        cursor = end + 1;
      }
    }
    if (!terminated) return;
    const Structure structure(table.substr(pos, length), std::move(strings));
    if (structure.type() == 127) return;  // end of table
    decode(structure, dmi);
    pos = cursor;
  }
}

}  // namespace rootix::hwreport
