// The JSON form of configuration files, through the built program: export then import
// gives the same bytes for any file, and a bad document changes nothing.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "CliRun.h"
#include "tessera/core/common/ByteIo.h"
#include "tessera/core/config/ConfigFile.h"
#include "tessera/core/config/ConfigRecord.h"

namespace tessera::testing {
namespace {

std::vector<uint8_t> RandomFile(uint32_t seed, size_t pathLen) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> f(cfgfile::kFixedSize + pathLen);
  for (auto& b : f) b = static_cast<uint8_t>(rng());
  return f;
}

class CliJson : public ::testing::Test {
 protected:
  TempDir dir;

  std::vector<uint8_t> RoundTrip(const std::vector<uint8_t>& file) {
    WriteBytes(dir.File("in.cfg"), file);
    CliResult e = RunCli(dir, {"export", dir.File("in.cfg"), "--out", dir.File("c.json")});
    EXPECT_EQ(e.exitCode, 0) << e.err;
    CliResult i = RunCli(dir, {"import", dir.File("c.json"), "--out", dir.File("out.cfg")});
    EXPECT_EQ(i.exitCode, 0) << i.err;
    return ReadBytes(dir.File("out.cfg"));
  }

  std::string ExportText(const std::vector<uint8_t>& file) {
    WriteBytes(dir.File("in.cfg"), file);
    CliResult e = RunCli(dir, {"export", dir.File("in.cfg")});
    EXPECT_EQ(e.exitCode, 0) << e.err;
    return e.out;
  }
};

TEST_F(CliJson, RandomFilesRoundTripByteForByte) {
  SKIP_WITHOUT_CLI();
  // Random bytes give NaN and infinite gains, invalid UTF-8 names and paths, GPIO
  // numbers above 24, indexes outside every name table and stray reserved bits.
  for (uint32_t seed : {1u, 2u, 3u}) {
    auto file = RandomFile(seed, seed * 97);
    EXPECT_EQ(RoundTrip(file), file) << "seed " << seed;
  }
}

TEST_F(CliJson, OddButCleanValuesRoundTrip) {
  SKIP_WITHOUT_CLI();
  std::vector<uint8_t> f(cfgfile::kFixedSize, 0);
  // A 32-character name without terminator, a PIN with bytes after its terminator,
  // a sound path of 256 bytes without terminator, a path with a NUL inside.
  std::memset(f.data() + rec::device_name, 'N', rec::device_name_len);
  std::memcpy(f.data() + rec::pin_code, "12\0\0x", 5);
  std::memset(f.data() + cfgfile::kSound + 12, 'p', 256);
  PutF32(f.data(), cfgfile::kEq + 12, -0.0f);
  PutI32(f.data(), cfgfile::kFlashIndex, -1);
  PutI32(f.data(), cfgfile::kChipIndex, 7);
  const char tail[] = "a\0b";
  f.insert(f.end(), tail, tail + 3);
  EXPECT_EQ(RoundTrip(f), f);

  std::vector<uint8_t> g(cfgfile::kFixedSize, 0);
  const std::string chinese = "样例/提示音.wav";
  std::memcpy(g.data() + cfgfile::kSound + 12, chinese.data(), chinese.size());
  g.insert(g.end(), chinese.begin(), chinese.end());
  EXPECT_EQ(RoundTrip(g), g);
}

TEST_F(CliJson, NamesAreUsedForEventsGpiosAndSelections) {
  SKIP_WITHOUT_CLI();
  std::vector<uint8_t> f(cfgfile::kFixedSize, 0);
  PutU8(f.data(), rec::pa_mute_gpio, 5);
  PutU8(f.data(), rec::led1_gpio, 0xFF);
  // Key entry 0: event 1, GPIO2 and GPIO3, "LONG PRESS", "HFP".
  PutI32(f.data(), cfgfile::kKeys + 0, 1);
  PutU32(f.data(), cfgfile::kKeys + 4, 0xC);
  PutI32(f.data(), cfgfile::kKeys + 8, 2);
  PutI32(f.data(), cfgfile::kKeys + 12, 2);
  PutI32(f.data(), cfgfile::kFlashIndex, 3);
  PutI32(f.data(), cfgfile::kChipIndex, 2);
  const std::string path = "samples/firmware.bin";
  f.insert(f.end(), path.begin(), path.end());
  std::string j = ExportText(f);
  EXPECT_NE(j.find("\"pa_mute_gpio\": \"GPIO05\""), std::string::npos);
  EXPECT_NE(j.find("\"led1_gpio\": \"UNUSED\""), std::string::npos);
  EXPECT_NE(j.find("\"gpios\": [\n        \"GPIO02\",\n        \"GPIO03\"\n      ]"),
            std::string::npos)
      << j;
  EXPECT_NE(j.find("\"type\": \"LONG PRESS\""), std::string::npos);
  EXPECT_NE(j.find("\"state\": \"HFP\""), std::string::npos);
  EXPECT_NE(j.find("\"event\": \"PLAY/PAUSE\""), std::string::npos);
  EXPECT_NE(j.find("\"flash_type\": \"GD_32Mbit\""), std::string::npos);
  EXPECT_NE(j.find("\"chip_type\": \"QFN56_7X7\""), std::string::npos);
  EXPECT_NE(j.find("\"bin_path\": \"samples/firmware.bin\""), std::string::npos);
  EXPECT_EQ(RoundTrip(f), f);
}

TEST_F(CliJson, EditedDocumentImportsTheEdit) {
  SKIP_WITHOUT_CLI();
  std::vector<uint8_t> f(cfgfile::kFixedSize, 0);
  std::string j = ExportText(f);
  auto at = j.find("\"device_name\": \"\"");
  ASSERT_NE(at, std::string::npos);
  j.replace(at, std::strlen("\"device_name\": \"\""), "\"device_name\": \"SPEAKER\"");
  at = j.find("\"chip_type\": \"QFN40_5X5\"");
  ASSERT_NE(at, std::string::npos);
  j.replace(at, std::strlen("\"chip_type\": \"QFN40_5X5\""), "\"chip_type\": \"QFN48_6X6\"");
  WriteBytes(dir.File("e.json"), std::vector<uint8_t>(j.begin(), j.end()));
  CliResult i = RunCli(dir, {"import", dir.File("e.json"), "--out", dir.File("e.cfg")});
  ASSERT_EQ(i.exitCode, 0) << i.err;
  auto out = ReadBytes(dir.File("e.cfg"));
  ASSERT_EQ(out.size(), cfgfile::kFixedSize);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(out.data() + rec::device_name), 8),
            std::string("SPEAKER\0", 8));
  EXPECT_EQ(GetI32(out.data(), cfgfile::kChipIndex), 1);
}

