// tessera-cli build on a disk that holds the image and the CRC image but not both of
// the CRC image's copies: the failure is reported, and no new or partial file stays.
#include <gtest/gtest.h>

#include <sys/mount.h>
#include <unistd.h>

#include <filesystem>

#include "CliRun.h"

namespace tessera::testing {
namespace {

TEST(CliFullDisk, BuildThatCannotWriteACopyFailsAndLeavesNoNewFile) {
  SKIP_WITHOUT_CLI();
  if (geteuid() != 0) GTEST_SKIP() << "mounting a 2 MiB tmpfs needs root";
  TempDir dir;
  const std::string disk = dir.File("disk");
  std::filesystem::create_directory(disk);
  if (::mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=2m") != 0)
    GTEST_SKIP() << "cannot mount a tmpfs here (a container without the right)";
  struct Unmount {
    std::string path;
    ~Unmount() { ::umount2(path.c_str(), MNT_DETACH); }
  } unmount{disk};

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

}  // namespace
}  // namespace tessera::testing
