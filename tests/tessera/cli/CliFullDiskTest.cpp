// tessera-cli build on a disk that holds the image and the CRC image but not both of
// the CRC image's copies: the failure is reported, and no new or partial file stays.
#include <gtest/gtest.h>

#include <sys/mount.h>
#include <unistd.h>

#include <filesystem>

#include "CliRun.h"

namespace tessera::testing {
namespace {

// A tmpfs of `size` mounted on a fresh folder, taken away at the end.
struct SmallDisk {
  explicit SmallDisk(const TempDir& dir, const char* size) : path(dir.File("disk")) {
    std::filesystem::create_directory(path);
    mounted = ::mount("tmpfs", path.c_str(), "tmpfs", 0, (std::string("size=") + size).c_str()) == 0;
  }
  ~SmallDisk() {
    if (mounted) ::umount2(path.c_str(), MNT_DETACH);
  }
  std::string path;
  bool mounted = false;
};

#define NEED_SMALL_DISK(disk)                                                          \
  if (geteuid() != 0) GTEST_SKIP() << "mounting a tmpfs needs root";                  \
  if (!(disk).mounted) GTEST_SKIP() << "cannot mount a tmpfs here (a container without the right)"

TEST(CliFullDisk, BuildThatCannotWriteACopyFailsAndLeavesNoNewFile) {
  SKIP_WITHOUT_CLI();
  TempDir dir;
  SmallDisk small(dir, "2m");
  NEED_SMALL_DISK(small);
  const std::string disk = small.path;

  // GD_8Mbit: a 516 KiB image and three 548 KiB CRC files do not fit in 2 MiB.
  const std::string cfg = dir.File("8.cfg");
  ASSERT_EQ(RunCli(dir, {"new", cfg, "--flash", "GD_8Mbit", "--bin", std::string(QR_SAMPLES_DIR) + "/firmware.bin"})
                .exitCode,
            0);
  CliResult b = RunCli(dir, {"build", cfg, "--out", disk + "/h.IMG"});
  EXPECT_EQ(b.exitCode, 1);
  EXPECT_NE(b.err.find("Can not copy crc_image file: cannot write " + disk + "/h_CRC.TU1"), std::string::npos)
      << b.err;
  EXPECT_TRUE(std::filesystem::is_empty(disk));
}

// On a disk too small for anything the messages name the cause, not a guess.
TEST(CliFullDisk, FailuresNameTheCause) {
  SKIP_WITHOUT_CLI();
  TempDir dir;
  SmallDisk small(dir, "64k");
  NEED_SMALL_DISK(small);
  const std::string cfg = dir.File("8.cfg");
  ASSERT_EQ(RunCli(dir, {"new", cfg, "--bin", std::string(QR_SAMPLES_DIR) + "/firmware.bin"}).exitCode, 0);
  const std::string full = "No space left on device";
  CliResult b = RunCli(dir, {"build", cfg, "--out", small.path + "/h.IMG"});
  EXPECT_EQ(b.exitCode, 1);
  EXPECT_EQ(b.err, "Can not create image file!\ncannot write " + small.path + "/h.IMG: " + full + "\n");
  // A JSON export of 24 KiB, three times over, no longer fits either.
  for (int i = 0; i < 3; ++i) {
    CliResult e = RunCli(dir, {"export", cfg, "--out", small.path + "/c" + std::to_string(i) + ".json"});
    if (e.exitCode == 0) continue;
    EXPECT_EQ(e.exitCode, 1);
    EXPECT_NE(e.err.find("Export failed, nothing was written: cannot write " + small.path), std::string::npos)
        << e.err;
    EXPECT_NE(e.err.find(full), std::string::npos) << e.err;
    return;
  }
  ADD_FAILURE() << "every export fitted on the small disk";
}

}  // namespace
}  // namespace tessera::testing
