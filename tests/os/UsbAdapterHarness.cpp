#include "UsbAdapterHarness.h"

#include <fcntl.h>
#include <linux/ioctl.h>
#include <linux/usbdevice_fs.h>
#include <stdlib.h>
#include <unistd.h>
#include <umockdev.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <list>
#include <mutex>
#include <thread>
#include <utility>

#include "SimBoard.h"
#include "transport/sim/SimWire.h"

namespace kestrel::ostest {
namespace {

constexpr uint16_t kMaxPacket = 512;
const char* const kManufacturer = "QR Microelectronics";
const char* const kProduct = "QR5830 Download Adapter";

// Device, configuration, vendor interface with bulk OUT 0x01 and bulk IN 0x81.
std::vector<uint8_t> Descriptors(uint16_t vid, uint16_t pid) {
  const uint8_t lo = kMaxPacket & 0xFF, hi = kMaxPacket >> 8;
  return {18,   1,    0x00, 0x02, 0x00, 0x00, 0x00, 64,   uint8_t(vid), uint8_t(vid >> 8), uint8_t(pid),
          uint8_t(pid >> 8), 0x00, 0x01, 1, 2, 3, 1,
          9,    2,    32,   0,    1,    1,    0,    0x80, 50,
          9,    4,    0,    0,    2,    0xFF, 0x00, 0x00, 0,
          7,    5,    0x01, 2,    lo,   hi,   0,
          7,    5,    0x81, 2,    lo,   hi,   0};
}

std::string Hex(const std::vector<uint8_t>& bytes) {
  std::string s;
  char b[3];
  for (uint8_t v : bytes) {
    std::snprintf(b, sizeof b, "%02x", v);
    s += b;
  }
  return s;
}

std::vector<uint8_t> StringDescriptor(const char* text) {
  std::vector<uint8_t> d = {0, 3};
  for (const char* p = text; *p != '\0'; ++p) d.insert(d.end(), {static_cast<uint8_t>(*p), 0});
  d[0] = static_cast<uint8_t>(d.size());
  return d;
}

}  // namespace

struct UsbAdapterHarness::Adapter : sim::SimBoard::Link {
  // A transfer in flight, on the connection (one opened node) that submitted it: only
  // that connection reaps or discards it.
  struct Urb {
    UMockdevIoctlClient* client = nullptr;
    UMockdevIoctlData* data = nullptr;    // the struct usbdevfs_urb
    UMockdevIoctlData* buffer = nullptr;  // its buffer
    uint8_t type = 0, endpoint = 0;
    int length = 0;
    bool done = false;
    int status = 0;
    int actual = 0;
    std::vector<uint8_t> in;  // what an IN or control transfer returns
  };
  struct Message {
    uint8_t status;
    std::vector<uint8_t> data;
  };

  std::string syspath, node, serial;
  std::vector<uint8_t> descriptors;
  int master = -1;
  UMockdevIoctlBase* handler = nullptr;

  mutable std::mutex mu;
  std::condition_variable cv;
  std::deque<std::vector<uint8_t>> toBoard;
  std::deque<Message> toHost;
  std::list<Urb> flying;
  std::map<unsigned long, int> requests;
  UsbFaults faults;
  sim::BoardFaults boardFaults;  // the model's own, as the simulators take them
  size_t outBytes = 0;
  bool gone = false, stop = false;

  sim::SimBoard board;
  std::string flashPath;
  std::thread thread;

  // SimBoard::Link, on the board's thread.
  bool Send(uint8_t status, const uint8_t* data, size_t length) override {
    std::lock_guard<std::mutex> lock(mu);
    if (gone || stop) return false;
    toHost.push_back({status, std::vector<uint8_t>(data, data + length)});
    return true;
  }
  bool Wait(int ms) override {
    std::unique_lock<std::mutex> lock(mu);
    return !cv.wait_for(lock, std::chrono::milliseconds(ms), [&] { return gone || stop; });
  }
  sim::BoardFaults Faults() override {
    std::lock_guard<std::mutex> lock(mu);
    return boardFaults;
  }
  // A failed transfer reaches the host as a bus error (-EPROTO) on its IN URB.
  bool TakeReadFailure(int transfer) override {
    std::lock_guard<std::mutex> lock(mu);
    if (transfer == 0) return std::exchange(boardFaults.replyFailOnce, false);
    if (boardFaults.readFailOnce != transfer) return false;
    boardFaults.readFailOnce = 0;
    return true;
  }

