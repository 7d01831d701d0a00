// The production dialog's behaviour without a window: loading, the address boxes, rows,
// the three operations on worker threads, the address sequence and the write-back.
// Suites that start workers are named Engine*, Burn* or Parallel*; they run under
// ThreadSanitizer as well.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <memory>
#include <mutex>
#include <set>
#include <sstream>
#include <thread>

#include "core/ProductionEngine.h"
#include "sequence/local/LocalSequence.h"
#include "InProcessTransport.h"
#include "TestFiles.h"
#include "qrplatform/Utf8Path.h"

namespace kestrel::test {
namespace {

class CountingEvents : public EngineEvents {
 public:
  std::atomic<int> finished{0};
  std::atomic<int> slotsFinished{0};
  std::atomic<int> loaded{0};
  void SlotFinished(const SlotReport& r) override {
    std::lock_guard<std::mutex> lock(mutex);
    reports.push_back(r);
    ++slotsFinished;
  }
  void ProgressRange(int slot, ProgressPhase phase, uint32_t) override {
    std::lock_guard<std::mutex> lock(mutex);
    phases[static_cast<size_t>(slot)].push_back(phase);
  }
  void ImageLoaded(ImageError) override { ++loaded; }
  std::atomic<int> plugReports{0};
  void AdaptersChanged(int) override { ++plugReports; }
  std::mutex mutex;
  std::vector<SlotReport> reports;
  std::array<std::vector<ProgressPhase>, kSlotCount> phases;
  void OperationFinished(Operation) override { ++finished; }
  std::atomic<int> closed{0};
  std::atomic<bool> closedWritten{false};
  void Closed(bool written) override {
    closedWritten = written;
    ++closed;
  }
};

// Four adapters (or fewer) of the adapter model in process, an engine and an image with a record.
struct EngineRig {
  FakeClock clock;
  std::vector<std::unique_ptr<ModelAdapter>> adapters;
  InProcessTransport transport;
  CountingEvents events;
  TempDir dir;
  std::string imagePath = dir.File("product.IMG");
  std::vector<uint8_t> image;
  std::unique_ptr<ProductionEngine> engine;

  std::string readbackDir = dir.File("readback");

  // With a folder name, the image and the read-back folder are made below that folder.
  explicit EngineRig(int boards = 4, size_t imageLength = 0x81000, long recordAt = 0x80000,
                     const std::string& folder = {}) {
    if (!folder.empty()) {
      std::filesystem::create_directories(qrplatform::PathFromUtf8(dir.File(folder)));
      imagePath = dir.File(folder + "/产品 product.IMG");
      readbackDir = dir.File(folder + "/回读 readback");
    }
    for (int i = 0; i < boards; ++i) {
      adapters.push_back(std::make_unique<ModelAdapter>(clock));
      transport.adapters.push_back(adapters.back().get());
    }
    image = PatternImage(imageLength);
    if (recordAt >= 0) PutRecord(image, static_cast<size_t>(recordAt), "QR_SPEAKER", Addr("00:00:00:00:00:01"));
    WriteFile(imagePath, image);
    engine = std::make_unique<ProductionEngine>(transport, clock, events,
                                                WithLocalSequence(readbackDir, ReadLimits{}));
    engine->RefreshSlots();
  }
  void SetBoxes(const char* display) {
    const BtAddress a = Addr(display);
    for (int i = 0; i < 6; ++i) {
      char text[3];
      std::snprintf(text, sizeof text, "%02X", a.bytes[static_cast<size_t>(i)]);
      engine->SetAddressBox(i, text);
    }
  }
  // Load, set the address, burn once and wait.
  void Burn(const char* address) {
    ASSERT_EQ(engine->LoadImage(imagePath), ImageError::kNone);
    SetBoxes(address);
    ASSERT_TRUE(engine->SetAddress());
    BurnAgain();
  }
  void BurnAgain() {
    ASSERT_TRUE(engine->Start(Operation::kBurn));
    engine->WaitIdle();
  }
  BtAddress BoardAddress(int n, uint32_t record = 0x80000) const {
    BtAddress a;
    std::copy_n(adapters[static_cast<size_t>(n)]->Flash().begin() + record + 0x64, 6, a.bytes.begin());
    return a;
  }
  BtAddress FileAddress(uint32_t record = 0x80000) const {
    const auto f = ReadFile(imagePath);
    BtAddress a;
    std::copy_n(f.begin() + record + 0x64, 6, a.bytes.begin());
    return a;
  }
};

TEST(BurnFourSlots, ConsecutiveAddressesNamePatchedVerifiedAndSaved) {
  EngineRig rig;
  rig.Burn("11:22:33:44:55:66");
  const DialogView v = rig.engine->View();
  std::vector<BtAddress> got;
  for (int n = 0; n < 4; ++n) {
    EXPECT_EQ(v.lastResult[static_cast<size_t>(n)], 0) << n;
    EXPECT_EQ(v.icon[static_cast<size_t>(n)], SlotIcon::kSuccess);
    got.push_back(rig.BoardAddress(n));
    const auto flash = rig.adapters[static_cast<size_t>(n)]->Flash();
    EXPECT_EQ(std::string(flash.begin() + 0x80034, flash.begin() + 0x8003E), "QR_SPEAKER");
    // Everything but the address is the image.
    auto expected = rig.image;
    std::copy_n(got.back().bytes.begin(), 6, expected.begin() + 0x80064);
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), flash.begin())) << n;
    EXPECT_EQ(ReadFile(rig.dir.File("readback/flashdev" + std::to_string(n) + ".bin")).size(), rig.image.size());
  }
  std::sort(got.begin(), got.end(), [](const BtAddress& a, const BtAddress& b) { return a.bytes[0] < b.bytes[0]; });
  for (int n = 0; n < 4; ++n) EXPECT_EQ(got[static_cast<size_t>(n)].bytes[0], 0x66 + n);
  EXPECT_EQ(v.currentAddressLabel, "当前地址:\t11:22:33:44:55:6a");
  EXPECT_EQ(v.countLabel, "烧录数量：4");
  EXPECT_TRUE(v.burnEnabled && v.readEnabled && v.eraseEnabled);
  EXPECT_EQ(rig.events.finished, 1);
  // The next address is already in the file before the window closes.
  EXPECT_EQ(rig.FileAddress(), Addr("11:22:33:44:55:6a"));
  EXPECT_EQ(rig.engine->Close(), CloseOutcome::kDone);
  EXPECT_EQ(rig.FileAddress(), Addr("11:22:33:44:55:6a"));
  // The checksum does not change with the stored address.
  ImageInfo before, after;
  WriteFile(rig.dir.File("orig.IMG"), rig.image);
  ImageFile::Inspect(rig.dir.File("orig.IMG"), &before);
  ImageFile::Inspect(rig.imagePath, &after);
  EXPECT_EQ(before.checksum, after.checksum);
}

