#pragma once
// The plain flash image as the download tool reads it: length limits, the checksum shown
// to the operator, where the configuration record lies, and the in-place address update.
//
// Where the record lies. The configuration tool puts the 1178-byte record at the start of
// the configuration sector: 0x70000 for a 448 KiB code area ("GD_4Mbit"), 0x80000 for a
// 512 KiB one, and fills the rest of that 4 KiB sector with 0xFF. In a 448 KiB image the
// bytes at 0x80034/0x80064 can be prompt samples, so the image length alone does not say
// where the record is. A record is recognised at offset O when
//   - the image holds at least O + 0xA1 bytes (through the fields the tool patches),
//   - config_valid (byte O) is 1,
//   - the record's reserved bytes O+0x24..O+0x2E and O+0x7B..O+0x8A are all 0;
// O = 0x70000 is tried first and must also show the whole rest of its sector (O+0x49A to
// O+0xFFF) filled with 0xFF, which code never does at the code-area end; then 0x80000.
// An image too short to hold the address field at 0x80064 (under 0x8006A bytes) where
// neither matches has no record: it is programmed unchanged. A longer one where neither
// matches is refused (kDamagedRecord): every board would get the same address from it.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/BtAddress.h"

namespace kestrel {

struct ImageInfo {
  uint32_t length = 0;
  uint16_t checksum = 0;
  bool hasRecord = false;
  uint32_t recordOffset = 0;
  std::string deviceName;  // up to the first NUL, at most 32 characters
  BtAddress address;
  std::string problem;     // with kDamagedRecord: what is wrong, in English
};

enum class ImageError {
  kNone,
  kCannotOpen,  // missing or unreadable
  kTooLarge,    // 16 MiB or more: the 24-bit length of the start packet cannot describe it
  kDamagedRecord,  // long enough to hold the address, but no record is recognised (see above)
};

class ImageFile {
 public:
  static constexpr uint32_t kLengthLimit = 1u << 24;  // images must be shorter than this
  static constexpr uint32_t kNameField = 0x34;        // device_name within the record, 32 bytes
  static constexpr uint32_t kNameLength = 32;
  static constexpr uint32_t kAddressField = 0x64;     // bt_address within the record, 6 bytes
  static constexpr uint32_t kRecordLength = 1178;
  static constexpr uint32_t kSectorLength = 4096;
  static constexpr uint32_t kRecord448 = 0x70000;
  static constexpr uint32_t kRecord512 = 0x80000;
  // From this length on an image holds the address field at 0x80064 and must have a record.
  static constexpr uint32_t kNeedsRecord = kRecord512 + kAddressField + 6;

  // Reads the file and describes it. kNone fills info.
  static ImageError Inspect(const std::string& path, ImageInfo* info);
  // The same, keeping the bytes read in *data: the one copy that gets programmed.
  static ImageError Load(const std::string& path, ImageInfo* info, std::vector<uint8_t>* data);
  // Reads the whole file; false when it cannot be opened or is 16 MiB or more.
  static ImageError ReadAll(const std::string& path, std::vector<uint8_t>* data);
  // Offset of the configuration record, by the rule above.
  static std::optional<uint32_t> FindRecord(const std::vector<uint8_t>& image);
  // Why no record is recognised: one reason for each of the two places.
  static std::string WhyNoRecord(const std::vector<uint8_t>& image);
  // Sum of all bytes, 16 bits, less the six address bytes (those inside the image) of the
  // record, or at 0x80064 when there is no record. Updating the address keeps it.
  static uint16_t Checksum(const std::vector<uint8_t>& image, std::optional<uint32_t> record);
  // Writes the six address bytes at offset in place and flushes them to the disk before
  // answering. Never extends the file: false when it is shorter than offset + 6.
  static bool WriteAddress(const std::string& path, uint32_t offset, const BtAddress& address);
};

}  // namespace kestrel