  void Run() {
    for (;;) {
      std::unique_lock<std::mutex> lock(mu);
      cv.wait(lock, [&] { return stop || gone || !toBoard.empty(); });
      if (stop || gone) return;
      std::vector<uint8_t> transfer = std::move(toBoard.front());
      toBoard.pop_front();
      lock.unlock();
      board.HandleTransfer(transfer.data(), transfer.size(), *this);
    }
  }

  static void Release(Urb& u) {
    umockdev_ioctl_data_unref(u.buffer);
    umockdev_ioctl_data_unref(u.data);
    g_object_unref(u.client);
  }

  // Hands the adapter's messages to the IN transfers waiting, oldest first; mu held.
  void Pump() {
    for (Urb& u : flying) {
      if (toHost.empty()) return;
      if (u.done || u.type != USBDEVFS_URB_TYPE_BULK || (u.endpoint & 0x80) == 0) continue;
      Message& m = toHost.front();
      if (m.status != simwire::kWireData) {
        u.status = -EPROTO;  // the transfer failed on the bus
      } else {
        const size_t n = std::min(m.data.size(), static_cast<size_t>(u.length));
        u.in.assign(m.data.begin(), m.data.begin() + static_cast<long>(n));
        m.data.erase(m.data.begin(), m.data.begin() + static_cast<long>(n));
        if (!m.data.empty()) {
          u.done = true;
          continue;  // the rest goes to the next transfer
        }
      }
      u.done = true;
      toHost.pop_front();
    }
  }

  void Control(Urb& u, const uint8_t* setup) {
    const uint8_t request = setup[1], type = setup[3], index = setup[2];
    std::vector<uint8_t> reply;
    bool known = request == 6;  // GET_DESCRIPTOR
    if (known && type == 1) {
      reply.assign(descriptors.begin(), descriptors.begin() + 18);
    } else if (known && type == 2) {
      reply.assign(descriptors.begin() + 18, descriptors.end());
    } else if (known && type == 3) {
      if (index == 0) reply = {4, 3, 0x09, 0x04};
      else if (index == 1) reply = StringDescriptor(kManufacturer);
      else if (index == 2) reply = StringDescriptor(kProduct);
      else if (index == 3) reply = StringDescriptor(serial.c_str());
      else known = false;
    } else {
      known = false;
    }
    const size_t asked = static_cast<size_t>(setup[6] | setup[7] << 8);
    if (reply.size() > asked) reply.resize(asked);
    u.in = reply;
    u.status = known ? 0 : -EPIPE;
    u.done = true;
  }