// A board that may hold its address (program data reached it) never passes it on; an
// address that reached no board is tried again, but only on the adapter it was kept for.
TEST(BurnRetry, KeptAddressIsRetriedOnlyOnItsAdapterAndOnlyWhenNoDataReachedTheBoard) {
  EngineRig rig(2);
  rig.adapters[0]->adapterId = AdapterId::FromText("1-1");
  rig.adapters[1]->adapterId = AdapterId::FromText("1-2");
  const std::string log = rig.dir.File("log.csv");
  ASSERT_TRUE(rig.engine->SetLogFile(log));
  rig.adapters[1]->Fault("flip=" + std::to_string(0x1234));  // verification fails: the board holds the address
  rig.Burn("00:00:00:00:00:10");
  DialogView v = rig.engine->View();
  EXPECT_EQ(v.lastResult[1], 4);
  const BtAddress verifyFailed = v.slotAddress[1];
  rig.adapters[1]->Fault("flip=" + std::to_string(-1));
  rig.engine->SetSlotTicked(0, false);
  rig.BurnAgain();
  v = rig.engine->View();
  EXPECT_EQ(v.lastResult[1], 0);
  EXPECT_NE(v.slotAddress[1], verifyFailed);
  EXPECT_EQ(v.slotAddress[1], Addr("00:00:00:00:00:12"));

  // The erase does not go out: the address reached no board and is kept for "1-2".
  rig.adapters[1]->Fault("vanish=12");  // after Connect's packet and reply
  rig.BurnAgain();
  v = rig.engine->View();
  EXPECT_EQ(v.lastResult[1], 3);
  EXPECT_EQ(v.slotAddress[1], Addr("00:00:00:00:00:13"));
  EXPECT_EQ(rig.adapters[1]->Erases(), 2);  // only the first two burns erased
  rig.adapters[1]->Fault("vanish=-1");
  rig.BurnAgain();
  v = rig.engine->View();
  EXPECT_EQ(v.lastResult[1], 0);
  EXPECT_EQ(v.slotAddress[1], Addr("00:00:00:00:00:13"));  // its own kept address again
  EXPECT_EQ(v.currentAddressLabel, "当前地址:\t00:00:00:00:00:14");

  // Kept again, then another adapter sits on slot 1: the kept address goes to nobody.
  rig.adapters[1]->Fault("vanish=12");
  rig.BurnAgain();
  EXPECT_EQ(rig.engine->View().slotAddress[1], Addr("00:00:00:00:00:14"));
  rig.adapters[1]->Fault("vanish=-1");
  rig.adapters[1]->adapterId = AdapterId::FromText("1-3");
  rig.BurnAgain();
  v = rig.engine->View();
  EXPECT_EQ(v.lastResult[1], 0);
  EXPECT_EQ(v.slotAddress[1], Addr("00:00:00:00:00:15"));
  const auto text = ReadFile(log);
  const std::string csv(text.begin(), text.end());
  EXPECT_NE(csv.find(",1-2,"), std::string::npos);
  EXPECT_NE(csv.find("00:00:00:00:00:14,12,an address kept for a retry was given up unused"), std::string::npos)
      << csv;
}

// Two adapters with the same USB ids on one hub: an address kept for the one on port 3
// follows that adapter when the two swap slots, and never reaches the one on port 4.
TEST(BurnRetry, KeptAddressFollowsItsAdapterByBusPathNotBySlot) {
  EngineRig rig(2);
  const uint8_t port3[] = {2, 3};
  const uint8_t port4[] = {2, 4};
  ModelAdapter& onPort3 = *rig.adapters[0];
  ModelAdapter& onPort4 = *rig.adapters[1];
  onPort3.adapterId = AdapterId::UsbBusPath(1, port3, 2);
  onPort4.adapterId = AdapterId::UsbBusPath(1, port4, 2);
  rig.Burn("00:00:00:00:00:20");
  onPort3.Fault("vanish=12");  // gone after Connect: the address reaches no board
  rig.BurnAgain();
  DialogView v = rig.engine->View();
  ASSERT_NE(v.lastResult[0], 0);
  const BtAddress kept = v.slotAddress[0];
  const BtAddress port4Second = rig.BoardAddress(1);
  EXPECT_EQ(v.rowAdapter[0].text(), "1-2.3");

  // Port 3's adapter comes back and is now listed second; port 4's takes slot 0.
  onPort3.Fault("vanish=-1");
  std::swap(rig.transport.adapters[0], rig.transport.adapters[1]);
  rig.engine->RefreshSlots();
  rig.BurnAgain();
  v = rig.engine->View();
  EXPECT_EQ(v.lastResult[0], 0);
  EXPECT_EQ(v.lastResult[1], 0);
  EXPECT_EQ(v.rowAdapter[1].text(), "1-2.3");
  EXPECT_EQ(v.slotAddress[1], kept);
  BtAddress onBoard3, onBoard4;
  const auto flash3 = onPort3.Flash(), flash4 = onPort4.Flash();
  std::copy_n(flash3.begin() + 0x80064, 6, onBoard3.bytes.begin());
  std::copy_n(flash4.begin() + 0x80064, 6, onBoard4.bytes.begin());
  EXPECT_EQ(onBoard3, kept);
  EXPECT_NE(onBoard4, kept);
  EXPECT_NE(onBoard4, port4Second);
}

TEST(BurnCarry, AddressesCountOverAByteBoundary) {
  EngineRig rig(2);
  rig.Burn("00:00:00:00:00:ff");
  std::vector<BtAddress> got{rig.BoardAddress(0), rig.BoardAddress(1)};
  EXPECT_TRUE((got[0] == Addr("00:00:00:00:00:ff") && got[1] == Addr("00:00:00:00:01:00")) ||
              (got[1] == Addr("00:00:00:00:00:ff") && got[0] == Addr("00:00:00:00:01:00")));
  EXPECT_EQ(rig.engine->View().currentAddressLabel, "当前地址:\t00:00:00:00:01:01");
}

