#pragma once
// Download adapters at the kernel's USB interface, for programs started under umockdev's
// preload library: each adapter is a usb_device in the mocked sysfs and udev database
// (ids, descriptors with the vendor interface and its bulk OUT and IN endpoints, bus and
// port), and a device node whose usbdevfs ioctls are answered here. The adapter's command
// set is the adapter model's (SimBoard), the same the socket simulator runs.
//
// The node is a link to a pseudo-terminal's slave side. Its only job is the way a real
// usbdevfs node reports a pulled device: closing the master hangs the slave up, and the
// program's poll on the node then sees POLLERR, which is what makes libusb fail the
// transfers in flight. A plain file, umockdev's default, never reports anything.
//
// Requests answered: GET_CAPABILITIES, CLAIMINTERFACE / DISCONNECT_CLAIM,
// RELEASEINTERFACE, SETINTERFACE, SETCONFIGURATION, CLEAR_HALT, RESETEP (all accepted),
// GETDRIVER and IOCTL (no kernel driver: ENODATA), SUBMITURB (control: the device,
// configuration and string descriptors; bulk OUT to the board; bulk IN waits for the
// board's answer), REAPURB / REAPURBNDELAY (EAGAIN while nothing is done) and DISCARDURB.
// Each transfer belongs to the connection (opened node) that submitted it. A pulled
// adapter answers everything with ENODEV.
//
// The process that uses this must itself run under the preload (umockdev-wrapper):
// umockdev sends uevents through the mocked udev of the calling process.
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

typedef struct _UMockdevTestbed UMockdevTestbed;

namespace kestrel::ostest {

struct UsbFaults {
  int stallOut = 0;        // the next n OUT transfers end in a stall (-EPIPE)
  bool swallowOut = false; // OUT transfers are never completed (the host's time-out ends them)
};

class UsbAdapterHarness {
 public:
  UsbAdapterHarness(uint16_t vendorId, uint16_t productId);
  ~UsbAdapterHarness();
  UsbAdapterHarness(const UsbAdapterHarness&) = delete;
  UsbAdapterHarness& operator=(const UsbAdapterHarness&) = delete;

  // An adapter on bus 1 at hub port path port ("2" or "3.1"), with an erased flash of
  // flashSize bytes. announce: an "add" uevent tells running programs (hot-plug).
  // Returns its index, or -1 (with the reason in error()).
  int Add(const std::string& port, size_t flashSize, bool announce = false);
  // Pulled out: the node hangs up, every later ioctl answers ENODEV, a "remove" uevent goes out.
  void Remove(int adapter);
  void SetFaults(int adapter, UsbFaults faults);
  // One board fault in the simulators' NAME[=VALUE] grammar ("flip=4096",
  // "connect=noreply", "read-fail-once=3"; kestrel-adapter-sim --help), for the adapter
  // model behind this adapter. False (reason in error()) for a setting the grammar refuses
  // and for the adapter's own vanish= and no-id: here an adapter goes with Remove(), and
  // its identity is its place on the bus.
  bool SetBoardFault(int adapter, const std::string& setting);

  std::vector<uint8_t> Flash(int adapter) const;
  // Puts bytes into the board's flash as if programmed earlier.
  void Fill(int adapter, const std::vector<uint8_t>& bytes) const;
  // Bytes the adapter took in OUT transfers so far.
  size_t OutBytes(int adapter) const;
  // Number of times each usbdevfs request was answered, over all adapters.
  std::map<unsigned long, int> Requests() const;
  // The testbed's root (UMOCKDEV_DIR of the programs started from here).
  std::string root() const;
  const std::string& error() const { return error_; }
  // Lets another user reach the testbed (sysfs, udev database, and room for its udev
  // monitor's socket); the device nodes stay root's.
  void OpenToOtherUsers() const;

  struct Adapter;

 private:
  UMockdevTestbed* testbed_ = nullptr;
  uint16_t vendorId_, productId_;
  std::string flashDir_;
  std::string error_;
  std::vector<std::unique_ptr<Adapter>> adapters_;
};

}  // namespace kestrel::ostest
