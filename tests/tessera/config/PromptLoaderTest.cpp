#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "TempDir.h"
#include "tessera/core/common/ByteIo.h"
#include "tessera/core/common/MessageSink.h"
#include "tessera/core/config/PromptLoader.h"

namespace tessera {
namespace {

using testing::TempDir;
using testing::WriteBytes;

// A canonical wave file: 44-byte header with `dataSize` at 40, then `samples` bytes
// 0x10, 0x11, ...
std::vector<uint8_t> Wave(uint32_t dataSize, size_t samples) {
  std::vector<uint8_t> f(44 + samples, 0);
  std::memcpy(f.data(), "RIFF", 4);
  std::memcpy(f.data() + 8, "WAVEfmt ", 8);
  std::memcpy(f.data() + 36, "data", 4);
  PutU32(f.data(), 40, dataSize);
  for (size_t i = 0; i < samples; ++i) f[44 + i] = static_cast<uint8_t>(0x10 + i);
  return f;
}

TEST(LoadPromptData, CopiesSizeSamplesFromTheFifthAndFourZeros) {
  const auto file = Wave(100, 100);
  std::vector<uint8_t> image(4096, 0xFF);
  RecordingSink sink;
  PromptLoadInfo info;
  ASSERT_TRUE(LoadPromptData(file.data(), file.size(), image.data(), image.size(), 256, 1000, sink, &info));
  EXPECT_TRUE(sink.messages.empty());
  EXPECT_EQ(GetU32(image.data(), 256), 100u);
  for (size_t i = 0; i < 96; ++i) ASSERT_EQ(image[260 + i], file[48 + i]) << i;
  for (size_t i = 356; i < 360; ++i) EXPECT_EQ(image[i], 0) << i;
  EXPECT_EQ(image[360], 0xFF);
  EXPECT_EQ(image[255], 0xFF);
  EXPECT_EQ(info.storedSize, 100u);
  EXPECT_EQ(info.samplesCopied, 96u);
  EXPECT_EQ(info.bytesWritten, 104u);
}

TEST(LoadPromptData, LongerThanTheLimitShowsTheMessageAndWritesNothing) {
  const auto file = Wave(100, 100);  // 144 bytes
  std::vector<uint8_t> image(4096, 0xFF);
  RecordingSink sink;
  EXPECT_FALSE(LoadPromptData(file.data(), file.size(), image.data(), image.size(), 0, 143, sink));
  ASSERT_EQ(sink.messages.size(), 1u);
  EXPECT_EQ(sink.messages[0], "File length out of limit, please use file length <= 143 !");
  EXPECT_EQ(image, std::vector<uint8_t>(4096, 0xFF));
  // Exactly the limit is fine.
  sink.messages.clear();
  EXPECT_TRUE(LoadPromptData(file.data(), file.size(), image.data(), image.size(), 0, 144, sink));
  EXPECT_TRUE(sink.messages.empty());
}

TEST(LoadPromptFile, MissingFileIsSilentlyRefused) {
  TempDir dir;
  std::vector<uint8_t> image(4096, 0xFF);
  RecordingSink sink;
  EXPECT_FALSE(LoadPromptFile(dir.File("none.wav"), image, 0, 1 << 20, sink));
  EXPECT_FALSE(LoadPromptFile(dir.Path().string(), image, 0, 1 << 20, sink));  // a folder
  EXPECT_TRUE(sink.messages.empty());
  EXPECT_EQ(image, std::vector<uint8_t>(4096, 0xFF));
}

TEST(LoadPromptFile, LimitMessageUsesTheMaximumInBytes) {
  TempDir dir;
  WriteBytes(dir.File("big.wav"), Wave(5000, 5000));
  std::vector<uint8_t> image(8192, 0xFF);
  RecordingSink sink;
  EXPECT_TRUE(LoadPromptFile(dir.File("big.wav"), image, 0, 19 * 1024, sink));  // 5044 <= 19456
  EXPECT_TRUE(sink.messages.empty());
  EXPECT_FALSE(LoadPromptFile(dir.File("big.wav"), image, 0, 5043, sink));
  ASSERT_EQ(sink.messages.size(), 1u);
  EXPECT_EQ(sink.messages[0], "File length out of limit, please use file length <= 5043 !");
}

TEST(LoadPromptFile, ReadsAFileLikeTheMemoryVariant) {
  TempDir dir;
  const auto file = Wave(3000, 3000);
  WriteBytes(dir.File("p.wav"), file);
  std::vector<uint8_t> a(8192, 0xFF), b(8192, 0xFF);
  RecordingSink sink;
  ASSERT_TRUE(LoadPromptFile(dir.File("p.wav"), a, 4096, 1 << 20, sink));
  ASSERT_TRUE(LoadPromptData(file.data(), file.size(), b.data(), b.size(), 4096, 1 << 20, sink));
  EXPECT_EQ(a, b);
}

TEST(LoadPromptData, HeaderSizeBeyondTheFileIsClampedToTheRealData) {
  const auto file = Wave(50000, 200);  // the header claims far more than the file holds
  std::vector<uint8_t> image(4096, 0xFF);
  RecordingSink sink;
  PromptLoadInfo info;
  ASSERT_TRUE(LoadPromptData(file.data(), file.size(), image.data(), image.size(), 0, 1 << 20, sink, &info));
  EXPECT_EQ(info.headerSize, 50000u);
  EXPECT_EQ(info.storedSize, 200u);
  EXPECT_EQ(GetU32(image.data(), 0), 200u);
  for (size_t i = 0; i < 196; ++i) ASSERT_EQ(image[4 + i], file[48 + i]);
  for (size_t i = 200; i < 204; ++i) EXPECT_EQ(image[i], 0);
  EXPECT_EQ(image[204], 0xFF);
}

TEST(LoadPromptData, SizeBelowFourStoresTheSizeAndNoSamples) {
  for (uint32_t n : {0u, 1u, 3u}) {
    const auto file = Wave(n, 64);
    std::vector<uint8_t> image(64, 0xFF);
    RecordingSink sink;
    PromptLoadInfo info;
    ASSERT_TRUE(LoadPromptData(file.data(), file.size(), image.data(), image.size(), 8, 1 << 20, sink, &info));
    EXPECT_EQ(GetU32(image.data(), 8), n);
    for (size_t i = 12; i < 12 + n; ++i) EXPECT_EQ(image[i], 0);
    EXPECT_EQ(image[12 + n], 0xFF);
    EXPECT_EQ(image[7], 0xFF);
    EXPECT_EQ(info.samplesCopied, 0u);
    EXPECT_EQ(info.bytesWritten, n + 4u);
  }
}

TEST(LoadPromptData, FilesWithoutASizeFieldAreRefused) {
  std::vector<uint8_t> image(64, 0xFF);
  RecordingSink sink;
  const auto file = Wave(10, 0);
  EXPECT_FALSE(LoadPromptData(file.data(), 43, image.data(), image.size(), 0, 1 << 20, sink));
  EXPECT_FALSE(LoadPromptData(nullptr, 0, image.data(), image.size(), 0, 1 << 20, sink));
  EXPECT_EQ(image, std::vector<uint8_t>(64, 0xFF));
  // 44 to 47 bytes: a size field but no samples past offset 48.
  const auto f46 = Wave(10, 2);
  PromptLoadInfo info;
  ASSERT_TRUE(LoadPromptData(f46.data(), f46.size(), image.data(), image.size(), 0, 1 << 20, sink, &info));
  EXPECT_EQ(info.storedSize, 2u);
  EXPECT_EQ(info.samplesCopied, 0u);
}

TEST(LoadPromptData, CopyIsBoundedAtTheEndOfTheBuffer) {
  const auto file = Wave(1000, 1000);
  std::vector<uint8_t> image(600, 0xFF);
  RecordingSink sink;
  PromptLoadInfo info;
  ASSERT_TRUE(LoadPromptData(file.data(), file.size(), image.data(), image.size(), 100, 1 << 20, sink, &info));
  EXPECT_EQ(info.storedSize, 496u);  // 600 - 100 - 4
  EXPECT_EQ(GetU32(image.data(), 100), 496u);
  for (size_t i = 0; i < 492; ++i) ASSERT_EQ(image[104 + i], file[48 + i]);
  for (size_t i = 596; i < 600; ++i) EXPECT_EQ(image[i], 0);
  EXPECT_EQ(image[99], 0xFF);
  // Fewer than four bytes left, or an offset past the end: nothing written.
  std::vector<uint8_t> small(10, 0xFF);
  EXPECT_FALSE(LoadPromptData(file.data(), file.size(), small.data(), small.size(), 7, 1 << 20, sink));
  EXPECT_FALSE(LoadPromptData(file.data(), file.size(), small.data(), small.size(), 11, 1 << 20, sink));
  EXPECT_EQ(small, std::vector<uint8_t>(10, 0xFF));
  EXPECT_TRUE(LoadPromptData(file.data(), file.size(), small.data(), small.size(), 6, 1 << 20, sink, &info));
  EXPECT_EQ(info.storedSize, 0u);
  EXPECT_EQ(GetU32(small.data(), 6), 0u);
}

}  // namespace
}  // namespace tessera
