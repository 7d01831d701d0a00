// libFuzzer target: the production tool's image loading and record recognition.
// Input: three bytes choose the image length (0x6F000 .. 0x81FFF, across every limit of
// the recognition rule), one byte fills the image below 0x70000, and the rest is the
// image from 0x70000 on (the two places a record can be). The image is written to a
// file and loaded as the tool loads it. Checks, against the rule written in ImageFile.h:
// the record found is the one the rule gives, the checksum and name come from the
// bytes, and writing a new address in place keeps the checksum and the record.
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "core/ImageFile.h"

namespace {

namespace fs = std::filesystem;
using kestrel::ImageFile;

bool AllBytes(const std::vector<uint8_t>& img, size_t from, size_t to, uint8_t value) {
  for (size_t i = from; i < to; ++i)
    if (img[i] != value) return false;
  return true;
}

bool RuleAt(const std::vector<uint8_t>& img, size_t o) {
  return img.size() >= o + 0xA1 && img[o] == 1 && AllBytes(img, o + 0x24, o + 0x2F, 0) &&
         AllBytes(img, o + 0x7B, o + 0x8B, 0);
}

std::optional<uint32_t> Expected(const std::vector<uint8_t>& img) {
  if (RuleAt(img, 0x70000) && img.size() >= 0x71000 && AllBytes(img, 0x7049A, 0x71000, 0xFF)) return 0x70000;
  if (RuleAt(img, 0x80000)) return 0x80000;
  return std::nullopt;
}

// Not traced for coverage: a comparison per byte of half a megabyte would slow every run.
__attribute__((no_sanitize("coverage"))) uint16_t Sum(const std::vector<uint8_t>& img, size_t skipFrom) {
  uint32_t s = 0;
  for (size_t i = 0; i < img.size(); ++i)
    if (i < skipFrom || i >= skipFrom + 6) s += img[i];
  return static_cast<uint16_t>(s);
}

struct ScratchFile {
  ScratchFile() {
    std::error_code ec;
    fs::path base = fs::is_directory("/dev/shm", ec) ? fs::path("/dev/shm") : fs::temp_directory_path();
    path = (base / ("kestrel-fuzz-image-" + std::to_string(::getpid()) + ".IMG")).string();
  }
  ~ScratchFile() {
    std::error_code ec;
    fs::remove(path, ec);
  }
  std::string path;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const ScratchFile scratch;
  const std::string& path = scratch.path;
  if (size < 4) return 0;
  const size_t length = 0x6F000 + (size_t{data[0]} | size_t{data[1]} << 8 | size_t{data[2]} << 16) % 0x13000;
  std::vector<uint8_t> img(length, data[3]);
  if (length > 0x70000) std::copy_n(data + 4, std::min(size - 4, length - 0x70000), img.begin() + 0x70000);

  const std::optional<uint32_t> record = ImageFile::FindRecord(img);
  if (record != Expected(img)) std::abort();
  const size_t addressAt = size_t{record.value_or(ImageFile::kRecord512)} + ImageFile::kAddressField;
  const uint16_t sum = Sum(img, addressAt);
  if (ImageFile::Checksum(img, record) != sum) std::abort();

  // As the tool burns it: the image goes to a file, the board's address is written in
  // place (never extending the file), and the file is loaded again. The operator's
  // checksum and the record stay; the name and the new address come from the bytes.
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(img.data()), static_cast<std::streamsize>(img.size()));
  }
  kestrel::BtAddress next;
  for (size_t i = 0; i < 6; ++i) next.bytes[i] = static_cast<uint8_t>(~(addressAt + i < length ? img[addressAt + i] : 0));
  const bool fits = length >= addressAt + 6;
  if (ImageFile::WriteAddress(path, static_cast<uint32_t>(addressAt), next) != fits) std::abort();
  if (fits) std::copy(next.bytes.begin(), next.bytes.end(), img.begin() + static_cast<std::ptrdiff_t>(addressAt));

  kestrel::ImageInfo info;
  // An image long enough to hold the address field is refused unless a record is found:
  // every board would otherwise get the image's one address.
  const bool damaged = !record && length >= ImageFile::kNeedsRecord;
  const kestrel::ImageError e = ImageFile::Inspect(path, &info);
  if (e != (damaged ? kestrel::ImageError::kDamagedRecord : kestrel::ImageError::kNone)) std::abort();
  if (damaged) return 0;
  if (info.length != length || info.checksum != sum || info.hasRecord != record.has_value()) std::abort();
  if (!record) {
    if (!info.deviceName.empty()) std::abort();
    return 0;
  }
  if (info.recordOffset != *record || info.deviceName.size() > ImageFile::kNameLength) std::abort();
  const size_t name = *record + ImageFile::kNameField;
  for (size_t i = 0; i < info.deviceName.size(); ++i)
    if (static_cast<uint8_t>(info.deviceName[i]) != img[name + i] || img[name + i] == 0) std::abort();
  if (info.deviceName.size() < ImageFile::kNameLength && img[name + info.deviceName.size()] != 0) std::abort();
  if (info.address.bytes != next.bytes) std::abort();
  return 0;
}
