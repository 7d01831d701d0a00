// Configuration files from other tools may hold any byte. Reading one must never
// crash or corrupt memory, and once the document has taken it in, writing and reading
// again is stable.
#include <gtest/gtest.h>

#include <random>

#include "DocumentFixture.h"
#include "tessera/core/common/ByteIo.h"
#include "tessera/core/config/ConfigFile.h"

namespace tessera::testing {
namespace {

TEST_F(DocumentTest, RandomFilesLoadAndSettleAfterOneWrite) {
  std::mt19937 rng(5830);
  int written = 0;
  for (int round = 0; round < 40; ++round) {
    std::vector<uint8_t> f(cfgfile::kFixedSize + rng() % 300);
    for (auto& b : f) b = static_cast<uint8_t>(rng());
    // Half the files keep valid selections so that both paths are taken.
    if (round % 2 == 0) {
      PutI32(f.data(), cfgfile::kFlashIndex, static_cast<int32_t>(rng() % 4));
      PutI32(f.data(), cfgfile::kChipIndex, static_cast<int32_t>(rng() % 3));
    }
    WriteBytes(dir.File("r.cfg"), f);
    RecordingSink s;
    CTesseraView v(s);
    v.OnInitialUpdate();
    ASSERT_TRUE(v.ReadConfigFile(dir.File("r.cfg")));
    EXPECT_LE(v.binPath.size(), 255u);
    if (!v.WriteConfigFile(dir.File("a.cfg"))) continue;  // e.g. soft boot with the MOS switch
    ++written;
    ASSERT_TRUE(v.ReadConfigFile(dir.File("a.cfg")));
    ASSERT_TRUE(v.WriteConfigFile(dir.File("b.cfg")));
    EXPECT_EQ(ReadBytes(dir.File("b.cfg")), ReadBytes(dir.File("a.cfg"))) << "round " << round;
  }
  EXPECT_GT(written, 10);
}

}  // namespace
}  // namespace tessera::testing
