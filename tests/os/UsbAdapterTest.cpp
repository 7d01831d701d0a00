// kestrel's libusb backend, with libusb itself unchanged, against download adapters
// emulated at the usbdevfs interface: kestrel-cli --usb in a process of its own, and the
// transport's hot-plug watching in this one.
#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <linux/ioctl.h>
#include <linux/usbdevice_fs.h>

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "UsbAdapterHarness.h"
#include "kestrel/transport/SimHost.h"
#include "transport/usb/UsbTransport.h"

namespace kestrel::ostest {
namespace {

using Clock = std::chrono::steady_clock;
constexpr uint16_t kVid = 0x3a5c, kPid = 0x5830;
constexpr size_t kFlash = 1 << 20;
constexpr size_t kReadLength = 512 * 1024;

std::string ReadText(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
  const std::string s = ReadText(path);
  return std::vector<uint8_t>(s.begin(), s.end());
}

class Folder {
 public:
  Folder() {
    char pattern[] = "/tmp/kestrel-usb-test-XXXXXX";
    if (::mkdtemp(pattern) != nullptr) path_ = pattern;
    ::chmod(path_.c_str(), 0777);  // also for the unprivileged run
  }
  ~Folder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// kestrel-cli --usb with args, started under the preload this test runs under.
class Cli {
 public:
  Cli(const Folder& dir, const std::vector<std::string>& args, bool unprivileged = false)
      : out_(dir.File("out" + std::to_string(++runs_))), err_(out_ + ".err") {
    std::vector<std::string> all = {KESTREL_CLI_PATH, "--usb", "--usb-id", "3a5c:5830"};
    all.insert(all.end(), args.begin(), args.end());
    pid_ = ::fork();
    if (pid_ != 0) return;
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (unprivileged && (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)) _exit(126);
    const int o = ::open(out_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    const int e = ::open(err_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    ::dup2(o, 1);
    ::dup2(e, 2);
    std::vector<char*> argv;
    for (auto& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    ::execv(argv[0], argv.data());
    _exit(127);
  }
  ~Cli() {
    if (pid_ > 0 && status_ < 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
  }
  // Exit status, or -1 when it was still running after timeoutMs (then it is killed).
  int Wait(int timeoutMs = 60000) {
    const auto until = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (status_ < 0 && Clock::now() < until) {
      int st = 0;
      if (::waitpid(pid_, &st, WNOHANG) == pid_) {
        status_ = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return status_;
  }
  std::string out() const { return ReadText(out_); }
  std::string err() const { return ReadText(err_); }

 private:
  static inline int runs_ = 0;
  std::string out_, err_;
  pid_t pid_ = -1;
  int status_ = -1;
};

std::vector<uint8_t> RandomBytes(size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> v(n);
  for (auto& b : v) b = static_cast<uint8_t>(rng());
  return v;
}

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream f(path, std::ios::binary);
  f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// The board holds the image and is erased behind it.
bool HoldsImage(const std::vector<uint8_t>& flash, const std::vector<uint8_t>& image) {
  if (flash.size() < image.size() || !std::equal(image.begin(), image.end(), flash.begin())) return false;
  return std::all_of(flash.begin() + static_cast<long>(image.size()), flash.end(), [](uint8_t b) { return b == 0xFF; });
}

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

// Four adapters with the same ids, plugged in out of order: listed by their place on the
// bus, each slot reaching the adapter at its place, and a burn, a read and an erase of all
// four through unchanged libusb.
TEST(UsbAdapters, FourAdaptersListBurnReadAndEraseThroughTheKernelInterface) {
  UsbAdapterHarness usb(kVid, kPid);
  // Ports 5, 2, 4, 3: slots 0..3 are the adapters at 1-2, 1-3, 1-4, 1-5.
  const std::vector<std::string> ports = {"5", "2", "4", "3"};
  for (const auto& p : ports) ASSERT_GE(usb.Add(p, kFlash), 0) << usb.error();
  const int slotAdapter[4] = {1, 3, 2, 0};
  Folder dir;

  auto start = Clock::now();
  Cli list(dir, {"list"});
  ASSERT_EQ(list.Wait(), 0) << list.err();
  std::printf("list: %.2f s\n", Seconds(start));
  EXPECT_EQ(list.out(),
            "4 adapter(s)\n"
            "0  slot 1-2  QR5830 Download Adapter  (usb:1-2)\n"
            "1  slot 1-3  QR5830 Download Adapter  (usb:1-3)\n"
            "2  slot 1-4  QR5830 Download Adapter  (usb:1-4)\n"
            "3  slot 1-5  QR5830 Download Adapter  (usb:1-5)\n");

  // Each board holds something of its own: a read tells the adapters apart.
  for (int a = 0; a < 4; ++a) usb.Fill(a, RandomBytes(kReadLength, 100 + static_cast<unsigned>(a)));
  start = Clock::now();
  Cli read(dir, {"--readback-dir", dir.File("rb"), "read"});
  ASSERT_EQ(read.Wait(), 0) << read.out() << read.err();
  std::printf("read of 4 x 512 KiB: %.2f s\n", Seconds(start));
  for (int slot = 0; slot < 4; ++slot) {
    const auto flash = usb.Flash(slotAdapter[slot]);
    EXPECT_EQ(ReadBytes(dir.File("rb/flashdev" + std::to_string(slot) + ".bin")),
              std::vector<uint8_t>(flash.begin(), flash.begin() + kReadLength))
        << "slot " << slot;
  }

  const auto image = RandomBytes(64 * 1024, 7);
  WriteFile(dir.File("image.IMG"), image);
  start = Clock::now();
  Cli burn(dir, {"--readback-dir", dir.File("rb"), "burn", dir.File("image.IMG")});
  ASSERT_EQ(burn.Wait(), 0) << burn.out() << burn.err();
  std::printf("burn of 4 x 64 KiB: %.2f s\n", Seconds(start));
  for (int a = 0; a < 4; ++a) EXPECT_TRUE(HoldsImage(usb.Flash(a), image)) << "adapter at 1-" << ports[static_cast<size_t>(a)];

  Cli erase(dir, {"erase"});
  ASSERT_EQ(erase.Wait(), 0) << erase.out() << erase.err();
  for (int a = 0; a < 4; ++a) EXPECT_TRUE(HoldsImage(usb.Flash(a), {})) << "adapter " << a;

  const auto requests = usb.Requests();
  for (unsigned long r : {USBDEVFS_SUBMITURB, USBDEVFS_REAPURBNDELAY, USBDEVFS_GET_CAPABILITIES,
                          USBDEVFS_RELEASEINTERFACE})
    EXPECT_GT(requests.count(r), 0u) << std::hex << r;
  EXPECT_GT(requests.count(USBDEVFS_DISCONNECT_CLAIM) + requests.count(USBDEVFS_CLAIMINTERFACE), 0u);
  for (const auto& [r, n] : requests) std::printf("request 0x%lx: %d\n", r, n);
}

// An adapter pulled out in the middle of a burn fails its own slot; the other three
// finish with their boards programmed.
TEST(UsbAdapters, RemovalDuringABurnFailsThatSlotWhileTheOthersFinish) {
  UsbAdapterHarness usb(kVid, kPid);
  for (const char* p : {"2", "3", "4", "5"}) ASSERT_GE(usb.Add(p, kFlash), 0) << usb.error();
  Folder dir;
  const auto image = RandomBytes(256 * 1024, 9);
  WriteFile(dir.File("image.IMG"), image);
  const std::string log = dir.File("production.csv");
  Cli burn(dir, {"--readback-dir", dir.File("rb"), "burn", dir.File("image.IMG"), "--log", log});

  constexpr int kPulled = 2;
  const auto until = Clock::now() + std::chrono::seconds(60);
  while (usb.OutBytes(kPulled) < 32 * 1024 && Clock::now() < until)
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  ASSERT_GE(usb.OutBytes(kPulled), 32u * 1024) << "the burn never got going";
  usb.Remove(kPulled);
  const auto pulled = Clock::now();
  double failedAfter = -1;
  while (failedAfter < 0 && Clock::now() < until) {
    std::istringstream rows(ReadText(log));
    for (std::string row; std::getline(rows, row);)
      if (row.find(",burn,1-4,") != std::string::npos) failedAfter = Seconds(pulled);
    if (failedAfter < 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  ASSERT_EQ(burn.Wait(), 1) << burn.out() << burn.err();
  std::printf("removal to the slot's failure: %.3f s\n", failedAfter);
  EXPECT_GE(failedAfter, 0) << ReadText(log);
  EXPECT_NE(burn.out().find("slot 2: result 3"), std::string::npos) << burn.out();
  for (int slot : {0, 1, 3}) {
    EXPECT_NE(burn.out().find("slot " + std::to_string(slot) + ": result 0"), std::string::npos) << burn.out();
    EXPECT_TRUE(HoldsImage(usb.Flash(slot), image)) << "slot " << slot;
  }
}

// Board faults in the simulators' grammar reach the adapter model behind the emulated
// device: a board whose flash loses a bit after programming fails verification, one that
// acknowledges Connect but never reports itself connected is not confirmed, and the other
// two finish with the image.
TEST(UsbAdapters, BoardFaultsFailTheirOwnSlotsWithTheirResults) {
  UsbAdapterHarness usb(kVid, kPid);
  for (const char* p : {"2", "3", "4", "5"}) ASSERT_GE(usb.Add(p, kFlash), 0) << usb.error();
  constexpr size_t kFlipped = 0x1234;
  ASSERT_TRUE(usb.SetBoardFault(1, "flip=" + std::to_string(kFlipped))) << usb.error();
  ASSERT_TRUE(usb.SetBoardFault(3, "connect=ee00")) << usb.error();
  EXPECT_FALSE(usb.SetBoardFault(0, "flip=x"));
  EXPECT_FALSE(usb.SetBoardFault(0, "vanish=10")) << "an adapter goes with Remove()";
  Folder dir;
  const auto image = RandomBytes(64 * 1024, 13);
  WriteFile(dir.File("image.IMG"), image);
  Cli burn(dir, {"--readback-dir", dir.File("rb"), "burn", dir.File("image.IMG")});
  ASSERT_EQ(burn.Wait(), 1) << burn.out() << burn.err();

  EXPECT_NE(burn.out().find("slot 1: result 4"), std::string::npos) << burn.out();
  auto flipped = image;
  flipped[kFlipped] ^= 1;
  EXPECT_TRUE(HoldsImage(usb.Flash(1), flipped)) << "programmed, then the bit went";
  EXPECT_NE(burn.out().find("slot 3: result 9"), std::string::npos) << burn.out();
  EXPECT_TRUE(HoldsImage(usb.Flash(3), {})) << "nothing reached a board that never connected";
  for (int slot : {0, 2}) {
    EXPECT_NE(burn.out().find("slot " + std::to_string(slot) + ": result 0"), std::string::npos) << burn.out();
    EXPECT_TRUE(HoldsImage(usb.Flash(slot), image)) << "slot " << slot;
  }
}

// A stall is cleared and the transfer tried once more; a second stall fails the slot with
// a message. An adapter that never takes a packet fails its slot at the write time-out.
TEST(UsbAdapters, StallsAreClearedOnceAndTimeOutsFailTheSlot) {
  UsbAdapterHarness usb(kVid, kPid);
  for (const char* p : {"2", "3"}) ASSERT_GE(usb.Add(p, kFlash), 0) << usb.error();
  Folder dir;
  const auto image = RandomBytes(16 * 1024, 11);
  WriteFile(dir.File("image.IMG"), image);
  const std::vector<std::string> burnArgs = {"--readback-dir", dir.File("rb"), "burn", dir.File("image.IMG")};

  UsbFaults once;
  once.stallOut = 1;
  usb.SetFaults(0, once);
  Cli cured(dir, burnArgs);
  EXPECT_EQ(cured.Wait(), 0) << cured.out() << cured.err();
  EXPECT_GT(usb.Requests()[USBDEVFS_CLEAR_HALT], 0);
  EXPECT_TRUE(HoldsImage(usb.Flash(0), image));

  UsbFaults twice;
  twice.stallOut = 2;
  usb.SetFaults(0, twice);
  Cli stalled(dir, burnArgs);
  EXPECT_EQ(stalled.Wait(), 1) << stalled.out() << stalled.err();
  EXPECT_EQ(stalled.out().find("slot 0: result 0"), std::string::npos) << stalled.out();
  EXPECT_NE(stalled.out().find("slot 1: result 0"), std::string::npos) << stalled.out();
  EXPECT_NE(stalled.err().find("adapter usb:1-2: the out pipe stalled again after its halt was cleared"),
            std::string::npos)
      << stalled.err();

  UsbFaults deaf;
  deaf.swallowOut = true;
  usb.SetFaults(0, deaf);
  const int discardsBefore = usb.Requests()[USBDEVFS_DISCARDURB];
  const auto start = Clock::now();
  Cli silent(dir, burnArgs);
  EXPECT_EQ(silent.Wait(), 1) << silent.out() << silent.err();
  std::printf("burn with an adapter that takes nothing: %.2f s\n", Seconds(start));
  EXPECT_EQ(silent.out().find("slot 0: result 0"), std::string::npos) << silent.out();
  EXPECT_NE(silent.out().find("slot 1: result 0"), std::string::npos) << silent.out();
  EXPECT_GT(usb.Requests()[USBDEVFS_DISCARDURB], discardsBefore) << "the timed-out transfer was not cancelled";
}

// A node the user may not open: the message says which udev rule and group give access.
TEST(UsbAdapters, PermissionDeniedNamesTheUdevRuleAndTheGroup) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to drop to another user";
  struct stat root {};
  if (::stat("/", &root) == 0 && (root.st_mode & S_IXOTH) == 0)
    GTEST_SKIP() << "the root folder is mode " << std::oct << (root.st_mode & 07777)
                 << ": no other user can start a program on this system";
  UsbAdapterHarness usb(kVid, kPid);
  ASSERT_GE(usb.Add("2", kFlash), 0) << usb.error();
  usb.OpenToOtherUsers();
  Folder dir;
  Cli erase(dir, {"erase"}, true);
  EXPECT_EQ(erase.Wait(), 1) << erase.out() << erase.err();
  EXPECT_NE(erase.err().find("adapter usb:1-2 (/dev/bus/usb/001/002): permission denied. The udev rule "
                             "60-kestrel-adapter.rules gives the group \"kestrel\" access"),
            std::string::npos)
      << erase.err();
}

class Changes : public AdapterListener {
 public:
  void AdaptersChanged() override {
    std::lock_guard<std::mutex> lock(mu_);
    ++count_;
    cv_.notify_all();
  }
  // Waits for a notification after the count seen; true when one came.
  bool WaitBeyond(int seen, int ms = 5000) {
    std::unique_lock<std::mutex> lock(mu_);
    return cv_.wait_for(lock, std::chrono::milliseconds(ms), [&] { return count_ > seen; });
  }
  int count() {
    std::lock_guard<std::mutex> lock(mu_);
    return count_;
  }

 private:
  std::mutex mu_;
  std::condition_variable cv_;
  int count_ = 0;
};

// Plugging and pulling reach the transport through libusb's hot-plug path (udev uevents).
TEST(UsbAdapters, ArrivalAndRemovalReachTheHotPlugListener) {
  UsbAdapterHarness usb(kVid, kPid);
  ASSERT_GE(usb.Add("2", kFlash), 0) << usb.error();
  UsbTransport transport(UsbVidPid{kVid, kPid});
  ASSERT_TRUE(transport.ok());
  ASSERT_EQ(transport.CountInterfaces(), 1);
  Changes changes;
  ASSERT_TRUE(transport.StartWatching(&changes));

  int seen = changes.count();
  auto start = Clock::now();
  ASSERT_GE(usb.Add("3", kFlash, true), 0) << usb.error();
  ASSERT_TRUE(changes.WaitBeyond(seen)) << "no notice of the new adapter";
  std::printf("arrival to notice: %.3f s\n", Seconds(start));
  transport.StopWatching();
  EXPECT_EQ(transport.CountInterfaces(), 2);
  EXPECT_EQ(transport.GetInterfaceInfo(1).adapterId.text(), "1-3");
  EXPECT_EQ(transport.GetInterfaceInfo(1).displayName, "QR5830 Download Adapter");

  ASSERT_TRUE(transport.StartWatching(&changes));
  seen = changes.count();
  start = Clock::now();
  usb.Remove(0);
  ASSERT_TRUE(changes.WaitBeyond(seen)) << "no notice of the removal";
  std::printf("removal to notice: %.3f s\n", Seconds(start));
  transport.StopWatching();
  EXPECT_EQ(transport.CountInterfaces(), 1);
  EXPECT_EQ(transport.GetInterfaceInfo(0).adapterId.text(), "1-3");
}

// The backend's own lifecycle on one adapter, in process: open the device and both pipes,
// a Connect exchange, "USB Reset" (the device endpoint closed, the pipes still working),
// then the adapter pulled out: reads and writes fail at once instead of waiting.
TEST(UsbAdapters, ResetKeepsThePipesAndAPulledAdapterFailsItsTransfersAtOnce) {
  UsbAdapterHarness usb(kVid, kPid);
  ASSERT_GE(usb.Add("2", kFlash), 0) << usb.error();
  UsbTransport transport(UsbVidPid{kVid, kPid});
  ASSERT_TRUE(transport.ok());
  testing::SimHost host;
  ASSERT_TRUE(host.Open(transport, 0));
  ASSERT_TRUE(host.Send({0xA3}));
  auto reply = host.ReadOnce(64);
  ASSERT_TRUE(reply);
  EXPECT_EQ(*reply, (std::vector<uint8_t>{0xEE, 0x03, 0, 0, 0, 0, 0, 0, 0, 0, 0}));

  host.device.reset();  // "USB Reset"
  ASSERT_TRUE(host.Send({0xA4}));
  auto released = host.ReadOnce(64);
  ASSERT_TRUE(released);
  EXPECT_EQ(released->at(0), 0xEE);
  // A second open of the same adapter shares the claimed interface the pipes hold.
  testing::SimHost again;
  ASSERT_TRUE(again.Open(transport, 0));

  usb.Remove(0);
  const auto start = Clock::now();
  EXPECT_FALSE(host.ReadOnce(64, 5000));
  EXPECT_FALSE(host.Send({0xA3}));
  const double seconds = Seconds(start);
  std::printf("pulled adapter: read and write failed after %.3f s\n", seconds);
  EXPECT_LT(seconds, 2.0) << "the transfers waited for their time-outs instead of failing";
}

}  // namespace
}  // namespace kestrel::ostest