  gboolean Handle(UMockdevIoctlClient* client) {
    const unsigned long request = umockdev_ioctl_client_get_request(client);
    UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
    std::lock_guard<std::mutex> lock(mu);
    ++requests[request];
    if (gone) {
      umockdev_ioctl_client_complete(client, -1, ENODEV);
      return TRUE;
    }
    switch (request) {
      case USBDEVFS_GET_CAPABILITIES: {
        UMockdevIoctlData* d = umockdev_ioctl_data_resolve(arg, 0, sizeof(guint32), nullptr);
        const guint32 caps = USBDEVFS_CAP_BULK_CONTINUATION | USBDEVFS_CAP_NO_PACKET_SIZE_LIM |
                             USBDEVFS_CAP_REAP_AFTER_DISCONNECT | USBDEVFS_CAP_ZERO_PACKET;
        std::memcpy(d->data, &caps, sizeof caps);
        umockdev_ioctl_data_unref(d);
        umockdev_ioctl_client_complete(client, 0, 0);
        return TRUE;
      }
      case USBDEVFS_CLAIMINTERFACE:
      case USBDEVFS_DISCONNECT_CLAIM:
      case USBDEVFS_RELEASEINTERFACE:
      case USBDEVFS_CLEAR_HALT:
      case USBDEVFS_RESETEP:
      case USBDEVFS_SETINTERFACE:
      case USBDEVFS_SETCONFIGURATION:
        umockdev_ioctl_client_complete(client, 0, 0);
        return TRUE;
      case USBDEVFS_GETDRIVER:
      case USBDEVFS_IOCTL:  // no kernel driver to hand the interface back to
        umockdev_ioctl_client_complete(client, -1, ENODATA);
        return TRUE;
      case USBDEVFS_SUBMITURB: {
        Urb u;
        u.client = static_cast<UMockdevIoctlClient*>(g_object_ref(client));
        u.data = umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_urb), nullptr);
        auto* urb = reinterpret_cast<usbdevfs_urb*>(u.data->data);
        u.type = urb->type;
        u.endpoint = urb->endpoint;
        u.length = urb->buffer_length;
        u.buffer = umockdev_ioctl_data_resolve(u.data, G_STRUCT_OFFSET(usbdevfs_urb, buffer),
                                               static_cast<gsize>(urb->buffer_length), nullptr);
        if (u.type == USBDEVFS_URB_TYPE_CONTROL && u.length >= 8) {
          Control(u, u.buffer->data);
        } else if (u.type == USBDEVFS_URB_TYPE_BULK && (u.endpoint & 0x80) == 0) {
          if (faults.swallowOut) {
            // never completed: the host's time-out discards it
          } else if (faults.stallOut > 0) {
            --faults.stallOut;
            u.status = -EPIPE;
            u.done = true;
          } else {
            toBoard.emplace_back(u.buffer->data, u.buffer->data + u.length);
            outBytes += static_cast<size_t>(u.length);
            u.actual = u.length;
            u.done = true;
            cv.notify_all();
          }
        }
        flying.push_back(std::move(u));
        umockdev_ioctl_client_complete(client, 0, 0);
        return TRUE;
      }
      case USBDEVFS_REAPURB:
      case USBDEVFS_REAPURBNDELAY: {
        Pump();
        auto it = std::find_if(flying.begin(), flying.end(),
                               [client](const Urb& u) { return u.done && u.client == client; });
        if (it == flying.end()) {
          umockdev_ioctl_client_complete(client, -1, EAGAIN);
          return TRUE;
        }
        auto* urb = reinterpret_cast<usbdevfs_urb*>(it->data->data);
        if (it->type == USBDEVFS_URB_TYPE_CONTROL) {
          std::memcpy(it->buffer->data + 8, it->in.data(), it->in.size());
          urb->actual_length = static_cast<int>(it->in.size());
        } else if (it->endpoint & 0x80) {
          std::memcpy(it->buffer->data, it->in.data(), it->in.size());
          urb->actual_length = static_cast<int>(it->in.size());
        } else {
          urb->actual_length = it->actual;
        }
        urb->status = it->status;
        UMockdevIoctlData* out = umockdev_ioctl_data_resolve(arg, 0, sizeof(gpointer), nullptr);
        umockdev_ioctl_data_set_ptr(out, 0, it->data);
        umockdev_ioctl_data_unref(out);
        Release(*it);
        flying.erase(it);
        umockdev_ioctl_client_complete(client, 0, 0);
        return TRUE;
      }
      case USBDEVFS_DISCARDURB: {
        const gulong address = reinterpret_cast<gulong>(*reinterpret_cast<void**>(arg->data));
        for (Urb& u : flying) {
          if (u.client != client || u.data->client_addr != address || u.done) continue;
          u.done = true;
          u.status = -ENOENT;  // cancelled
          u.in.clear();
          umockdev_ioctl_client_complete(client, 0, 0);
          return TRUE;
        }
        umockdev_ioctl_client_complete(client, -1, EINVAL);
        return TRUE;
      }
      default:
        std::fprintf(stderr, "usb harness: %s: request 0x%lx not answered\n", node.c_str(), request);
        return FALSE;
    }
  }

  static gboolean OnIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self) {
    return static_cast<Adapter*>(self)->Handle(client);
  }

  // The node was closed: what that connection left in flight goes with it.
  static void OnVanished(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self) {
    auto* a = static_cast<Adapter*>(self);
    std::lock_guard<std::mutex> lock(a->mu);
    for (auto it = a->flying.begin(); it != a->flying.end();) {
      if (it->client != client) {
        ++it;
        continue;
      }
      Release(*it);
      it = a->flying.erase(it);
    }
  }

  void Shut() {
    {
      std::lock_guard<std::mutex> lock(mu);
      stop = true;
    }
    cv.notify_all();
    if (thread.joinable()) thread.join();
    for (Urb& u : flying) Release(u);
    flying.clear();
    if (master >= 0) ::close(master);
    master = -1;
  }
};