TEST(BurnUnticked, SkippedSlotTakesNoAddress) {
  EngineRig rig(3);
  rig.engine->SetSlotTicked(1, false);
  rig.Burn("11:22:33:44:55:66");
  const DialogView v = rig.engine->View();
  EXPECT_EQ(v.icon[1], SlotIcon::kHidden);
  EXPECT_EQ(v.lastResult[1], -1);
  EXPECT_TRUE(rig.adapters[1]->writes.empty());
  EXPECT_EQ(v.currentAddressLabel, "当前地址:\t11:22:33:44:55:68");
  EXPECT_EQ(v.countLabel, "烧录数量：2");
  EXPECT_EQ(rig.events.finished, 1);
  EXPECT_EQ(rig.events.slotsFinished, 2);
}

TEST(BurnFaults, VanishingAdapterFailsAloneAndItsAddressIsNeverReused) {
  EngineRig rig(4);
  rig.adapters[2]->Fault("vanish=100000");
  rig.Burn("00:00:00:00:00:01");
  const DialogView v = rig.engine->View();
  for (int n : {0, 1, 3}) EXPECT_EQ(v.lastResult[static_cast<size_t>(n)], 0);
  EXPECT_EQ(v.lastResult[2], 3);
  EXPECT_EQ(v.countLabel, "烧录数量：3");
  // Without closing (a crash now), the file already continues after all four.
  EXPECT_EQ(rig.FileAddress(), Addr("00:00:00:00:00:05"));
}

TEST(BurnDurable, NextAddressIsOnDiskBeforeABoardIsProgrammed) {
  EngineRig rig(4);
  std::array<BtAddress, 4> onDisk{};
  for (size_t n = 0; n < 4; ++n)
    rig.adapters[n]->onProgramStart = [&rig, &onDisk, n] { onDisk[n] = rig.FileAddress(); };
  rig.Burn("00:00:00:00:00:01");
  for (size_t n = 0; n < 4; ++n) {
    // Whatever the order of the slots, the file already continued after this board's
    // address when its programming began.
    const BtAddress given = rig.engine->View().slotAddress[n];
    EXPECT_EQ(rig.BoardAddress(static_cast<int>(n)), given);
    EXPECT_GT(onDisk[n].bytes[0], given.bytes[0]) << n;
  }
}

TEST(BurnDurable, AddressWhoseSuccessorCannotBeSavedIsNotHandedOut) {
  EngineRig rig(2);
  ASSERT_EQ(rig.engine->LoadImage(rig.imagePath), ImageError::kNone);
  rig.SetBoxes("00:00:00:00:00:10");
  ASSERT_TRUE(rig.engine->SetAddress());
  // The file was cut short after loading: the next address has nowhere to go.
  std::filesystem::resize_file(rig.imagePath, 0x80064);
  rig.BurnAgain();
  DialogView v = rig.engine->View();
  for (size_t n = 0; n < 2; ++n) {
    EXPECT_EQ(v.lastResult[n], 10) << n;
    EXPECT_EQ(rig.adapters[n]->Erases(), 0) << "slot " << n << " was erased";
    for (const auto& w : rig.adapters[n]->writes) EXPECT_NE(w[0], 0xA9) << "slot " << n << " was programmed";
  }
  EXPECT_FALSE(v.sequenceMessage.empty());
  EXPECT_EQ(v.currentAddressLabel, "当前地址:\t00:00:00:00:00:10");
  // With the file back, the sequence starts where it stood; nothing was skipped or reused.
  WriteFile(rig.imagePath, rig.image);
  rig.BurnAgain();
  v = rig.engine->View();
  EXPECT_EQ(v.lastResult[0], 0);
  EXPECT_EQ(v.lastResult[1], 0);
  std::vector<uint8_t> lows{rig.BoardAddress(0).bytes[0], rig.BoardAddress(1).bytes[0]};
  std::sort(lows.begin(), lows.end());
  EXPECT_EQ(lows, (std::vector<uint8_t>{0x10, 0x11}));
  EXPECT_EQ(rig.FileAddress(), Addr("00:00:00:00:00:12"));
}

TEST(BurnFaults, UnconfirmedConnectAndLostPacket) {
  EngineRig rig(2);
  rig.adapters[0]->Fault("connect=noee");
  rig.adapters[1]->Fault("drop-data=6");
  rig.Burn("00:00:00:00:00:01");
  const DialogView v = rig.engine->View();
  EXPECT_EQ(v.lastResult[0], 9);
  EXPECT_EQ(v.lastResult[1], 4);
  EXPECT_FALSE(v.slotHasAddress[0]);  // failed before it took an address
  EXPECT_EQ(v.slotAddress[1], Addr("00:00:00:00:00:01"));
  EXPECT_EQ(v.currentAddressLabel, "当前地址:\t00:00:00:00:00:02");
}

// Findings: a damaged record made every board get the image's own address.
TEST(BurnDamagedRecord, NothingIsBurnedAndTheLabelSaysWhy) {
  EngineRig rig(2);
  rig.image[0x80024] = 1;
  WriteFile(rig.imagePath, rig.image);
  EXPECT_EQ(rig.engine->LoadImage(rig.imagePath), ImageError::kDamagedRecord);
  const DialogView v = rig.engine->View();
  EXPECT_EQ(v.addressLabelMeaning, AddressLabelMeaning::kDamagedRecord);
  EXPECT_NE(v.currentAddressLabel.find("reserved byte 0x80024"), std::string::npos) << v.currentAddressLabel;
  EXPECT_FALSE(v.burnEnabled);
  EXPECT_FALSE(rig.engine->Start(Operation::kBurn));
  EXPECT_TRUE(rig.adapters[0]->writes.empty());
}

TEST(BurnSmallCodeArea, PatchesTheRecordAt0x70000AndNothingAt0x80000) {
  EngineRig rig(1, 0x90000, 0x70000);
  rig.Burn("00:00:00:00:aa:00");
  ASSERT_EQ(rig.engine->View().lastResult[0], 0);
  EXPECT_EQ(rig.BoardAddress(0, 0x70000), Addr("00:00:00:00:aa:00"));
  const auto flash = rig.adapters[0]->Flash();
  EXPECT_TRUE(std::equal(rig.image.begin() + 0x80000, rig.image.end(), flash.begin() + 0x80000));
  auto file = ReadFile(rig.imagePath);
  EXPECT_EQ(rig.FileAddress(0x70000), Addr("00:00:00:00:aa:01"));
  EXPECT_TRUE(std::equal(rig.image.begin() + 0x80000, rig.image.end(), file.begin() + 0x80000));
}

