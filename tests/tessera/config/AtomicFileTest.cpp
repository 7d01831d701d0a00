#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#ifndef _WIN32
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>
#endif

#include "TempDir.h"
#include "tessera/core/common/AtomicFile.h"

namespace tessera {
namespace {

using testing::Listing;
using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;
namespace fs = std::filesystem;

TEST(AtomicFile, WritesAndReplaces) {
  TempDir dir;
  const std::string p = dir.File("a.bin");
  std::string error;
  const std::vector<uint8_t> one{1, 2, 3}, two{9, 8};
  ASSERT_TRUE(WriteFileAtomically(p, one, &error)) << error;
  EXPECT_EQ(ReadBytes(p), one);
  ASSERT_TRUE(WriteFileAtomically(p, two, &error)) << error;
  EXPECT_EQ(ReadBytes(p), two);
  ASSERT_TRUE(WriteFileAtomically(p, nullptr, 0, &error)) << error;
  EXPECT_TRUE(ReadBytes(p).empty());
  EXPECT_EQ(Listing(dir.Path()), std::vector<std::string>{"a.bin"});  // no temporary left
}

TEST(AtomicFile, KeepsThePermissionsOfTheReplacedFile) {
#ifdef _WIN32
  GTEST_SKIP() << "Windows files carry no POSIX permission bits (only read-only)";
#endif
  TempDir dir;
  const std::string p = dir.File("m.bin");
  WriteBytes(p, {1});
  fs::permissions(p, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  ASSERT_TRUE(WriteFileAtomically(p, std::vector<uint8_t>{2}, nullptr));
  EXPECT_EQ(fs::status(p).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST(AtomicFile, PathIsAFolderLeavesEverythingAsItWas) {
  TempDir dir;
  fs::create_directory(dir.File("d"));
  WriteBytes(dir.File("d/inside"), {7});
  std::string error;
  EXPECT_FALSE(WriteFileAtomically(dir.File("d"), std::vector<uint8_t>{1, 2}, &error));
  EXPECT_FALSE(error.empty());
  EXPECT_TRUE(fs::is_directory(dir.File("d")));
  EXPECT_EQ(ReadBytes(dir.File("d/inside")), std::vector<uint8_t>{7});
  EXPECT_EQ(Listing(dir.Path()), std::vector<std::string>{"d"});
}

#ifndef _WIN32
TEST(AtomicFile, ReadOnlyFolderLeavesTheOldFileIntact) {
  if (geteuid() == 0) GTEST_SKIP() << "root ignores folder permissions";
  TempDir dir;
  fs::create_directory(dir.File("ro"));
  const std::string p = dir.File("ro/old.bin");
  WriteBytes(p, {1, 2, 3});
  fs::permissions(dir.File("ro"), fs::perms::owner_read | fs::perms::owner_exec);
  std::string error;
  EXPECT_FALSE(WriteFileAtomically(p, std::vector<uint8_t>{4, 5}, &error));
  EXPECT_FALSE(error.empty());
  fs::permissions(dir.File("ro"), fs::perms::owner_all);
  EXPECT_EQ(ReadBytes(p), (std::vector<uint8_t>{1, 2, 3}));
  EXPECT_EQ(Listing(dir.File("ro")), std::vector<std::string>{"old.bin"});
}

#else
TEST(AtomicFile, ReadOnlyFolderLeavesTheOldFileIntact) {
  GTEST_SKIP() << "Windows has no folder write permission to take away";
}
#endif

TEST(AtomicFile, FolderThatDoesNotExistFailsCleanly) {
  TempDir dir;
  std::string error;
  EXPECT_FALSE(WriteFileAtomically(dir.File("missing/x.bin"), std::vector<uint8_t>{1}, &error));
  EXPECT_FALSE(error.empty());
  EXPECT_TRUE(Listing(dir.Path()).empty());
}

#ifndef _WIN32
TEST(AtomicFile, WriteThatFailsHalfwayLeavesTheOldFileAndNoTemporary) {
  // A file-size limit makes the write itself fail (EFBIG) after the temporary exists;
  // this works for root too.
  TempDir dir;
  const std::string p = dir.File("old.bin");
  const std::vector<uint8_t> old(100, 0x11);
  WriteBytes(p, old);
  const std::vector<uint8_t> big(64 * 1024, 0x22);

  struct sigaction ignore {}, previous {};
  ignore.sa_handler = SIG_IGN;
  ASSERT_EQ(sigaction(SIGXFSZ, &ignore, &previous), 0);
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  rlimit small = saved;
  small.rlim_cur = 4096;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  std::string error;
  const bool ok = WriteFileAtomically(p, big, &error);
  setrlimit(RLIMIT_FSIZE, &saved);
  sigaction(SIGXFSZ, &previous, nullptr);

  EXPECT_FALSE(ok);
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(ReadBytes(p), old);
  EXPECT_EQ(Listing(dir.Path()), std::vector<std::string>{"old.bin"});
}

#else
TEST(AtomicFile, WriteThatFailsHalfwayLeavesTheOldFileAndNoTemporary) {
  GTEST_SKIP() << "needs a POSIX file-size limit to make a write fail halfway";
}
#endif

TEST(AtomicFile, CopyReplacesAndFailsCleanly) {
  TempDir dir;
  WriteBytes(dir.File("src"), {5, 6, 7});
  WriteBytes(dir.File("dst"), {1});
  std::string error;
  ASSERT_TRUE(CopyFileAtomically(dir.File("src"), dir.File("dst"), &error)) << error;
  EXPECT_EQ(ReadBytes(dir.File("dst")), (std::vector<uint8_t>{5, 6, 7}));
  EXPECT_FALSE(CopyFileAtomically(dir.File("nope"), dir.File("dst"), &error));
  EXPECT_EQ(ReadBytes(dir.File("dst")), (std::vector<uint8_t>{5, 6, 7}));
  EXPECT_EQ(Listing(dir.Path()), (std::vector<std::string>{"dst", "src"}));
  // Larger than one copy chunk.
  std::vector<uint8_t> big(200000);
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<uint8_t>(i * 13);
  WriteBytes(dir.File("big"), big);
  ASSERT_TRUE(CopyFileAtomically(dir.File("big"), dir.File("big2"), &error));
  EXPECT_EQ(ReadBytes(dir.File("big2")), big);
}

TEST(AtomicFile, ReadWholeFileHonoursTheLimit) {
  TempDir dir;
  std::vector<uint8_t> data(100000, 0x42);
  WriteBytes(dir.File("f"), data);
  std::vector<uint8_t> out;
  std::string error;
  ASSERT_TRUE(ReadWholeFile(dir.File("f"), out, 100000, &error)) << error;
  EXPECT_EQ(out, data);
  EXPECT_FALSE(ReadWholeFile(dir.File("f"), out, 99999, &error));
  EXPECT_TRUE(out.empty());
  ASSERT_TRUE(ReadWholeFile(dir.File("f"), out, SIZE_MAX, &error));
  EXPECT_EQ(out.size(), 100000u);
  ASSERT_TRUE(ReadFilePrefix(dir.File("f"), out, 10, &error));
  EXPECT_EQ(out.size(), 10u);
  EXPECT_FALSE(ReadWholeFile(dir.File("none"), out, 10, &error));
  EXPECT_FALSE(ReadWholeFile(dir.Path().string(), out, 10, &error));
}

}  // namespace
}  // namespace tessera