UsbAdapterHarness::UsbAdapterHarness(uint16_t vendorId, uint16_t productId)
    : vendorId_(vendorId), productId_(productId) {
  testbed_ = umockdev_testbed_new();
  char pattern[] = "/tmp/kestrel-usb-flash-XXXXXX";
  if (::mkdtemp(pattern) != nullptr) flashDir_ = pattern;
}

UsbAdapterHarness::~UsbAdapterHarness() {
  for (auto& a : adapters_) {
    a->Shut();
    if (a->handler != nullptr) g_object_unref(a->handler);
  }
  if (testbed_ != nullptr) g_object_unref(testbed_);
  std::error_code ec;
  if (!flashDir_.empty()) std::filesystem::remove_all(flashDir_, ec);
}

std::string UsbAdapterHarness::root() const {
  gchar* r = umockdev_testbed_get_root_dir(testbed_);
  std::string s = r;
  g_free(r);
  return s;
}

int UsbAdapterHarness::Add(const std::string& port, size_t flashSize, bool announce) {
  const int index = static_cast<int>(adapters_.size());
  auto a = std::make_unique<Adapter>();
  const int devnum = 2 + index;
  char node[32];
  std::snprintf(node, sizeof node, "/dev/bus/usb/001/%03d", devnum);
  a->node = node;
  const std::string name = "1-" + port;
  a->syspath = "/sys/devices/pci0000:00/0000:00:14.0/usb1/" + name;
  a->serial = "QRDL" + std::to_string(1000 + index);
  a->descriptors = Descriptors(vendorId_, productId_);
  a->flashPath = flashDir_ + "/" + simwire::BoardFlashName(index);
  if (!a->board.Create(a->flashPath, flashSize, 0, &error_)) return -1;

  a->master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (a->master < 0 || ::grantpt(a->master) != 0 || ::unlockpt(a->master) != 0) {
    error_ = std::string("pseudo-terminal: ") + std::strerror(errno);
    return -1;
  }
  const std::string slave = ::ptsname(a->master);

  a->handler = umockdev_ioctl_base_new();
  g_signal_connect(a->handler, "handle-ioctl", G_CALLBACK(&Adapter::OnIoctl), a.get());
  g_signal_connect(a->handler, "client-vanished", G_CALLBACK(&Adapter::OnVanished), a.get());
  GError* gerror = nullptr;
  if (!umockdev_testbed_attach_ioctl(testbed_, node, a->handler, &gerror)) {
    error_ = gerror != nullptr ? gerror->message : "attach_ioctl";
    g_clear_error(&gerror);
    return -1;
  }
  char ids[128];
  std::snprintf(ids, sizeof ids, "E: ID_VENDOR_ID=%04x\nE: ID_MODEL_ID=%04x\nE: PRODUCT=%x/%x/100\n", vendorId_,
                productId_, vendorId_, productId_);
  char attrs[128];
  std::snprintf(attrs, sizeof attrs, "A: idVendor=%04x\\n\nA: idProduct=%04x\\n\n", vendorId_, productId_);
  const std::string record = "P: " + a->syspath.substr(4) + "\nN: " + std::string(node + 5) +
                             "\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\nE: DRIVER=usb\nE: BUSNUM=001\nE: DEVNUM=" +
                             std::string(node + 17) + "\nE: DEVNAME=" + node + "\n" + ids + "E: ID_VENDOR=" +
                             "QR_Microelectronics\nE: ID_MODEL=QR5830_Download_Adapter\nE: ID_SERIAL=" +
                             "QR_Microelectronics_QR5830_Download_Adapter_" + a->serial + "\nE: ID_SERIAL_SHORT=" +
                             a->serial + "\nE: ID_BUS=usb\n" + attrs + "A: busnum=1\\n\nA: devnum=" +
                             std::to_string(devnum) + "\\n\nA: devpath=" + port + "\\n\nA: speed=480\\n\n" +
                             "A: bConfigurationValue=1\\n\nA: manufacturer=" + kManufacturer +
                             "\\n\nA: product=" + kProduct + "\\n\nA: serial=" + a->serial +
                             "\\n\nH: descriptors=" + Hex(a->descriptors) + "\n";
  if (!umockdev_testbed_add_from_string(testbed_, record.c_str(), &gerror)) {
    error_ = gerror != nullptr ? gerror->message : "add_from_string";
    g_clear_error(&gerror);
    return -1;
  }
  const std::string file = root() + node;
  ::unlink(file.c_str());
  if (::symlink(slave.c_str(), file.c_str()) != 0) {
    error_ = "symlink " + file + ": " + std::strerror(errno);
    return -1;
  }
  Adapter* raw = a.get();
  a->thread = std::thread([raw] { raw->Run(); });
  adapters_.push_back(std::move(a));
  if (announce) umockdev_testbed_uevent(testbed_, raw->syspath.c_str(), "add");
  return index;
}

