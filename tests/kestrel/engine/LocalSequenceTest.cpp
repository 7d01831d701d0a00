// The image file's own address sequence: one holder at a time, writes only to the file
// that was loaded, a range with an end that survives the run, and the engine's use of it
// (an address is had and stored before a board is erased).
#include <gtest/gtest.h>
#include <filesystem>
#include <fstream>

#include "core/ProductionEngine.h"
#include "InProcessTransport.h"
#include "sequence/local/LocalSequence.h"
#include "sequence/local/SequenceFiles.h"
#include "TestFiles.h"

namespace kestrel::test {
namespace {

void MakeReadOnly(const std::string& path) {
  using std::filesystem::perms;
  std::filesystem::permissions(path, perms::owner_read | perms::group_read | perms::others_read);
}

struct SequenceRig {
  TempDir dir;
  std::string image = dir.File("line.IMG");
  std::vector<uint8_t> bytes;
  explicit SequenceRig(const char* address = "00:1a:7d:00:00:01") : bytes(PatternImage(0x81000)) {
    PutRecord(bytes, 0x80000, "NAME", Addr(address));
    WriteFile(image, bytes);
  }
  LocalSequenceSource Source() const {
    ImageInfo info;
    EXPECT_EQ(ImageFile::Inspect(image, &info), ImageError::kNone);
    return LocalSequenceSource{image, 0x80064, info.length, info.checksum};
  }
  std::shared_ptr<LocalSequence> Open(SequenceStatus* status, std::string* message) const {
    return LocalSequence::Open(Source(), status, message);
  }
  std::shared_ptr<LocalSequence> Open() const {
    SequenceStatus status = SequenceStatus::kRefused;
    std::string message;
    auto s = Open(&status, &message);
    EXPECT_EQ(status, SequenceStatus::kOk) << message;
    return s;
  }
  BtAddress FileAddress() const {
    const auto f = ReadFile(image);
    BtAddress a;
    std::copy_n(f.begin() + 0x80064, 6, a.bytes.begin());
    return a;
  }
};

TEST(LocalSequenceLock, SecondHolderIsRefusedWithTheHoldersNameUntilTheFirstLetsGo) {
  SequenceRig rig;
  auto first = rig.Open();
  ASSERT_TRUE(first);
  SequenceStatus status = SequenceStatus::kOk;
  std::string message;
  EXPECT_FALSE(rig.Open(&status, &message));
  EXPECT_EQ(status, SequenceStatus::kHeld);
  const std::string holder = HostName() + " " + std::to_string(ProcessIdNumber());
  EXPECT_NE(message.find(holder), std::string::npos) << message;
  EXPECT_EQ(rig.FileAddress(), Addr("00:1a:7d:00:00:01"));  // the refused one wrote nothing
  first->Release();
  EXPECT_TRUE(rig.Open());
}

// Renaming over a file another handle has open is a POSIX habit (Windows refuses it
// unless the system does POSIX-style renames); the check is the same code on both.
#ifndef _WIN32
TEST(LocalSequenceImage, ReplacedImageIsReportedAndNeitherFileIsWritten) {
  SequenceRig rig;
  auto s = rig.Open();
  BtAddress a;
  std::string message;
  ASSERT_EQ(s->HandOut(AdapterId::FromText("1-1"), &a, &message), SequenceStatus::kOk);
  EXPECT_EQ(a, Addr("00:1a:7d:00:00:01"));
  // A new build saved under the same name: written aside and renamed over it.
  auto other = PatternImage(0x90000);
  WriteFile(rig.dir.File("new.IMG"), other);
  std::filesystem::rename(rig.dir.File("new.IMG"), rig.image);
  EXPECT_EQ(s->HandOut(AdapterId::FromText("1-1"), &a, &message), SequenceStatus::kUnavailable);
  EXPECT_NE(message.find("replaced"), std::string::npos) << message;
  EXPECT_EQ(ReadFile(rig.image), other);
  EXPECT_EQ(s->SetRange(Addr("00:1a:7d:00:10:00"), std::nullopt, &message), SequenceStatus::kUnavailable);
  EXPECT_EQ(ReadFile(rig.image), other);
}
#endif

TEST(LocalSequenceImage, ReadOnlyImageIsRefusedAtOpen) {
  SequenceRig rig;
  MakeReadOnly(rig.image);
  SequenceStatus status = SequenceStatus::kOk;
  std::string message;
  EXPECT_FALSE(rig.Open(&status, &message));
  EXPECT_EQ(status, SequenceStatus::kUnavailable);
  EXPECT_NE(message.find("read-only"), std::string::npos) << message;
}

TEST(LocalSequenceRange, EndsWithItsBlockAndStaysUsedUpInALaterRun) {
  SequenceRig rig("00:1a:7d:ff:ff:fe");
  {
    auto s = rig.Open();
    EXPECT_EQ(s->Last(), Addr("00:1a:7d:ff:ff:ff"));
    EXPECT_EQ(s->Remaining(), 2u);
    BtAddress a;
    std::string message;
    ASSERT_EQ(s->HandOut(AdapterId::FromText("x"), &a, &message), SequenceStatus::kOk);
    ASSERT_EQ(s->HandOut(AdapterId::FromText("x"), &a, &message), SequenceStatus::kOk);
    EXPECT_EQ(a, Addr("00:1a:7d:ff:ff:ff"));
    EXPECT_EQ(s->HandOut(AdapterId::FromText("x"), &a, &message), SequenceStatus::kExhausted);
    EXPECT_NE(message.find("0 left"), std::string::npos) << message;
    EXPECT_EQ(a, Addr("00:1a:7d:ff:ff:ff"));  // untouched
    EXPECT_FALSE(s->PeekNext());
  }
  // The image now holds 00:1a:7e:00:00:00; the range file still says it is used up.
  EXPECT_EQ(rig.FileAddress(), Addr("00:1a:7e:00:00:00"));
  auto again = rig.Open();
  EXPECT_EQ(again->Remaining(), 0u);
  BtAddress a;
  std::string message;
  EXPECT_EQ(again->HandOut(AdapterId::FromText("x"), &a, &message), SequenceStatus::kExhausted);
}

TEST(LocalSequenceRange, TopOfTheAddressSpaceDoesNotWrapToZero) {
  SequenceRig rig("ff:ff:ff:ff:ff:fe");
  auto s = rig.Open();
  BtAddress a;
  std::string message;
  ASSERT_EQ(s->HandOut(AdapterId::FromText("x"), &a, &message), SequenceStatus::kOk);
  ASSERT_EQ(s->HandOut(AdapterId::FromText("x"), &a, &message), SequenceStatus::kOk);
  EXPECT_EQ(a, Addr("ff:ff:ff:ff:ff:ff"));
  EXPECT_EQ(s->HandOut(AdapterId::FromText("x"), &a, &message), SequenceStatus::kExhausted);
  s->Release();
  EXPECT_EQ(rig.Open()->Remaining(), 0u);
}

TEST(LocalSequenceRange, SetRangeKeepsAnExplicitLastAndRefusesOneBeforeTheFirst) {
  SequenceRig rig;
  auto s = rig.Open();
  std::string message;
  EXPECT_EQ(s->SetRange(Addr("00:1a:7d:00:01:00"), Addr("00:1a:7d:00:00:ff"), &message), SequenceStatus::kRefused);
  ASSERT_EQ(s->SetRange(Addr("00:1a:7d:00:01:00"), Addr("00:1a:7d:00:01:02"), &message), SequenceStatus::kOk);
  EXPECT_EQ(rig.FileAddress(), Addr("00:1a:7d:00:01:00"));
  EXPECT_EQ(s->Remaining(), 3u);
  s->Release();
  auto reopened = rig.Open();
  EXPECT_EQ(reopened->Last(), Addr("00:1a:7d:00:01:02"));
  EXPECT_EQ(reopened->Remaining(), 3u);
}

TEST(LocalSequenceRange, MissingOrForeignRangeFileStartsADefaultRangeAndSaysSo) {
  SequenceRig rig;
  {
    auto s = rig.Open();
    std::string message;
    ASSERT_EQ(s->SetRange(Addr("00:1a:7d:00:00:01"), Addr("00:1a:7d:00:00:09"), &message), SequenceStatus::kOk);
  }
  ASSERT_TRUE(std::filesystem::exists(LocalSequence::RangePath(rig.image)));
  // Another build (another checksum) under the same name.
  rig.bytes[0x100] ^= 0xFF;
  WriteFile(rig.image, rig.bytes);
  SequenceStatus status;
  std::string message;
  auto s = rig.Open(&status, &message);
  ASSERT_TRUE(s);
  EXPECT_NE(message.find("another image"), std::string::npos) << message;
  EXPECT_EQ(s->Last(), Addr("00:1a:7d:ff:ff:ff"));
  s->Release();
  std::filesystem::remove(LocalSequence::RangePath(rig.image));
  s = rig.Open(&status, &message);
  EXPECT_EQ(s->Last(), Addr("00:1a:7d:ff:ff:ff"));
  EXPECT_TRUE(std::filesystem::exists(LocalSequence::RangePath(rig.image)));
}

// The engine with the image's own sequence: what a second window, a read-only image or a
// replaced image leads to on the boards.
struct Station {
  FakeClock clock;
  std::vector<std::unique_ptr<ModelAdapter>> adapters;
  InProcessTransport transport;
  EngineEvents events;
  std::unique_ptr<ProductionEngine> engine;
  Station(const std::string& readback, int boards = 2) {
    for (int i = 0; i < boards; ++i) {
      adapters.push_back(std::make_unique<ModelAdapter>(clock));
      adapters.back()->adapterId = AdapterId::FromText("1-" + std::to_string(i));
      transport.adapters.push_back(adapters.back().get());
    }
    engine = std::make_unique<ProductionEngine>(transport, clock, events, WithLocalSequence(readback));
    engine->RefreshSlots();
  }
  int Erases() const {
    int n = 0;
    for (const auto& a : adapters) n += a->Erases();
    return n;
  }
};

TEST(SequenceEngine, SecondStationOnOneImageBurnsNothingAndNamesTheHolder) {
  SequenceRig rig;
  Station one(rig.dir.File("rb1")), two(rig.dir.File("rb2"));
  ASSERT_EQ(one.engine->LoadImage(rig.image), ImageError::kNone);
  ASSERT_EQ(two.engine->LoadImage(rig.image), ImageError::kNone);
  const DialogView v = two.engine->View();
  EXPECT_FALSE(v.burnEnabled);
  EXPECT_EQ(v.addressLabelMeaning, AddressLabelMeaning::kSequenceProblem);
  EXPECT_NE(v.currentAddressLabel.find(std::to_string(ProcessIdNumber())), std::string::npos) << v.currentAddressLabel;
  EXPECT_FALSE(two.engine->Start(Operation::kBurn));
  ASSERT_TRUE(one.engine->Start(Operation::kBurn));
  one.engine->WaitIdle();
  EXPECT_EQ(two.Erases(), 0);
  EXPECT_EQ(rig.FileAddress(), Addr("00:1a:7d:00:00:03"));
  // Once the first lets go (its window closed), the second can load and continue.
  EXPECT_EQ(one.engine->Close(), CloseOutcome::kDone);
  ASSERT_EQ(two.engine->LoadImage(rig.image), ImageError::kNone);
  EXPECT_EQ(two.engine->View().currentAddressLabel, "当前地址:\t00:1a:7d:00:00:03");
}

TEST(SequenceEngine, ReadOnlyImageErasesNoBoard) {
  SequenceRig rig;
  MakeReadOnly(rig.image);
  Station s(rig.dir.File("rb"));
  ASSERT_EQ(s.engine->LoadImage(rig.image), ImageError::kNone);
  const DialogView v = s.engine->View();
  EXPECT_FALSE(v.burnEnabled);
  EXPECT_NE(v.currentAddressLabel.find("read-only"), std::string::npos);
  EXPECT_FALSE(s.engine->Start(Operation::kBurn));
  EXPECT_EQ(s.Erases(), 0);
}

#ifndef _WIN32
TEST(SequenceEngine, ImageReplacedBeforeABurnIsNotWrittenAndNoBoardIsErased) {
  SequenceRig rig;
  Station s(rig.dir.File("rb"));
  ASSERT_EQ(s.engine->LoadImage(rig.image), ImageError::kNone);
  auto other = PatternImage(0x81000);
  PutRecord(other, 0x80000, "OTHER", Addr("00:00:00:00:77:00"));
  WriteFile(rig.dir.File("new.IMG"), other);
  std::filesystem::rename(rig.dir.File("new.IMG"), rig.image);
  ASSERT_TRUE(s.engine->Start(Operation::kBurn));
  s.engine->WaitIdle();
  const DialogView v = s.engine->View();
  EXPECT_EQ(v.lastResult[0], ToInt(SlotResult::kNoAddress));
  EXPECT_EQ(v.lastResult[1], ToInt(SlotResult::kNoAddress));
  EXPECT_NE(v.sequenceMessage.find("replaced"), std::string::npos) << v.sequenceMessage;
  EXPECT_EQ(s.Erases(), 0);
  EXPECT_EQ(ReadFile(rig.image), other);
}
#endif

TEST(SequenceEngine, RangeEndStopsBoardsBeforeTheyAreErased) {
  SequenceRig rig;
  Station s(rig.dir.File("rb"), 3);
  ASSERT_EQ(s.engine->LoadImage(rig.image), ImageError::kNone);
  const BtAddress first = Addr("00:1a:7d:00:00:01");
  for (size_t i = 0; i < 6; ++i) {
    char text[3];
    std::snprintf(text, sizeof text, "%02x", first.bytes[i]);
    s.engine->SetAddressBox(static_cast<int>(i), text);
  }
  ASSERT_TRUE(s.engine->SetAddress(Addr("00:1a:7d:00:00:02")));
  EXPECT_EQ(s.engine->View().remaining, 2u);
  EXPECT_TRUE(s.engine->View().fewLeft);
  ASSERT_TRUE(s.engine->Start(Operation::kBurn));
  s.engine->WaitIdle();
  const DialogView v = s.engine->View();
  int done = 0, refused = 0;
  for (size_t n = 0; n < 3; ++n) {
    done += v.lastResult[n] == 0;
    refused += v.lastResult[n] == ToInt(SlotResult::kNoAddress);
  }
  EXPECT_EQ(done, 2);
  EXPECT_EQ(refused, 1);
  EXPECT_EQ(s.Erases(), 2);
  EXPECT_EQ(v.remaining, 0u);
  EXPECT_NE(v.sequenceMessage.find("0 left"), std::string::npos) << v.sequenceMessage;
}

}  // namespace
}  // namespace kestrel::test
