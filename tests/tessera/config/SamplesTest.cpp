#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "TempDir.h"
#include "tessera/core/common/ByteIo.h"
#include "tessera/core/common/MessageSink.h"
#include "tessera/core/config/FlashLayout.h"
#include "tessera/core/config/PromptLoader.h"

namespace tessera {
namespace {

namespace fs = std::filesystem;

TEST(Samples, FirmwareFitsEveryCodeArea) {
  const std::string path = std::string(QR_SAMPLES_DIR) + "/firmware.bin";
  if (!fs::exists(path)) GTEST_SKIP() << "no samples (scripts/make-samples.sh)";
  const auto bin = testing::ReadBytes(path);
  EXPECT_GE(bin.size(), 200u * 1024);
  for (int i = 0; i < kFlashTypeCount; ++i) EXPECT_LE(bin.size(), FlashLayoutFor(i).recordOffset);
  EXPECT_EQ(std::string(bin.begin(), bin.begin() + 16), "QR5830-SAMPLE-FW");
}

TEST(Samples, PromptsAreCanonicalWaveFilesThatLoad) {
  const fs::path dir = fs::path(QR_SAMPLES_DIR) / "prompts";
  if (!fs::exists(dir)) GTEST_SKIP() << "no samples (scripts/make-samples.sh)";
  int count = 0;
  for (const auto& e : fs::directory_iterator(dir)) {
    if (e.path().extension() != ".wav") continue;
    ++count;
    SCOPED_TRACE(e.path().string());
    const auto f = testing::ReadBytes(e.path().string());
    ASSERT_GT(f.size(), 48u);
    EXPECT_LT(f.size(), 200u * 1024);
    EXPECT_EQ(std::string(f.begin(), f.begin() + 4), "RIFF");
    EXPECT_EQ(std::string(f.begin() + 8, f.begin() + 16), "WAVEfmt ");
    EXPECT_EQ(GetU32(f.data(), 16), 16u);  // fmt chunk of 16 bytes
    EXPECT_EQ(GetU16(f.data(), 20), 1);    // PCM
    EXPECT_EQ(GetU16(f.data(), 22), 1);    // mono
    EXPECT_EQ(GetU16(f.data(), 34), 16);   // 16-bit
    EXPECT_EQ(std::string(f.begin() + 36, f.begin() + 40), "data");
    EXPECT_EQ(GetU32(f.data(), 40), f.size() - 44);  // samples from 44 to the end
    EXPECT_EQ(GetU32(f.data(), 4), f.size() - 8);

    // Each one alone fits the smallest flash's prompt-file limit and loads whole.
    const size_t limit = static_cast<size_t>(FreePromptSpaceKb(0, true)) * 1024;
    std::vector<uint8_t> image(FlashLayoutFor(0).bufferSize, 0xFF);
    RecordingSink sink;
    PromptLoadInfo info;
    ASSERT_TRUE(LoadPromptFile(e.path().string(), image, FlashLayoutFor(0).promptAreaOffset, limit, sink, &info));
    EXPECT_TRUE(sink.messages.empty());
    EXPECT_EQ(info.storedSize, f.size() - 44);
  }
  EXPECT_GE(count, 2);
}

}  // namespace
}  // namespace tessera
