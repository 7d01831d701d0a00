#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TempDir.h"
#include "tessera/core/common/ByteIo.h"
#include "tessera/core/config/ConfigFile.h"

namespace tessera {
namespace {

using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;

ConfigFileData Sample() {
  ConfigFileData d;
  for (size_t i = 0; i < rec::kSize; ++i) d.record.bytes[i] = static_cast<uint8_t>(i * 3 + 1);
  d.sound[0].enabled = 1;
  d.sound[0].event = 5;
  d.sound[0].SetPath("/samples/prompts/power_on.wav");
  d.sound[0].fileSize = 12345;
  d.sound[41].kind = 1;
  d.sound[41].f2Step = 2000;
  d.led[0].event = 3;
  d.led[0].timeoutMs = -1;
  d.led[31].flashCount = 9;
  d.keys[0] = {1, 0x4, 1, 3};
  d.keys[31].gpioMask = 0x3FFFFF;
  d.eq[0].gainDb = -3.5f;
  d.eq[4].bandwidthHz = 1000;
  d.flashIndex = 3;
  d.chipIndex = 2;
  d.binPath = "/work/firmware.bin";
  return d;
}

// Each block lands at its byte offset of the file (the offsets themselves are fixed at
// compile time next to their declarations).
TEST(ConfigFile, BlockOffsetsAndSizes) {
  const ConfigFileData d = Sample();
  const auto bytes = EncodeConfigFile(d);
  ASSERT_EQ(bytes.size(), 15838u + d.binPath.size());
  EXPECT_EQ(bytes[0], 1);
  EXPECT_EQ(bytes[1177], static_cast<uint8_t>(1177 * 3 + 1));
  EXPECT_EQ(GetI32(bytes.data(), 1178 + 0), 1);                 // sound[0].enabled
  EXPECT_EQ(GetI32(bytes.data(), 1178 + 4), 5);                 // sound[0].event
  EXPECT_EQ(bytes[1178 + 12], '/');                             // sound[0].path
  EXPECT_EQ(GetI32(bytes.data(), 1178 + 268), 12345);           // sound[0].fileSize
  EXPECT_EQ(GetU32(bytes.data(), 1178 + 41 * 312 + 304), 2000u);  // sound[41].f2Step
  EXPECT_EQ(GetI32(bytes.data(), 14282 + 0), 3);                // led[0].event
  EXPECT_EQ(GetU32(bytes.data(), 14282 + 24), 0xFFFFFFFFu);     // led[0].timeoutMs
  EXPECT_EQ(bytes[14282 + 31 * 28 + 21], 9);                    // led[31].flashCount
  EXPECT_EQ(GetI32(bytes.data(), 15178 + 0), 1);                // keys[0].event
  EXPECT_EQ(GetU32(bytes.data(), 15178 + 4), 4u);
  EXPECT_EQ(GetU32(bytes.data(), 15178 + 31 * 16 + 4), 0x3FFFFFu);
  EXPECT_EQ(GetF32(bytes.data(), 15690 + 12), -3.5f);           // eq[0].gainDb
  EXPECT_EQ(GetI32(bytes.data(), 15690 + 4 * 28 + 24), 1000);   // eq[4].bandwidthHz
  EXPECT_EQ(GetI32(bytes.data(), 15830), 3);
  EXPECT_EQ(GetI32(bytes.data(), 15834), 2);
  EXPECT_EQ(std::string(bytes.begin() + 15838, bytes.end()), "/work/firmware.bin");
}

TEST(ConfigFile, EmptyPathGivesExactly15838Bytes) {
  ConfigFileData d = Sample();
  d.binPath.clear();
  const auto bytes = EncodeConfigFile(d);
  EXPECT_EQ(bytes.size(), 15838u);
  ConfigFileData back = Sample();
  ASSERT_TRUE(DecodeConfigFile(bytes.data(), bytes.size(), back, nullptr));
  EXPECT_EQ(back.binPath, "");
  EXPECT_EQ(back, d);
}

TEST(ConfigFile, RoundTripKeepsEveryByte) {
  const ConfigFileData d = Sample();
  const auto bytes = EncodeConfigFile(d);
  ConfigFileData back;
  std::string error;
  ASSERT_TRUE(DecodeConfigFile(bytes.data(), bytes.size(), back, &error)) << error;
  EXPECT_EQ(back, d);
  EXPECT_EQ(EncodeConfigFile(back), bytes);
}

TEST(ConfigFile, MinusOneSelectionsAndOutOfRangeIndexesAreReportedAsRead) {
  ConfigFileData d = Sample();
  d.flashIndex = -1;
  d.chipIndex = 7;
  const auto bytes = EncodeConfigFile(d);
  EXPECT_EQ(GetU32(bytes.data(), 15830), 0xFFFFFFFFu);
  ConfigFileData back;
  ASSERT_TRUE(DecodeConfigFile(bytes.data(), bytes.size(), back, nullptr));
  EXPECT_EQ(back.flashIndex, -1);
  EXPECT_EQ(back.chipIndex, 7);
}

TEST(ConfigFile, A300CharacterPathIsWrittenWholeAndReadAs255) {
  TempDir dir;
  ConfigFileData d = Sample();
  d.binPath.clear();
  for (int i = 0; i < 300; ++i) d.binPath += static_cast<char>('a' + i % 26);
  const std::string path = dir.File("long.cfg");
  std::string error;
  ASSERT_TRUE(WriteConfigFile(path, d, &error)) << error;
  EXPECT_EQ(ReadBytes(path).size(), 15838u + 300u);
  ConfigFileData back;
  ASSERT_TRUE(ReadConfigFile(path, back, &error)) << error;
  EXPECT_EQ(back.binPath, d.binPath.substr(0, 255));
}

TEST(ConfigFile, PathEndsAtTheFirstZeroByte) {
  auto bytes = EncodeConfigFile(Sample());
  bytes.push_back(0);
  bytes.push_back('x');
  ConfigFileData back;
  ASSERT_TRUE(DecodeConfigFile(bytes.data(), bytes.size(), back, nullptr));
  EXPECT_EQ(back.binPath, "/work/firmware.bin");
}

TEST(ConfigFile, AShortFileIsRefusedAndChangesNothing) {
  const ConfigFileData d = Sample();
  auto bytes = EncodeConfigFile(d);
  bytes.resize(15837);
  ConfigFileData out;  // defaults
  out.binPath = "kept";
  std::string error;
  EXPECT_FALSE(DecodeConfigFile(bytes.data(), bytes.size(), out, &error));
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(out.binPath, "kept");
  EXPECT_EQ(out.flashIndex, 0);

  TempDir dir;
  WriteBytes(dir.File("short.cfg"), bytes);
  EXPECT_FALSE(ReadConfigFile(dir.File("short.cfg"), out, &error));
  EXPECT_FALSE(ReadConfigFile(dir.File("missing.cfg"), out, &error));
  EXPECT_EQ(out.binPath, "kept");
  EXPECT_FALSE(DecodeConfigFile(nullptr, 0, out, nullptr));
}

TEST(ConfigFile, WriteFailureLeavesTheOldFileIntact) {
  TempDir dir;
  const std::string path = dir.File("keep.cfg");
  WriteBytes(path, {1, 2, 3});
  std::filesystem::create_directory(dir.File("folder.cfg"));
  std::string error;
  EXPECT_FALSE(WriteConfigFile(dir.File("folder.cfg"), Sample(), &error));
  EXPECT_FALSE(WriteConfigFile(dir.File("no/such/folder/x.cfg"), Sample(), &error));
  EXPECT_EQ(ReadBytes(path), (std::vector<uint8_t>{1, 2, 3}));
  EXPECT_EQ(testing::Listing(dir.Path()), (std::vector<std::string>{"folder.cfg", "keep.cfg"}));
}

}  // namespace
}  // namespace tessera
