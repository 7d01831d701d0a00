#include "core/ImageFile.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "qrplatform/Files.h"
#include "qrplatform/Utf8Path.h"

namespace kestrel {

namespace {

bool AllEqual(const std::vector<uint8_t>& d, size_t from, size_t to, uint8_t value) {
  for (size_t i = from; i < to; ++i)
    if (d[i] != value) return false;
  return true;
}

bool LooksLikeRecord(const std::vector<uint8_t>& d, uint32_t at) {
  const size_t o = at;
  if (d.size() < o + 0xA1) return false;
  if (d[o] != 1) return false;  // config_valid
  return AllEqual(d, o + 0x24, o + 0x2F, 0) && AllEqual(d, o + 0x7B, o + 0x8B, 0);
}

std::string Hex(size_t v) {
  char t[24];
  std::snprintf(t, sizeof t, "0x%zx", v);
  return t;
}

// The first rule a record at `at` breaks.
std::string Broken(const std::vector<uint8_t>& d, uint32_t at, bool wholeSector) {
  const size_t o = at;
  const size_t need = o + (wholeSector ? ImageFile::kSectorLength : 0xA1);
  if (d.size() < need) return "the image ends at " + Hex(d.size()) + ", before " + Hex(need);
  if (d[o] != 1) return "config_valid at " + Hex(o) + " is " + std::to_string(d[o]) + ", not 1";
  for (size_t i = o + 0x24; i < o + 0x8B; i = i == o + 0x2E ? o + 0x7B : i + 1)
    if (d[i] != 0) return "reserved byte " + Hex(i) + " is " + Hex(d[i]) + ", not 0";
  if (wholeSector) {
    for (size_t i = o + ImageFile::kRecordLength; i < o + ImageFile::kSectorLength; ++i)
      if (d[i] != 0xFF) return "byte " + Hex(i) + " after the record is " + Hex(d[i]) + ", not 0xff";
  }
  return "";
}

}  // namespace

std::string ImageFile::WhyNoRecord(const std::vector<uint8_t>& image) {
  return "no configuration record at 0x80000 (" + Broken(image, kRecord512, false) + ") nor at 0x70000 (" +
         Broken(image, kRecord448, true) + ")";
}

ImageError ImageFile::ReadAll(const std::string& path, std::vector<uint8_t>* data) {
  // A folder opens as a stream on some systems and reports a meaningless size.
  std::error_code ec;
  const std::filesystem::path p = qrplatform::PathFromUtf8(path);
  if (!std::filesystem::is_regular_file(p, ec)) return ImageError::kCannotOpen;
  std::ifstream in(p, std::ios::binary);
  if (!in) return ImageError::kCannotOpen;
  in.seekg(0, std::ios::end);
  const std::streamoff size = in.tellg();
  if (size < 0) return ImageError::kCannotOpen;
  if (size >= static_cast<std::streamoff>(kLengthLimit)) return ImageError::kTooLarge;
  in.seekg(0, std::ios::beg);
  data->assign(static_cast<size_t>(size), 0);
  if (size > 0 && !in.read(reinterpret_cast<char*>(data->data()), size)) return ImageError::kCannotOpen;
  return ImageError::kNone;
}

std::optional<uint32_t> ImageFile::FindRecord(const std::vector<uint8_t>& image) {
  if (image.size() >= size_t{kRecord448} + kSectorLength && LooksLikeRecord(image, kRecord448) &&
      AllEqual(image, kRecord448 + kRecordLength, kRecord448 + kSectorLength, 0xFF)) {
    return kRecord448;
  }
  if (LooksLikeRecord(image, kRecord512)) return kRecord512;
  return std::nullopt;
}

uint16_t ImageFile::Checksum(const std::vector<uint8_t>& image, std::optional<uint32_t> record) {
  uint16_t sum = 0;
  for (uint8_t b : image) sum = static_cast<uint16_t>(sum + b);
  const size_t address = size_t{record.value_or(kRecord512)} + kAddressField;
  for (size_t i = address; i < address + 6 && i < image.size(); ++i)
    sum = static_cast<uint16_t>(sum - image[i]);
  return sum;
}

ImageError ImageFile::Inspect(const std::string& path, ImageInfo* info) {
  std::vector<uint8_t> data;
  return Load(path, info, &data);
}

ImageError ImageFile::Load(const std::string& path, ImageInfo* info, std::vector<uint8_t>* bytes) {
  std::vector<uint8_t>& data = *bytes;
  ImageError e = ReadAll(path, &data);
  if (e != ImageError::kNone) return e;
  ImageInfo out;
  out.length = static_cast<uint32_t>(data.size());
  std::optional<uint32_t> record = FindRecord(data);
  out.checksum = Checksum(data, record);
  if (!record && data.size() >= kNeedsRecord) {
    info->problem = WhyNoRecord(data);
    return ImageError::kDamagedRecord;
  }
  if (record) {
    out.hasRecord = true;
    out.recordOffset = *record;
    const size_t name = size_t{*record} + kNameField;
    for (size_t i = 0; i < kNameLength && data[name + i] != 0; ++i)
      out.deviceName.push_back(static_cast<char>(data[name + i]));
    std::copy_n(data.begin() + static_cast<std::ptrdiff_t>(*record + kAddressField), 6,
                out.address.bytes.begin());
  }
  *info = std::move(out);
  return ImageError::kNone;
}

bool ImageFile::WriteAddress(const std::string& path, uint32_t offset, const BtAddress& address) {
  return qrplatform::WriteInPlace(path, offset, address.bytes.data(), address.bytes.size());
}

}  // namespace kestrel