TEST_F(CliJson, BadInputIsRefusedAndWritesNothing) {
  SKIP_WITHOUT_CLI();
  std::vector<uint8_t> f(cfgfile::kFixedSize, 0);
  const std::string good = ExportText(f);
  const std::vector<uint8_t> old = {'o', 'l', 'd'};
  struct Case {
    const char* from;
    const char* to;
    const char* mention;
  } cases[] = {
      {"\"pa_mute_gpio\": \"GPIO00\"", "\"pa_mute_gpio\": \"GPIO256\"", "pa_mute_gpio"},
      {"\"a2dp_volume\": 0", "\"a2dp_volume\": 256", "a2dp_volume"},
      {"\"chip_type\": \"QFN40_5X5\"", "\"chip_type\": \"QFN99\"", "chip_type"},
      {"\"device_name\": \"\"", "\"device_name\": \"123456789012345678901234567890123\"",
       "device_name"},
      {"\"a2dp_volume\": 0", "\"a2dp_volme\": 0", "a2dp_volme"},
      {"\"bt_address\": \"0x000000000000\"", "\"bt_address\": \"0X000000000000\"", "bt_address"},
      {"\"format\": \"tessera-config/1\"", "\"format\": \"other\"", "format"},
      {"\"gain_db\": 0.0", "\"gain_db\": 1e39", "gain_db"},
  };
  for (const Case& c : cases) {
    std::string j = good;
    auto at = j.find(c.from);
    ASSERT_NE(at, std::string::npos) << c.from;
    j.replace(at, std::strlen(c.from), c.to);
    WriteBytes(dir.File("bad.json"), std::vector<uint8_t>(j.begin(), j.end()));
    WriteBytes(dir.File("old.cfg"), old);
    CliResult i = RunCli(dir, {"import", dir.File("bad.json"), "--out", dir.File("old.cfg")});
    EXPECT_EQ(i.exitCode, 1) << c.to;
    EXPECT_NE(i.err.find(c.mention), std::string::npos) << i.err;
    EXPECT_EQ(ReadBytes(dir.File("old.cfg")), old) << c.to;
  }
  // A file shorter than the fixed part has no JSON form.
  WriteBytes(dir.File("short.cfg"), std::vector<uint8_t>(cfgfile::kFixedSize - 1, 0));
  CliResult e = RunCli(dir, {"export", dir.File("short.cfg"), "--out", dir.File("short.json")});
  EXPECT_EQ(e.exitCode, 1);
  EXPECT_FALSE(std::filesystem::exists(dir.File("short.json")));
  // Unknown options are errors.
  EXPECT_NE(RunCli(dir, {"export", dir.File("in.cfg"), "--bogus"}).exitCode, 0);
}

}  // namespace
}  // namespace tessera::testing
