// tessera-cli build refuses an image that lacks what its configuration names, or whose
// inputs are unusable, with exit status 1, a message naming the cause and no file
// written; --allow-missing-prompts lets only prompts that cannot be read go.
#include <gtest/gtest.h>

#include <filesystem>

#include "CliRun.h"
#include "tessera/core/common/ByteIo.h"
#include "tessera/core/common/MessageSink.h"
#include "tessera/core/config/ConfigFile.h"
#include "tessera/core/document/CTesseraView.h"

namespace tessera::testing {
namespace {

const std::string kSamples = QR_SAMPLES_DIR;

std::vector<uint8_t> Wave(uint32_t dataSize, size_t samples) {
  std::vector<uint8_t> f(44 + samples, 0x5A);
  PutU32(f.data(), 40, dataSize);
  return f;
}

// A configuration with two wave prompts, a.wav (10000 data bytes: three 4 KiB blocks)
// and b.wav (3000: one block), written by the document as Write Config writes it.
class CliBuildChecks : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteBytes(dir.File("a.wav"), Wave(10000, 10000));
    WriteBytes(dir.File("b.wav"), Wave(3000, 3000));
    RecordingSink sink;
    CTesseraView view(sink);
    view.OnInitialUpdate();
    const char* files[] = {"a.wav", "b.wav"};
    DocumentState state = view.Snapshot();  // as a configuration that was read leaves it
    state.binPath = kSamples + "/firmware.bin";
    for (int i = 0; i < 2; ++i) {
      SoundEffectEntry& e = state.wave.soundTable[static_cast<size_t>(i)];
      e.enabled = 1;
      e.event = i + 1;
      e.SetPath(dir.File(files[i]));
      e.fileSize = i == 0 ? 10000 : 3000;
    }
    view.Restore(state);
    ASSERT_TRUE(view.WriteConfigFile(dir.File("p.cfg"))) << sink.messages.size();
    std::filesystem::create_directory(dir.File("out"));
  }

  CliResult Build(std::vector<std::string> extra = {}, const std::string& cfg = "p.cfg") {
    std::vector<std::string> args{"build", dir.File(cfg), "--out", dir.File("out/p.IMG")};
    args.insert(args.end(), extra.begin(), extra.end());
    return RunCli(dir, args);
  }

  // Refused with exit status 1, a message holding `cause`, nothing on standard output
  // and no file written.
  void ExpectRefused(const CliResult& r, const std::string& cause) {
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_NE(r.err.find(cause), std::string::npos) << r.err;
    EXPECT_TRUE(r.out.empty()) << r.out;
    EXPECT_TRUE(std::filesystem::is_empty(dir.File("out"))) << Listing(dir.File("out")).size();
  }

  TempDir dir;
};

TEST_F(CliBuildChecks, PromptsThatCannotBeReadRefuseTheBuildUnlessAllowed) {
  SKIP_WITHOUT_CLI();
  ASSERT_EQ(Build().exitCode, 0);
  const auto whole = ReadBytes(dir.File("out/p.IMG"));
  std::filesystem::remove_all(dir.File("out"));
  std::filesystem::create_directory(dir.File("out"));

  const std::string entry = "Sound effect row 2 (CONNECTED, " + dir.File("b.wav") + ")";
  std::filesystem::remove(dir.File("b.wav"));
  ExpectRefused(Build(), entry + ": the file does not exist");
  std::filesystem::create_directory(dir.File("b.wav"));
  ExpectRefused(Build(), entry + ": not a regular file");
  std::filesystem::remove(dir.File("b.wav"));
  WriteBytes(dir.File("b.wav"), std::vector<uint8_t>(43, 0));  // no room for the size field
  ExpectRefused(Build(), entry + ": the file cannot be read");

  // Allowed: the image is the whole one with b.wav's block left erased.
  CliResult r = Build({"--allow-missing-prompts"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const auto img = ReadBytes(dir.File("out/p.IMG"));
  ASSERT_EQ(img.size(), whole.size());
  const size_t b = 0x81000 + 3 * 4096;
  EXPECT_TRUE(std::equal(whole.begin(), whole.begin() + b, img.begin()));
  EXPECT_TRUE(std::all_of(img.begin() + b, img.end(), [](uint8_t x) { return x == 0xFF; }));
}

TEST_F(CliBuildChecks, DroppedOrOverrunningPromptsAreRefusedEvenWhenMissingOnesAreAllowed) {
  SKIP_WITHOUT_CLI();
  // a.wav grew after it was chosen: 13000 data bytes in the 12 KiB its 10000 gave it.
  WriteBytes(dir.File("a.wav"), Wave(13000, 13000));
  ExpectRefused(Build({"--allow-missing-prompts"}),
                "Sound effect row 1 (POWER ON, " + dir.File("a.wav") +
                    "): the file now holds 13000 bytes of wave data, but the configuration recorded "
                    "10000 and gave it 12288 bytes of flash");
  // Grown, but still inside its blocks: built.
  WriteBytes(dir.File("a.wav"), Wave(12284, 12284));
  ASSERT_EQ(Build().exitCode, 0);
  std::filesystem::remove_all(dir.File("out"));
  std::filesystem::create_directory(dir.File("out"));

  // Longer than the 463 KiB left for prompts on GD_8Mbit: the loader leaves it out.
  WriteBytes(dir.File("a.wav"), Wave(10000, 463 * 1024));
  const CliResult r = Build({"--allow-missing-prompts"});
  ExpectRefused(r, "File length out of limit, please use file length <= 474112 !\n");
  EXPECT_NE(r.err.find("Sound effect row 1 (POWER ON, " + dir.File("a.wav") +
                       "): the file is longer than the space left for prompts"),
            std::string::npos)
      << r.err;
}

TEST_F(CliBuildChecks, EmptyBinAndSelectionsOutsideTheListsAreRefused) {
  SKIP_WITHOUT_CLI();
  WriteBytes(dir.File("empty.bin"), {});
  ExpectRefused(Build({"--bin", dir.File("empty.bin")}),
                "The bin file " + dir.File("empty.bin") + " is empty");

  for (size_t field : {cfgfile::kFlashIndex, cfgfile::kChipIndex}) {
    auto cfg = ReadBytes(dir.File("p.cfg"));
    PutU32(cfg.data(), field, 4);
    WriteBytes(dir.File("bad.cfg"), cfg);
    // Read Config's own message, then the refusal.
    const CliResult r = Build({}, "bad.cfg");
    ExpectRefused(r, "index 4 is not one of the");
    EXPECT_NE(r.err.find("Nothing was written: " + dir.File("bad.cfg")), std::string::npos) << r.err;
  }
}

}  // namespace
}  // namespace tessera::testing