void UsbAdapterHarness::Remove(int adapter) {
  Adapter& a = *adapters_.at(static_cast<size_t>(adapter));
  {
    std::lock_guard<std::mutex> lock(a.mu);
    a.gone = true;
  }
  a.cv.notify_all();
  if (a.master >= 0) ::close(a.master);  // the node hangs up: POLLERR for its users
  a.master = -1;
  umockdev_testbed_uevent(testbed_, a.syspath.c_str(), "remove");
}

void UsbAdapterHarness::SetFaults(int adapter, UsbFaults faults) {
  Adapter& a = *adapters_.at(static_cast<size_t>(adapter));
  std::lock_guard<std::mutex> lock(a.mu);
  a.faults = faults;
}

bool UsbAdapterHarness::SetBoardFault(int adapter, const std::string& setting) {
  if (setting.rfind("vanish", 0) == 0 || setting == "no-id") {
    error_ = setting + ": not a board fault here (Remove() pulls an adapter; its identity is its bus path)";
    return false;
  }
  Adapter& a = *adapters_.at(static_cast<size_t>(adapter));
  std::lock_guard<std::mutex> lock(a.mu);
  return sim::ApplyFault(&a.boardFaults, setting, &error_);
}

std::vector<uint8_t> UsbAdapterHarness::Flash(int adapter) const {
  std::ifstream f(adapters_.at(static_cast<size_t>(adapter))->flashPath, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

void UsbAdapterHarness::Fill(int adapter, const std::vector<uint8_t>& bytes) const {
  // The board maps the file shared, so a write through the file is what it holds.
  std::fstream f(adapters_.at(static_cast<size_t>(adapter))->flashPath, std::ios::binary | std::ios::in | std::ios::out);
  f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

size_t UsbAdapterHarness::OutBytes(int adapter) const {
  const Adapter& a = *adapters_.at(static_cast<size_t>(adapter));
  std::lock_guard<std::mutex> lock(a.mu);
  return a.outBytes;
}

std::map<unsigned long, int> UsbAdapterHarness::Requests() const {
  std::map<unsigned long, int> all;
  for (const auto& a : adapters_) {
    std::lock_guard<std::mutex> lock(a->mu);
    for (const auto& [request, n] : a->requests) all[request] += n;
  }
  return all;
}

void UsbAdapterHarness::OpenToOtherUsers() const {
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::path top = root();
  // The top folder also takes the sockets of a program's udev monitor.
  fs::permissions(top, fs::perms::all | fs::perms::sticky_bit, fs::perm_options::add, ec);
  for (auto it = fs::recursive_directory_iterator(top, ec); it != fs::recursive_directory_iterator(); it.increment(ec)) {
    if (it->is_symlink(ec)) continue;
    // umockdev's ioctl sockets are its plumbing, not the device's node: whoever may open
    // the node must reach them.
    const auto add = it->is_directory(ec) ? fs::perms::others_read | fs::perms::others_exec
                     : it->is_socket(ec)  ? fs::perms::others_read | fs::perms::others_write
                                          : fs::perms::others_read;
    fs::permissions(it->path(), add, fs::perm_options::add, ec);
  }
}

}  // namespace kestrel::ostest