TEST(BurnNoRecord, ImageIsProgrammedUnchangedAndNothingIsWrittenBack) {
  EngineRig rig(2, 0x80069, 0x80000);  // too short for the address field
  rig.Burn("00:00:00:00:00:01");
  EXPECT_EQ(rig.engine->View().currentAddressLabel, "当前地址:\t00:00:00:00:00:01");
  EXPECT_EQ(rig.engine->View().countLabel, "烧录数量：2");
  EXPECT_EQ(rig.engine->Close(), CloseOutcome::kDone);
  EXPECT_EQ(ReadFile(rig.imagePath), rig.image);
  EXPECT_TRUE(std::equal(rig.image.begin(), rig.image.end(), rig.adapters[1]->Flash().begin()));
}

TEST(EngineRead, EveryTickedSlotGetsItsReadbackFile) {
  EngineRig rig(2);
  auto contents = rig.adapters[1]->Flash();
  contents[7] = 0x99;
  rig.adapters[1]->model.LoadFlash(contents);
  ASSERT_TRUE(rig.engine->Start(Operation::kRead));
  rig.engine->WaitIdle();
  const DialogView v = rig.engine->View();
  EXPECT_EQ(v.icon[0], SlotIcon::kSuccess);
  EXPECT_EQ(v.icon[1], SlotIcon::kSuccess);
  const auto f1 = ReadFile(rig.dir.File("readback/flashdev1.bin"));
  ASSERT_EQ(f1.size(), 0x80000u);
  EXPECT_EQ(f1[7], 0x99);
  EXPECT_FALSE(v.burnEnabled);  // no image loaded
  EXPECT_TRUE(v.readEnabled);
}

// Every file a burn touches under names with blanks and Chinese characters: the image
// (read, then the next address written into it in place), the production log and the
// read-back files. Windows must get these names as written, through its wide calls.
TEST(BurnPaths, ChineseNamesWithBlanksForImageLogAndReadback) {
  EngineRig rig(2, 0x81000, 0x80000, "生产 线");
  const std::string log = rig.dir.File("生产 线/日志 logs/第 1 线.csv");
  ASSERT_TRUE(rig.engine->SetLogFile(log));
  rig.Burn("00:00:00:00:00:20");
  const DialogView v = rig.engine->View();
  EXPECT_EQ(v.lastResult[0], 0);
  EXPECT_EQ(v.lastResult[1], 0);
  EXPECT_EQ(rig.FileAddress(), Addr("00:00:00:00:00:22"));
  EXPECT_EQ(rig.engine->Close(), CloseOutcome::kDone);
  for (int n = 0; n < 2; ++n) {
    const auto back = ReadFile(rig.readbackDir + "/flashdev" + std::to_string(n) + ".bin");
    EXPECT_EQ(back.size(), rig.image.size()) << n;
  }
  const auto text = ReadFile(log);
  const std::string rows(text.begin(), text.end());
  EXPECT_EQ(std::count(rows.begin(), rows.end(), '\n'), 3) << rows;
  EXPECT_NE(rows.find("," + rig.imagePath + ","), std::string::npos) << rows;
  std::set<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(qrplatform::PathFromUtf8(rig.dir.File("生产 线"))))
    names.insert(qrplatform::Utf8FromPath(e.path().filename()));
  // The image keeps its sequence beside it: the lock and the range files.
  EXPECT_EQ(names, (std::set<std::string>{"产品 product.IMG", "产品 product.IMG.lock", "产品 product.IMG.range",
                                         "回读 readback", "日志 logs"}));
}

TEST(EngineErase, ShowsNoIconAndReenablesTheButtons) {
  EngineRig rig(1);
  ASSERT_EQ(rig.engine->LoadImage(rig.imagePath), ImageError::kNone);
  ASSERT_TRUE(rig.engine->Start(Operation::kErase));
  rig.engine->WaitIdle();
  const DialogView v = rig.engine->View();
  EXPECT_EQ(v.icon[0], SlotIcon::kHidden);
  EXPECT_EQ(rig.adapters[0]->Erases(), 1);
  EXPECT_TRUE(v.burnEnabled && v.readEnabled && v.eraseEnabled);
}

TEST(EngineSlots, RowsFollowTheAdaptersAndOpeningUsesBothPipes) {
  EngineRig rig(3);
  DialogView v = rig.engine->View();
  EXPECT_EQ(First4(v.rowVisible), (std::array<bool, 4>{true, true, true, false}));
  EXPECT_EQ(First4(v.ticked), (std::array<bool, 4>{true, true, true, false}));
  rig.adapters[1]->adapterId = AdapterId::FromText("");  // counted but never opened
  rig.adapters[2]->inPipeOpens = false;
  ASSERT_TRUE(rig.engine->Start(Operation::kRead));
  rig.engine->WaitIdle();
  EXPECT_EQ(rig.transport.devicesOpened, (std::vector<int>{0, 2}));
  EXPECT_EQ(rig.transport.pipesOpened, (std::vector<std::string>{"PIPE01", "PIPE00", "PIPE01", "PIPE00"}));
  v = rig.engine->View();
  EXPECT_EQ(v.countLabel, "USB打开失败\r\n");
  EXPECT_EQ(v.countLabelMeaning, CountLabelMeaning::kUsbOpenFailed);
  EXPECT_EQ(v.lastResult[0], 0);
  EXPECT_EQ(v.lastResult[1], 3);  // never opened: unusable
  EXPECT_EQ(v.lastResult[2], 9);  // its Connect cannot be answered
}

