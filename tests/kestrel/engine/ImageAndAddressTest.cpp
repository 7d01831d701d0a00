// Image recognition and checksum, and the address arithmetic and box parsing.
#include <gtest/gtest.h>

#include "core/ImageFile.h"
#include "TestFiles.h"

namespace kestrel::test {
namespace {

TEST(Address, CountsAsOne48BitNumber) {
  EXPECT_EQ(Addr("00:00:00:00:00:ff").Next(), Addr("00:00:00:00:01:00"));
  EXPECT_EQ(Addr("11:22:33:44:55:66").Next(), Addr("11:22:33:44:55:67"));
  EXPECT_EQ(Addr("00:ff:ff:ff:ff:ff").Next(), Addr("01:00:00:00:00:00"));
  EXPECT_EQ(Addr("ff:ff:ff:ff:ff:ff").Next(), Addr("00:00:00:00:00:00"));
  EXPECT_EQ(Addr("11:22:33:44:55:66").bytes[0], 0x66);
  EXPECT_EQ(Addr("11:22:33:44:55:66").DisplayText(), "11:22:33:44:55:66");
  EXPECT_FALSE(BtAddress::FromDisplayText("11:22:33:44:55"));
  EXPECT_FALSE(BtAddress::FromDisplayText("11:22:33:44:55:6g"));
}

TEST(Address, BoxTextsParseAsTheDialogDoes) {
  struct Case {
    const char* text;
    bool ok;
    uint8_t byte;
  } cases[] = {
      {"1", true, 0x10}, {"A", true, 0xA0}, {"5", true, 0x50}, {"0Ah", true, 0x0A}, {"ff", true, 0xFF},
      {"h7h", true, 0x70}, {"G1", false, 0x00}, {"1G", false, 0x10}, {"H1", false, 0x00},
  };
  for (const Case& c : cases) {
    uint8_t byte = 0x77;
    EXPECT_EQ(BtAddress::ParseBox(c.text, &byte), c.ok) << c.text;
    EXPECT_EQ(byte, c.byte) << c.text;
  }
  uint8_t byte = 0x42;
  EXPECT_TRUE(BtAddress::ParseBox("", &byte));
  EXPECT_EQ(byte, 0x42);  // an empty box keeps the byte
}

// An image of the given length with a record at offset, written to a temp file.
struct ImageOnDisk {
  TempDir dir;
  std::string path = dir.File("image.IMG");
  std::vector<uint8_t> bytes;
  ImageOnDisk(size_t length, long recordAt) : bytes(PatternImage(length)) {
    if (recordAt >= 0) PutRecord(bytes, static_cast<size_t>(recordAt), "SPEAKER", Addr("11:22:33:44:55:66"));
    WriteFile(path, bytes);
  }
  ImageInfo Info() {
    ImageInfo info;
    EXPECT_EQ(ImageFile::Inspect(path, &info), ImageError::kNone);
    return info;
  }
};

TEST(ImageRecord, NeedsTheWholeFieldsAt0x80000) {
  ImageOnDisk full(0x800A1, 0x80000);
  ImageInfo info = full.Info();
  EXPECT_TRUE(info.hasRecord);
  EXPECT_EQ(info.recordOffset, 0x80000u);
  EXPECT_EQ(info.deviceName, "SPEAKER");
  EXPECT_EQ(info.address, Addr("11:22:33:44:55:66"));

  // Too short to hold even the address field: no record, burned unchanged.
  ImageOnDisk shorter(0x80069, 0x80000);
  info = shorter.Info();
  EXPECT_FALSE(info.hasRecord);
  EXPECT_EQ(info.deviceName, "");
  EXPECT_EQ(info.address, BtAddress{});
}

// An image that holds the address field but no record it can be recognised by would give
// every board the same address: it is refused, saying what is wrong.
TEST(ImageRecord, DamagedRecordIsRefusedWithWhatIsWrong) {
  struct Case {
    const char* what;
    size_t length;
    size_t at;
    uint8_t value;
    const char* says;
  } cases[] = {
      {"config_valid cleared", 0x81000, 0x80000, 0, "config_valid at 0x80000 is 0, not 1"},
      {"reserved byte set", 0x81000, 0x80024, 1, "reserved byte 0x80024 is 0x1, not 0"},
      {"cut inside the record", 0x80080, 0, 0, "the image ends at 0x80080, before 0x800a1"},
      {"cut at the address field", 0x8006A, 0, 0, "the image ends at 0x8006a"},
  };
  for (const Case& c : cases) {
    ImageOnDisk image(0x81000, 0x80000);
    image.bytes.resize(c.length);
    if (c.at != 0) image.bytes[c.at] = c.value;
    WriteFile(image.path, image.bytes);
    ImageInfo info;
    EXPECT_EQ(ImageFile::Inspect(image.path, &info), ImageError::kDamagedRecord) << c.what;
    EXPECT_NE(info.problem.find(c.says), std::string::npos) << c.what << ": " << info.problem;
    EXPECT_NE(info.problem.find("0x70000"), std::string::npos) << c.what;
  }
  ImageOnDisk firmwareOnly(0x90000, -1);  // pattern bytes everywhere
  ImageInfo info;
  EXPECT_EQ(ImageFile::Inspect(firmwareOnly.path, &info), ImageError::kDamagedRecord);
}

TEST(ImageRecord, SmallCodeAreaImageIsRecognisedByItsRecordAt0x70000) {
  // 448 KiB code area with prompt data running past 0x800A1: the bytes at 0x80034 and
  // 0x80064 are samples.
  ImageOnDisk image(0x90000, 0x70000);
  ImageInfo info = image.Info();
  EXPECT_TRUE(info.hasRecord);
  EXPECT_EQ(info.recordOffset, 0x70000u);
  EXPECT_EQ(info.address, Addr("11:22:33:44:55:66"));
  // Without prompts it is shorter than 0x800A1 and still has its record.
  ImageOnDisk bare(0x71000, 0x70000);
  EXPECT_EQ(bare.Info().recordOffset, 0x70000u);
  // A record-like block whose sector is not 0xFF after the record is code, not a record;
  // with nothing at 0x80000 either, the image is refused.
  image.bytes[0x70F00] = 0x12;
  WriteFile(image.path, image.bytes);
  EXPECT_EQ(ImageFile::Inspect(image.path, &info), ImageError::kDamagedRecord);
  EXPECT_NE(info.problem.find("byte 0x70f00 after the record is 0x12"), std::string::npos) << info.problem;
}

TEST(ImageChecksum, LeavesTheAddressOut) {
  ImageOnDisk a(0x81000, 0x80000);
  ImageOnDisk b(0x81000, 0x80000);
  b.bytes[0x80064] ^= 0x5A;
  b.bytes[0x80069] ^= 0x01;
  WriteFile(b.path, b.bytes);
  EXPECT_EQ(a.Info().checksum, b.Info().checksum);
  b.bytes[0x8006A] ^= 0x01;  // the byte after the address counts
  WriteFile(b.path, b.bytes);
  EXPECT_NE(a.Info().checksum, b.Info().checksum);

  // 16-bit wrapping sum, less the address bytes inside the file.
  std::vector<uint8_t> small(0x80066, 0xFF);
  uint16_t expected = static_cast<uint16_t>(0x80066 * 0xFF - 2 * 0xFF);
  EXPECT_EQ(ImageFile::Checksum(small, std::nullopt), expected);

  // With the record at 0x70000, its own address bytes are left out instead.
  ImageOnDisk c(0x90000, 0x70000);
  ImageOnDisk d(0x90000, 0x70000);
  d.bytes[0x70064] = 0;
  WriteFile(d.path, d.bytes);
  EXPECT_EQ(c.Info().checksum, d.Info().checksum);
}

TEST(ImageFileErrors, MissingHugeAndEmptyImages) {
  TempDir dir;
  ImageInfo info;
  EXPECT_EQ(ImageFile::Inspect(dir.File("nope.bin"), &info), ImageError::kCannotOpen);
  // A folder named as the image is unreadable, not an image of some odd size.
  std::filesystem::create_directory(dir.File("folder.IMG"));
  EXPECT_EQ(ImageFile::Inspect(dir.File("folder.IMG"), &info), ImageError::kCannotOpen);
  {
    std::ofstream big(dir.File("big.bin"), std::ios::binary);
    big.seekp((1 << 24) - 1);
    big.put(0);
  }
  EXPECT_EQ(ImageFile::Inspect(dir.File("big.bin"), &info), ImageError::kTooLarge);
  std::filesystem::resize_file(dir.File("big.bin"), (1 << 24) - 1);
  std::vector<uint8_t> data;
  EXPECT_EQ(ImageFile::ReadAll(dir.File("big.bin"), &data), ImageError::kNone);
  EXPECT_EQ(data.size(), (1u << 24) - 1);
  // Read, and then refused for holding no record where its address would be.
  EXPECT_EQ(ImageFile::Inspect(dir.File("big.bin"), &info), ImageError::kDamagedRecord);
  WriteFile(dir.File("empty.bin"), {});
  EXPECT_EQ(ImageFile::Inspect(dir.File("empty.bin"), &info), ImageError::kNone);
  EXPECT_EQ(info.length, 0u);
}

TEST(ImageFileErrors, AddressWriteNeverExtendsTheFile) {
  TempDir dir;
  WriteFile(dir.File("short.bin"), std::vector<uint8_t>(100, 0xFF));
  EXPECT_FALSE(ImageFile::WriteAddress(dir.File("short.bin"), 95, Addr("01:02:03:04:05:06")));
  EXPECT_EQ(ReadFile(dir.File("short.bin")).size(), 100u);
  EXPECT_TRUE(ImageFile::WriteAddress(dir.File("short.bin"), 94, Addr("01:02:03:04:05:06")));
  const auto bytes = ReadFile(dir.File("short.bin"));
  EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 94, bytes.end()), (std::vector<uint8_t>{6, 5, 4, 3, 2, 1}));
  EXPECT_FALSE(ImageFile::WriteAddress(dir.File("missing.bin"), 0, BtAddress{}));
}

}  // namespace
}  // namespace kestrel::test
