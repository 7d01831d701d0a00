#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "SimHost.h"
#include "SimProcess.h"
#include "transport/sim/SimTransport.h"

namespace kestrel {
namespace {

using testing::SimHost;
using testing::SimProcess;

class SimTransportTest : public ::testing::Test {
 protected:
  void StartSim(const std::vector<std::string>& args) {
    if (!SimProcess::Available()) GTEST_SKIP() << "kestrel-adapter-sim not built";
    ASSERT_TRUE(sim_.Start(args));
  }
  SimProcess sim_;
};

TEST_F(SimTransportTest, PathsDirectionsAndUnplugWhileOpen) {
  StartSim({"--boards", "2", "--erase-ms", "0"});
  SimTransport t(sim_.dir());
  DeviceInterfaceInfo info = t.GetInterfaceInfo(0);
  EXPECT_EQ(info.devicePath, sim_.dir() + "/adapter0.sock");

  SimHost a;
  ASSERT_TRUE(a.Open(t, 0));
  EXPECT_EQ(t.currentPath(), info.devicePath);
  // The in pipe's path carries its own name only, not the out pipe's as well.
  EXPECT_EQ(t.PipePath("PIPE00"), info.devicePath + "\\PIPE00");

  // Pipes only go their own way; the device endpoint carries nothing.
  uint8_t byte = 0xA3;
  size_t n = 0;
  EXPECT_FALSE(a.in->Write(&byte, 1, &n));
  EXPECT_FALSE(a.out->Read(&byte, 1, &n, 10));
  EXPECT_FALSE(a.device->Write(&byte, 1, &n));
  EXPECT_FALSE(a.device->Read(&byte, 1, &n, 10));

  // A pulled adapter cannot be reached; the next one moves up to index 0.
  EXPECT_EQ(sim_.Control("unplug 0"), "ok");
  EXPECT_EQ(SimConnection::Connect(info.devicePath), nullptr);
  EXPECT_EQ(t.GetInterfaceInfo(0).devicePath, sim_.dir() + "/adapter1.sock");
  EXPECT_FALSE(a.ReadOnce(11, 1000));
  EXPECT_FALSE(a.Send({0xA3}));
}

TEST_F(SimTransportTest, ReadWithNothingToReadTimesOut) {
  StartSim({"--boards", "1"});
  SimTransport t(sim_.dir());
  SimHost a;
  ASSERT_TRUE(a.Open(t, 0));
  auto t0 = std::chrono::steady_clock::now();
  EXPECT_FALSE(a.ReadOnce(11, 100));
  EXPECT_GE(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(90));
}

TEST_F(SimTransportTest, InterfaceWithoutInstanceIdIsCountedButHasNoId) {
  StartSim({"--boards", "3", "--fault", "1:no-id"});
  SimTransport t(sim_.dir());
  ASSERT_EQ(t.CountInterfaces(), 3);
  DeviceInterfaceInfo info = t.GetInterfaceInfo(1);
  EXPECT_EQ(info.devicePath, sim_.dir() + "/adapter1.noid.sock");
  EXPECT_TRUE(info.adapterId.empty());
  EXPECT_FALSE(info.displayName.empty());
  EXPECT_FALSE(t.GetInterfaceInfo(2).adapterId.empty());
}

TEST_F(SimTransportTest, OrderFollowsAdapterNumberNotNameOrder) {
  StartSim({"--boards", "12"});
  SimTransport t(sim_.dir());
  ASSERT_EQ(t.CountInterfaces(), 12);
  EXPECT_EQ(t.GetInterfaceInfo(2).devicePath, sim_.dir() + "/adapter2.sock");
  EXPECT_EQ(t.GetInterfaceInfo(10).devicePath, sim_.dir() + "/adapter10.sock");
}

TEST_F(SimTransportTest, IgnoresFilesThatAreNotAdapterSockets) {
  StartSim({"--boards", "1"});
  // A regular file with an adapter's name is no adapter; neither are control.sock and
  // the flash files.
  std::ofstream(sim_.dir() + "/adapter5.sock") << "x";
  SimTransport t(sim_.dir());
  EXPECT_EQ(t.CountInterfaces(), 1);
}

// Sockets bound here stand in for adapters; counting looks at the folder only.
TEST(SimTransportCount, StopsAt127) {
  SimProcess folder;  // its fresh folder, never started
  std::vector<int> fds;
  for (int i = 0; i < 130; ++i) {
    int fd = socket(AF_UNIX, SOCK_SEQPACKET, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::string path = folder.dir() + "/adapter" + std::to_string(i) + ".sock";
    std::strncpy(addr.sun_path, path.c_str(), sizeof addr.sun_path - 1);
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    fds.push_back(fd);
  }
  SimTransport t(folder.dir());
  EXPECT_EQ(t.CountInterfaces(), 127);
  EXPECT_EQ(t.GetInterfaceInfo(126).devicePath, folder.dir() + "/adapter126.sock");
  EXPECT_TRUE(t.GetInterfaceInfo(127).devicePath.empty());
  for (int fd : fds) close(fd);
}

TEST_F(SimTransportTest, StaleSocketsOfAnEarlierRunAreRemoved) {
  // A socket nobody listens on, as a killed simulator leaves it.
  int fd = socket(AF_UNIX, SOCK_SEQPACKET, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  std::string path = sim_.dir() + "/adapter3.sock";
  std::strncpy(addr.sun_path, path.c_str(), sizeof addr.sun_path - 1);
  ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  close(fd);
  StartSim({"--boards", "2"});
  EXPECT_EQ(SimTransport(sim_.dir()).CountInterfaces(), 2);
}

TEST(SimTransportMissingFolder, HasNoAdapters) {
  SimTransport t("/nonexistent/kestrel-sim");
  EXPECT_EQ(t.CountInterfaces(), 0);
  EXPECT_EQ(t.OpenInterface(0), nullptr);
  EXPECT_EQ(t.OpenPipe("PIPE00"), nullptr);
}

TEST_F(SimTransportTest, HostMayDropAndReopenItsConnections) {
  StartSim({"--boards", "1"});
  SimTransport t(sim_.dir());
  for (int round = 0; round < 3; ++round) {
    SimHost a;
    ASSERT_TRUE(a.Open(t, 0));
    ASSERT_TRUE(a.Send({0xA3}));
    auto r = a.ReadOnce(11);
    ASSERT_TRUE(r) << "round " << round;
    EXPECT_EQ((*r)[1], 0x03);
  }
  // A pipe opened alone and dropped leaves nothing that the next pair would pick up.
  { auto lone = t.OpenPipe("PIPE01"); }
  SimHost b;
  ASSERT_TRUE(b.Open(t, 0));
  ASSERT_TRUE(b.Send({0xA3}));
  EXPECT_TRUE(b.ReadOnce(11));
}

TEST_F(SimTransportTest, RefusesUnknownPipesAndBadTransfers) {
  StartSim({"--boards", "1"});
  SimTransport t(sim_.dir());
  SimHost a;
  ASSERT_TRUE(a.Open(t, 0));
  EXPECT_EQ(t.OpenPipe("PIPE02"), nullptr);
  EXPECT_EQ(t.OpenPipe(""), nullptr);
  std::vector<uint8_t> big(kMaxTransfer + 1, 0xAA);
  size_t n = 1;
  EXPECT_FALSE(a.out->Write(big.data(), big.size(), &n));
  EXPECT_EQ(n, 0u);
  EXPECT_FALSE(a.out->Write(big.data(), 0, &n));
  EXPECT_FALSE(a.out->Write(nullptr, 4, &n));
  EXPECT_TRUE(a.out->Write(big.data(), kMaxTransfer, &n));
  EXPECT_EQ(n, kMaxTransfer);
}

}  // namespace
}  // namespace kestrel