TEST(EngineSlots, PlugOrUnplugWhileIdleReticksThePresentRowsAndHidesTheIcons) {
  EngineRig rig(3);
  rig.engine->SetSlotTicked(1, false);
  ASSERT_TRUE(rig.engine->Start(Operation::kRead));
  rig.engine->WaitIdle();
  DialogView v = rig.engine->View();
  EXPECT_EQ(First4(v.icon), (std::array<SlotIcon, 4>{SlotIcon::kSuccess, SlotIcon::kHidden, SlotIcon::kSuccess,
                                             SlotIcon::kHidden}));
  EXPECT_EQ(First4(v.ticked), (std::array<bool, 4>{true, false, true, false}));

  ModelAdapter plugged(rig.clock);
  rig.transport.adapters.push_back(&plugged);
  rig.engine->RefreshSlots();
  v = rig.engine->View();
  EXPECT_EQ(rig.engine->DeviceCount(), 4);
  EXPECT_EQ(First4(v.rowVisible), (std::array<bool, 4>{true, true, true, true}));
  EXPECT_EQ(First4(v.ticked), (std::array<bool, 4>{true, true, true, true}));
  EXPECT_EQ(First4(v.icon), (std::array<SlotIcon, 4>{}));

  rig.transport.adapters.resize(2);
  rig.engine->RefreshSlots();
  v = rig.engine->View();
  EXPECT_EQ(First4(v.rowVisible), (std::array<bool, 4>{true, true, false, false}));
  // The re-ticked slot 1 takes part again.
  ASSERT_TRUE(rig.engine->Start(Operation::kRead));
  rig.engine->WaitIdle();
  EXPECT_EQ(rig.engine->View().lastResult[1], 0);
}

TEST(EngineSlots, NoAdaptersMeansNoRowsAndNoOperations) {
  EngineRig rig(0);
  EXPECT_EQ(ProductionEngine::CountInterfacesAnswer(rig.transport), 255);
  EXPECT_EQ(rig.engine->DeviceCount(), 0);
  ASSERT_EQ(rig.engine->LoadImage(rig.imagePath), ImageError::kNone);
  const DialogView v = rig.engine->View();
  EXPECT_FALSE(v.burnEnabled || v.readEnabled || v.eraseEnabled);
  EXPECT_FALSE(rig.engine->Start(Operation::kBurn));
  rig.engine->ResetAdapters();  // nothing to do, nothing breaks
  rig.transport.countOverride = 200;
  EXPECT_EQ(ProductionEngine::CountInterfacesAnswer(rig.transport), 127);
  AdapterId id;
  EXPECT_EQ(ProductionEngine::SlotPresence(rig.transport, 0, nullptr), 6);
  EXPECT_EQ(ProductionEngine::SlotPresence(rig.transport, 0, &id), 255);
}

TEST(EngineSlots, UsbResetClosesOnlyTheDevice) {
  EngineRig rig(2);
  ASSERT_TRUE(rig.engine->Start(Operation::kRead));
  rig.engine->WaitIdle();
  rig.engine->ResetAdapters();
  EXPECT_FALSE(rig.engine->Slot(0).DeviceUsable());
  EXPECT_TRUE(rig.engine->Slot(0).HasOutPipe());
  EXPECT_TRUE(rig.engine->Slot(0).HasInPipe());
  // The next operation opens it again.
  ASSERT_TRUE(rig.engine->Start(Operation::kRead));
  rig.engine->WaitIdle();
  EXPECT_EQ(rig.engine->View().lastResult[0], 0);
}

TEST(EngineLoad, LabelsCountAndFailures) {
  EngineRig rig(1);
  ASSERT_EQ(rig.engine->LoadImage(rig.imagePath), ImageError::kNone);
  DialogView v = rig.engine->View();
  EXPECT_EQ(v.currentAddressLabel, "当前地址:\t00:00:00:00:00:01");
  EXPECT_EQ(v.addressBoxes, (std::array<std::string, 6>{"01", "00", "00", "00", "00", "00"}));
  EXPECT_EQ(v.deviceName, "QR_SPEAKER");
  EXPECT_EQ(v.checksumLabel.rfind("CRC_SUM:0x", 0), 0u);
  const std::string checksum = v.checksumLabel;

  EXPECT_EQ(rig.engine->LoadImage(rig.dir.File("missing.bin")), ImageError::kCannotOpen);
  v = rig.engine->View();
  EXPECT_EQ(v.currentAddressLabel, "烧录bin文件打开失败\r\n");
  EXPECT_EQ(v.addressLabelMeaning, AddressLabelMeaning::kImageOpenFailed);
  EXPECT_EQ(rig.engine->State().imagePath, rig.imagePath);  // the old image stays in use
  EXPECT_EQ(v.checksumLabel, checksum);
  EXPECT_TRUE(v.burnEnabled);

  WriteFile(rig.dir.File("empty.bin"), {});
  EXPECT_EQ(rig.engine->LoadImage(rig.dir.File("empty.bin")), ImageError::kNone);
  v = rig.engine->View();
  EXPECT_FALSE(v.burnEnabled);
  EXPECT_EQ(v.checksumLabel, checksum);  // a zero-length file leaves it
}

TEST(EngineAddress, BadBoxKeepsTheAddressAndDisablesBurning) {
  EngineRig rig(1);
  ASSERT_EQ(rig.engine->LoadImage(rig.imagePath), ImageError::kNone);
  rig.SetBoxes("11:22:33:44:55:66");
  rig.engine->SetAddressBox(3, "G1");
  EXPECT_FALSE(rig.engine->SetAddress());
  DialogView v = rig.engine->View();
  EXPECT_EQ(v.currentAddressLabel, "地址格式错误!\r\n");
  EXPECT_EQ(v.addressLabelMeaning, AddressLabelMeaning::kAddressFormatError);
  EXPECT_FALSE(v.burnEnabled);
  EXPECT_EQ(rig.engine->State().currentAddress, Addr("00:00:00:00:00:01"));
  rig.engine->SetAddressBox(3, "0Ah");
  rig.engine->SetAddressBox(0, "1");
  EXPECT_TRUE(rig.engine->SetAddress());
  v = rig.engine->View();
  EXPECT_EQ(v.currentAddressLabel, "当前地址:\t11:22:0a:44:55:10");
  EXPECT_TRUE(v.burnEnabled);
}

TEST(EngineBusy, NothingChangesTheImageOrAddressWhileWorkersRun) {
  EngineRig rig(2);
  std::atomic<bool> gate{false};
  rig.adapters[0]->gate = &gate;
  ASSERT_EQ(rig.engine->LoadImage(rig.imagePath), ImageError::kNone);
  WriteFile(rig.dir.File("other.IMG"), PatternImage(5000));
  ASSERT_TRUE(rig.engine->Start(Operation::kBurn));
  EXPECT_TRUE(rig.engine->Busy());
  EXPECT_FALSE(rig.engine->Start(Operation::kRead));
  rig.engine->LoadImage(rig.dir.File("other.IMG"));
  rig.SetBoxes("aa:bb:cc:dd:ee:ff");
  EXPECT_FALSE(rig.engine->SetAddress());
  rig.engine->RefreshSlots();  // a plug-in while burning keeps the buttons disabled
  DialogView v = rig.engine->View();
  EXPECT_FALSE(v.burnEnabled || v.readEnabled || v.eraseEnabled);
  EXPECT_EQ(v.imagePath, rig.imagePath);
  // Closing does not wait: the operation finishes on its own, then the address that
  // follows both boards is stored and the window is told it may end.
  EXPECT_EQ(rig.engine->Close(), CloseOutcome::kPending);
  EXPECT_FALSE(rig.engine->Start(Operation::kRead));
  EXPECT_EQ(rig.events.closed, 0);
  gate = true;
  rig.engine->WaitIdle();
  EXPECT_EQ(rig.events.closed, 1);
  EXPECT_TRUE(rig.events.closedWritten);
  EXPECT_FALSE(rig.engine->Busy());
  EXPECT_EQ(rig.engine->State().imagePath, rig.imagePath);
  EXPECT_EQ(rig.engine->View().countLabel, "烧录数量：2");
  EXPECT_EQ(rig.FileAddress(), Addr("00:00:00:00:00:03"));
}

TEST(ParallelFinalStep, RunsOnceAfterEveryWorker) {
  for (int round = 0; round < 20; ++round) {
    EngineRig rig(4, 2000, -1);
    rig.engine->SetSlotTicked(0, false);
    rig.engine->SetSlotTicked(2, false);
    ASSERT_EQ(rig.engine->LoadImage(rig.imagePath), ImageError::kNone);
    rig.BurnAgain();
    EXPECT_EQ(rig.events.finished, 1);
    EXPECT_EQ(rig.events.slotsFinished, 2);
    EXPECT_EQ(rig.engine->View().countLabel, "烧录数量：2");
  }
}

}  // namespace
}  // namespace kestrel::test

namespace kestrel::test {
namespace {

// The calls a window makes never wait for the adapters: the slots are opened on the
// operation's thread, and closing while boards burn is answered at once and completed
// when the last of them ends.
TEST(EngineNonBlocking, StartAndCloseReturnWhileTheSlotsAreStillBeingOpened) {
  EngineRig rig(2);
  std::atomic<bool> gate{false};
  rig.transport.openGate = &gate;
  ASSERT_EQ(rig.engine->LoadImage(rig.imagePath), ImageError::kNone);
  ASSERT_TRUE(rig.engine->Start(Operation::kBurn));  // would hang here if it opened the slots itself
  while (!rig.transport.openEntered) std::this_thread::yield();
  EXPECT_TRUE(rig.engine->Busy());
  EXPECT_TRUE(rig.engine->View().busy);
  EXPECT_EQ(rig.engine->Close(), CloseOutcome::kPending);
  EXPECT_FALSE(rig.engine->LoadImageAsync(rig.imagePath));
  gate = true;
  rig.engine->WaitIdle();
  EXPECT_EQ(rig.events.closed, 1);
  EXPECT_TRUE(rig.events.closedWritten);
  EXPECT_EQ(rig.engine->View().countLabel, "烧录数量：2");
  EXPECT_EQ(rig.FileAddress(), Addr("00:00:00:00:00:03"));
}

// A plug report arrives on the transport's thread, here while two boards burn: the rows
// are recounted, the operation's buttons stay off and the burn goes on undisturbed.
TEST(EngineSlots, PlugReportDuringABurnRecountsWithoutDisturbingIt) {
  EngineRig rig(2);
  ASSERT_TRUE(rig.engine->WatchAdapters());
  ASSERT_NE(rig.transport.listener, nullptr);
  std::atomic<bool> gate{false};
  rig.adapters[0]->gate = &gate;
  ASSERT_EQ(rig.engine->LoadImage(rig.imagePath), ImageError::kNone);
  ASSERT_TRUE(rig.engine->Start(Operation::kBurn));
  std::thread watcher([&rig] { rig.transport.listener->AdaptersChanged(); });
  watcher.join();
  EXPECT_EQ(rig.events.plugReports, 1);
  DialogView v = rig.engine->View();
  EXPECT_FALSE(v.burnEnabled || v.readEnabled || v.eraseEnabled);
  EXPECT_EQ(First4(v.rowVisible), (std::array<bool, 4>{true, true, false, false}));
  gate = true;
  rig.engine->WaitIdle();
  v = rig.engine->View();
  EXPECT_EQ(First4(v.lastResult), (std::array<int, 4>{0, 0, -1, -1}));
  EXPECT_TRUE(v.burnEnabled && v.readEnabled && v.eraseEnabled);
  rig.engine.reset();  // stops watching
  EXPECT_EQ(rig.transport.listener, nullptr);
}

// The image is read once: a file cut short (or rewritten) during a burn changes nothing
// on the boards, which all get the bytes the checksum label describes.
TEST(BurnImageCopy, FileCutShortDuringTheBurnStillGivesTheLoadedImageOnEveryBoard) {
  EngineRig rig(4);
  ASSERT_EQ(rig.engine->LoadImage(rig.imagePath), ImageError::kNone);
  const std::string checksum = rig.engine->View().checksumLabel;
  std::atomic<bool> gate{false};
  rig.transport.openGate = &gate;
  ASSERT_TRUE(rig.engine->Start(Operation::kBurn));
  while (!rig.transport.openEntered) std::this_thread::yield();
  std::filesystem::resize_file(rig.imagePath, 0x80800);  // before any slot has begun
  gate = true;
  rig.engine->WaitIdle();
  const DialogView v = rig.engine->View();
  EXPECT_EQ(First4(v.lastResult), (std::array<int, 4>{0, 0, 0, 0}));
  EXPECT_EQ(v.checksumLabel, checksum);
  for (int n = 0; n < 4; ++n) {
    auto expected = rig.image;
    const BtAddress a = rig.BoardAddress(n);
    std::copy_n(a.bytes.begin(), 6, expected.begin() + 0x80064);
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), rig.adapters[static_cast<size_t>(n)]->Flash().begin()))
        << "board " << n;
  }
  // The address sequence still continues in what is left of the file.
  EXPECT_EQ(rig.FileAddress(), Addr("00:00:00:00:00:05"));
}

// Each slot result is one flushed CSV row; the yield counts what passed and failed since
// the image was loaded; the reports carry the phase sequence and the address used.
TEST(BurnLog, OneRowPerSlotResultYieldAndPhases) {
  EngineRig rig(2);
  rig.adapters[1]->Fault("flip=" + std::to_string(0x2000));
  rig.adapters[0]->adapterId = AdapterId::FromText("1-2.3");
  rig.adapters[1]->adapterId = AdapterId::FromText("1-2.4");
  const std::string log = rig.dir.File("logs/line 1.csv");
  ASSERT_TRUE(rig.engine->SetLogFile(log));
  rig.Burn("00:00:00:00:00:10");
  // The first burn hands out 10 and 11 in either order.
  const std::string first0 = rig.engine->View().slotAddress[0].DisplayText();
  const std::string first1 = rig.engine->View().slotAddress[1].DisplayText();
  rig.adapters[1]->Fault("flip=" + std::to_string(-1));
  rig.BurnAgain();  // slot 1's board may hold its address: both take new ones
  const std::string second0 = rig.engine->View().slotAddress[0].DisplayText();
  const std::string second1 = rig.engine->View().slotAddress[1].DisplayText();

  const auto text = ReadFile(log);
  std::istringstream in(std::string(text.begin(), text.end()));
  std::vector<std::vector<std::string>> rows;
  for (std::string line; std::getline(in, line);) {
    ASSERT_FALSE(line.empty());
    ASSERT_EQ(line.back(), '\r');
    line.pop_back();
    std::vector<std::string> cells;
    std::istringstream cellIn(line);
    for (std::string c; std::getline(cellIn, c, ',');) cells.push_back(c);
    rows.push_back(cells);
  }
  ASSERT_EQ(rows.size(), 5u);
  EXPECT_EQ(rows[0].size(), 11u);
  EXPECT_EQ(rows[0][0], "time");
  const DialogView v = rig.engine->View();
  char checksum[8];
  std::snprintf(checksum, sizeof checksum, "0x%04x", static_cast<unsigned>(v.checksum));
  // slot, adapter, address, result, text; rows of one burn in the order the slots ended.
  std::multiset<std::string> got;
  for (size_t r = 1; r < rows.size(); ++r) {
    ASSERT_EQ(rows[r].size(), 11u) << r;
    EXPECT_EQ(rows[r][1], ProductionLog::StationName());
    EXPECT_EQ(rows[r][3], "burn");
    EXPECT_EQ(rows[r][5], rig.imagePath);
    EXPECT_EQ(rows[r][6], checksum);
    EXPECT_GE(std::stod(rows[r][10]), 0.0);
    got.insert(rows[r][2] + " " + rows[r][4] + " " + rows[r][7] + " " + rows[r][8] + " " + rows[r][9]);
  }
  EXPECT_EQ((std::set<std::string>{first0, first1}),
            (std::set<std::string>{"00:00:00:00:00:10", "00:00:00:00:00:11"}));
  EXPECT_EQ((std::set<std::string>{second0, second1}),
            (std::set<std::string>{"00:00:00:00:00:12", "00:00:00:00:00:13"}));
  EXPECT_EQ(got, (std::multiset<std::string>{
                     "0 1-2.3 " + first0 + " 0 done", "0 1-2.3 " + second0 + " 0 done",
                     "1 1-2.4 " + first1 + " 4 verification found a byte that differs",
                     "1 1-2.4 " + second1 + " 0 done"}));

  EXPECT_EQ(First4(v.yield.passed), (std::array<uint32_t, 4>{2, 1, 0, 0}));
  EXPECT_EQ(First4(v.yield.failed), (std::array<uint32_t, 4>{0, 1, 0, 0}));
  EXPECT_EQ(v.yield.totalPassed, 3u);
  EXPECT_EQ(v.yield.totalFailed, 1u);
  EXPECT_TRUE(v.slotHasAddress[1]);
  EXPECT_EQ(v.slotAddress[1].DisplayText(), second1);
  EXPECT_EQ(v.countLabelMeaning, CountLabelMeaning::kSuccessCount);
  EXPECT_EQ(v.labelCount, 3u);
  EXPECT_EQ(v.addressLabelMeaning, AddressLabelMeaning::kNextAddress);
  EXPECT_EQ(v.labelAddress, Addr("00:00:00:00:00:14"));
  {
    std::lock_guard<std::mutex> lock(rig.events.mutex);
    const std::vector<ProgressPhase> burn{ProgressPhase::kErase, ProgressPhase::kProgram, ProgressPhase::kVerify};
    EXPECT_EQ(rig.events.phases[0], (std::vector<ProgressPhase>{burn[0], burn[1], burn[2], burn[0], burn[1], burn[2]}));
  }
  // Loading starts a new count.
  ASSERT_TRUE(rig.engine->LoadImageAsync(rig.imagePath));
  rig.engine->WaitIdle();
  EXPECT_EQ(rig.events.loaded, 1);
  EXPECT_EQ(rig.engine->View().yield.totalPassed, 0u);
  EXPECT_FALSE(rig.engine->View().loading);
  EXPECT_TRUE(rig.engine->View().burnEnabled);
}

}  // namespace
}  // namespace kestrel::test

namespace kestrel::test {
namespace {

// Finding: when an adapter vanished mid-burn its row was hidden at the end. The row is
// keyed by the adapter: it stays, failure and all, below the present adapters' rows until
// the next operation; a present adapter that moved up a place shows no stale result.
TEST(EngineRows, PulledOutAdapterKeepsItsFailureRowUntilTheNextOperation) {
  EngineRig rig(3);
  for (size_t n = 0; n < 3; ++n) rig.adapters[n]->adapterId = AdapterId::FromText("1-" + std::to_string(n));
  rig.adapters[1]->Fault("vanish=100000");
  rig.Burn("00:00:00:00:00:10");
  ASSERT_EQ(rig.engine->View().lastResult[1], 3);
  rig.transport.adapters.erase(rig.transport.adapters.begin() + 1);  // "1-1" is pulled out
  rig.engine->RefreshSlots();
  DialogView v = rig.engine->View();
  EXPECT_EQ(First4(v.rowVisible), (std::array<bool, 4>{true, true, true, false}));
  EXPECT_EQ(v.rowAdapter[1].text(), "1-2");
  EXPECT_EQ(v.lastResult[1], -1);  // "1-2" now sits here; its own result is not "1-1"'s
  EXPECT_TRUE(v.rowGone[2]);
  EXPECT_EQ(v.rowAdapter[2].text(), "1-1");
  EXPECT_EQ(v.lastResult[2], 3);
  EXPECT_EQ(v.icon[2], SlotIcon::kFailure);
  EXPECT_FALSE(v.ticked[2]);
  ASSERT_TRUE(rig.engine->Start(Operation::kRead));
  rig.engine->WaitIdle();
  v = rig.engine->View();
  EXPECT_FALSE(v.rowGone[2]);
  EXPECT_FALSE(v.rowVisible[2]);
}

TEST(BurnSixteenSlots, EveryBoardGetsItsOwnAddress) {
  EngineRig rig(16, 0x81000);
  rig.Burn("00:00:00:00:01:00");
  const DialogView v = rig.engine->View();
  std::set<std::string> given;
  for (size_t n = 0; n < kSlotCount; ++n) {
    EXPECT_TRUE(v.rowVisible[n]) << n;
    EXPECT_EQ(v.lastResult[n], 0) << n;
    given.insert(rig.BoardAddress(static_cast<int>(n)).DisplayText());
  }
  EXPECT_EQ(given.size(), 16u);
  EXPECT_EQ(v.countLabel, "烧录数量：16");
  EXPECT_EQ(rig.FileAddress(), Addr("00:00:00:00:01:10"));
}

// Finding: the read-back folder was "./readback" of wherever the program started, shown
// nowhere. It is beside the image unless one is chosen, and the view says which.
TEST(EngineReadback, FolderIsBesideTheImageUnlessOneIsChosen) {
  EngineRig rig(1);
  rig.engine = std::make_unique<ProductionEngine>(rig.transport, rig.clock, rig.events, WithLocalSequence(""));
  rig.engine->RefreshSlots();
  ASSERT_EQ(rig.engine->LoadImage(rig.imagePath), ImageError::kNone);
  const std::string beside = (std::filesystem::path(rig.imagePath).parent_path() / "readback").string();
  EXPECT_EQ(rig.engine->View().readbackFolder, beside);
  ASSERT_TRUE(rig.engine->Start(Operation::kRead));
  rig.engine->WaitIdle();
  EXPECT_TRUE(std::filesystem::exists(beside + "/flashdev0.bin"));
  rig.engine->SetReadbackFolder(rig.dir.File("chosen"));
  EXPECT_EQ(rig.engine->View().readbackFolder, rig.dir.File("chosen"));
  ASSERT_TRUE(rig.engine->Start(Operation::kRead));
  rig.engine->WaitIdle();
  EXPECT_TRUE(std::filesystem::exists(rig.dir.File("chosen/flashdev0.bin")));
}

}  // namespace
}  // namespace kestrel::test

namespace kestrel::test {
namespace {

// A sequence handed to the engine, as a pool shared by stations would be: it records what
// the engine asks of it.
class RecordingSequence : public AddressSequence {
 public:
  std::mutex mutex;
  uint64_t next = 0x100;
  std::vector<std::string> handedTo, confirmed, failed, wasted;
  bool released = false;
  SequenceStatus HandOut(const AdapterId& adapter, BtAddress* address, std::string*) override {
    std::lock_guard<std::mutex> lock(mutex);
    handedTo.push_back(adapter.text());
    for (size_t i = 0; i < 6; ++i) address->bytes[i] = static_cast<uint8_t>(next >> (8 * i));
    ++next;
    return SequenceStatus::kOk;
  }
  SequenceStatus Confirm(const BoardRecord& r, std::string*) override {
    std::lock_guard<std::mutex> lock(mutex);
    confirmed.push_back(r.address.DisplayText() + " " + r.adapter.text() + " " + r.result);
    return SequenceStatus::kOk;
  }
  SequenceStatus GiveUp(const BoardRecord& r, Loss loss, std::string*) override {
    std::lock_guard<std::mutex> lock(mutex);
    (loss == Loss::kFailed ? failed : wasted).push_back(r.address.DisplayText() + " " + r.adapter.text());
    return SequenceStatus::kOk;
  }
  uint64_t Remaining() const override { return 1000; }
  std::optional<BtAddress> PeekNext() const override {
    BtAddress a;
    for (size_t i = 0; i < 6; ++i) a.bytes[i] = static_cast<uint8_t>(next >> (8 * i));
    return a;
  }
  SequenceStatus SetRange(const BtAddress&, std::optional<BtAddress>, std::string* message) override {
    *message = "the pool's range is set with the pool's own tools";
    return SequenceStatus::kRefused;
  }
  std::string Describe() const override { return "pool test"; }
  void Release() override { released = true; }
};

TEST(EngineGivenSequence, BurnsTakeTheGivenSequenceAndNeverTheImagesOwn) {
  EngineRig rig(2);
  rig.adapters[0]->adapterId = AdapterId::FromText("1-1");
  rig.adapters[1]->adapterId = AdapterId::FromText("1-2");
  rig.adapters[1]->Fault("flip=" + std::to_string(0x100));
  auto pool = std::make_shared<RecordingSequence>();
  rig.engine->UseSequence(pool);
  ASSERT_EQ(rig.engine->LoadImage(rig.imagePath), ImageError::kNone);
  EXPECT_FALSE(std::filesystem::exists(LocalSequence::LockPath(rig.imagePath)));
  DialogView v = rig.engine->View();
  EXPECT_EQ(v.sequenceText, "pool test");
  EXPECT_EQ(v.currentAddressLabel, "当前地址:\t00:00:00:00:01:00");
  rig.SetBoxes("11:22:33:44:55:66");
  EXPECT_FALSE(rig.engine->SetAddress());
  EXPECT_EQ(rig.engine->View().currentAddressLabel, "the pool's range is set with the pool's own tools");
  rig.BurnAgain();
  v = rig.engine->View();
  EXPECT_EQ(v.lastResult[0], 0);
  EXPECT_EQ(v.lastResult[1], 4);
  {
    std::lock_guard<std::mutex> lock(pool->mutex);
    EXPECT_EQ(pool->handedTo.size(), 2u);
    ASSERT_EQ(pool->confirmed.size(), 1u);
    EXPECT_EQ(pool->confirmed[0], v.slotAddress[0].DisplayText() + " 1-1 0");
    EXPECT_EQ(pool->failed, (std::vector<std::string>{v.slotAddress[1].DisplayText() + " 1-2"}));
  }
  EXPECT_EQ(rig.FileAddress(), Addr("00:00:00:00:00:01"));  // the image's own address is untouched
  EXPECT_EQ(rig.engine->Close(), CloseOutcome::kDone);
  EXPECT_FALSE(pool->released);  // whoever gave it lets go of it
}

}  // namespace
}  // namespace kestrel::test
