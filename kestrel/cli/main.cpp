// kestrel-cli: the production download tool on the command line. It drives the same
// ProductionEngine as the dialog: "burn" is loading the image, setting the address,
// pressing "烧录&&测试" once and closing the window.
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cstdio>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "cli/TerminalView.h"
#include "core/ProductionEngine.h"
#include "core/SteadyClock.h"

#include "qrplatform/Utf8Path.h"

// The build defines KESTREL_HAVE_<backend> for each backend it links.
#ifdef KESTREL_HAVE_SIM
#include "transport/sim/SimTransport.h"
#endif
#ifdef KESTREL_HAVE_USB
#include "transport/usb/UsbTransport.h"
#endif
#ifdef KESTREL_HAVE_WIN32
#include "transport/win32/Win32Transport.h"
#undef LoadImage  // <windows.h>'s name for LoadImageA would hide the engine's LoadImage
#endif

namespace kestrel {
namespace {

#ifdef _WIN32
const char* const kDefaultReadbackDir = "D:\\varlo";
#else
const char* const kDefaultReadbackDir = "./readback";
#endif

struct Options {
  std::string simDir;
  bool usb = false;
  std::string usbId;
  std::string readbackDir = kDefaultReadbackDir;
  std::string image;
  std::string address;
  std::string log;
  std::vector<int> slots;
};

std::unique_ptr<Transport> MakeTransport(const Options& o, std::string* error) {
  if (!o.simDir.empty()) {
#ifdef KESTREL_HAVE_SIM
    return std::make_unique<SimTransport>(o.simDir);
#else
    *error = "this build has no simulated adapters";
    return nullptr;
#endif
  }
#if defined(KESTREL_HAVE_WIN32)
  // The adapters are found by their device-interface class; nothing to choose.
  (void)error;
  return std::make_unique<Win32Transport>();
#elif defined(KESTREL_HAVE_USB)
  UsbVidPid ids;
  if (!o.usbId.empty() ? !UsbVidPid::Parse(o.usbId, &ids) : !UsbVidPid::FromEnvironment(&ids)) {
    *error = "the adapters' USB id is unknown: pass --usb-id VVVV:PPPP or set KESTREL_USB_VIDPID";
    return nullptr;
  }
  auto usb = std::make_unique<UsbTransport>(ids);
  if (!usb->ok()) {
    *error = "libusb could not be initialised";
    return nullptr;
  }
  return usb;
#else
  *error = "this build has no USB backend; use --sim DIR";
  return nullptr;
#endif
}

// Applies --slots: the listed slots are ticked, the others not. False when one is absent.
bool TickSlots(ProductionEngine& engine, const std::vector<int>& slots) {
  if (slots.empty()) return true;
  const DialogView v = engine.View();
  std::set<int> wanted(slots.begin(), slots.end());
  for (int n : wanted) {
    if (!v.rowVisible[static_cast<size_t>(n)]) {
      std::fprintf(stderr, "error: slot %d has no adapter (%d present)\n", n, engine.DeviceCount());
      return false;
    }
  }
  for (int n = 0; n < kSlotCount; ++n) engine.SetSlotTicked(n, wanted.count(n) > 0);
  return true;
}

// Every slot that took part succeeded (and at least one took part).
bool AllIncludedSucceeded(const DialogView& v) {
  int included = 0;
  for (size_t n = 0; n < kSlotCount; ++n) {
    if (!v.rowVisible[n] || !v.ticked[n]) continue;
    ++included;
    if (v.lastResult[n] != 0) return false;
  }
  return included > 0;
}

std::string OneLine(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text;
}

int RunList(Transport& transport) {
  const int answer = ProductionEngine::CountInterfacesAnswer(transport);
  const int count = answer == 255 ? 0 : answer;
  std::printf("%d adapter(s)\n", count);
  for (int n = 0; n < count; ++n) {
    const DeviceInterfaceInfo info = transport.GetInterfaceInfo(n);
    std::printf("%d  %s%s  %s  (%s)\n", n, n < kSlotCount ? "slot " : "unused ", 
                info.instanceId.empty() ? "<no instance id: never opened>" : info.instanceId.c_str(),
                info.displayName.c_str(), info.devicePath.c_str());
  }
  return 0;
}

int RunOperation(Operation op, Transport& transport, const Options& o) {
  SteadyClock clock;
  TerminalView view(stderr, isatty(fileno(stderr)) != 0);
  ProductionEngine engine(transport, clock, view, EngineOptions{o.readbackDir, ReadLimits{}});
  engine.RefreshSlots();
  if (engine.DeviceCount() == 0) {
    std::fprintf(stderr, "error: no adapter found\n");
    return 1;
  }
  if (!TickSlots(engine, o.slots)) return 2;
  if (!o.log.empty() && !engine.SetLogFile(o.log)) {
    std::fprintf(stderr, "error: cannot open the production log %s\n", o.log.c_str());
    return 1;
  }

  if (op == Operation::kBurn) {
    const ImageError e = engine.LoadImage(o.image);
    if (e != ImageError::kNone) {
      std::fprintf(stderr, "error: %s: %s\n", o.image.c_str(),
                   e == ImageError::kTooLarge ? "the image is 16 MiB or larger; the adapter cannot take it"
                                              : "cannot open or read the image file");
      return 1;
    }
    const ProductionState& s = engine.State();
    if (s.imageLength == 0) {
      std::fprintf(stderr, "error: %s is empty\n", o.image.c_str());
      return 1;
    }
    if (!o.address.empty()) {
      const auto address = BtAddress::FromDisplayText(o.address);
      if (!address) {
        std::fprintf(stderr, "error: --address takes AA:BB:CC:DD:EE:FF\n");
        return 2;
      }
      // Left to right as in the six boxes: the first pair is byte 5.
      for (int i = 0; i < 6; ++i) {
        char text[3];
        std::snprintf(text, sizeof text, "%02x", address->bytes[static_cast<size_t>(i)]);
        engine.SetAddressBox(i, text);
      }
      if (!engine.SetAddress()) {
        std::fprintf(stderr, "error: %s\n", OneLine(engine.View().currentAddressLabel).c_str());
        return 2;
      }
    }
    const DialogView v = engine.View();
    std::printf("image %s: %u bytes, %s", s.imagePath.c_str(), s.imageLength, v.checksumLabel.c_str());
    if (s.hasRecord)
      std::printf(", record at 0x%x, name \"%s\", first address %s\n", s.recordOffset, s.deviceName.c_str(),
                  s.currentAddress.DisplayText().c_str());
    else
      std::printf(", no configuration record: programmed unchanged\n");
    std::fflush(stdout);
  }

  if (!engine.Start(op)) {
    std::fprintf(stderr, "error: the operation cannot start\n");
    return 1;
  }
  engine.WaitIdle();
  view.Finish();
  const DialogView v = engine.View();
  const ProductionState& s = engine.State();
  for (size_t n = 0; n < kSlotCount; ++n) {
    if (!v.rowVisible[n] || !v.ticked[n]) continue;
    const SlotResult r = static_cast<SlotResult>(v.lastResult[n]);
    std::printf("slot %zu: result %d (%s)", n, v.lastResult[n], SlotResultText(r));
    // Only a slot that was handed an address in this run has one to show: the board's
    // on success; on a failure after it took one, that address is passed over (the image
    // already continues after it) and no other board will get it.
    if (op == Operation::kBurn && s.hasRecord) {
      if (r == SlotResult::kDone)
        std::printf(", address %s", s.savedAddress[n].DisplayText().c_str());
      else if (s.retryMark[n] == 1)
        std::printf(", address %s passed over", s.savedAddress[n].DisplayText().c_str());
    }
    if (op == Operation::kRead && r == SlotResult::kDone)
      std::printf(", %s/flashdev%zu.bin", o.readbackDir.c_str(), n);
    std::printf("\n");
  }
  if (v.logFailed) std::fprintf(stderr, "error: a row could not be written to the production log %s\n", o.log.c_str());
  if (op == Operation::kBurn) {
    std::printf("%s\n%s\n", OneLine(v.currentAddressLabel).c_str(), OneLine(v.countLabel).c_str());
    if (engine.Close() != CloseOutcome::kDone) {
      std::fprintf(stderr, "error: the next address could not be written back into %s\n", s.imagePath.c_str());
      return 1;
    }
  } else if (OneLine(v.countLabel) != "烧录数量：0") {
    std::printf("%s\n", OneLine(v.countLabel).c_str());
  }
  return AllIncludedSucceeded(v) && !v.logFailed ? 0 : 1;
}

}  // namespace
}  // namespace kestrel

int main(int argc, char** argv) {
  using namespace kestrel;
  qrplatform::StartCommandLine(argc, argv);
  CLI::App app{"kestrel-cli: burn, read and erase boards through up to four download adapters"};
  app.set_version_flag("--version", std::string("kestrel-cli ") + QR_VERSION);
  app.require_subcommand(1);
  // Options start with "-" on every system: a file name such as /tmp/a.cfg is a file name.
  app.allow_windows_style_options(false);
  Options o;
  auto* sim = app.add_option("--sim", o.simDir, "use the simulated adapters served in DIR")->type_name("DIR");
  auto* usb = app.add_flag("--usb", o.usb, "use the adapters on USB (the default)");
  sim->excludes(usb);
#ifndef KESTREL_HAVE_WIN32  // Windows finds the adapters by their driver's interface class
  app.add_option("--usb-id", o.usbId, "USB vendor:product id of the adapters (else KESTREL_USB_VIDPID)")
      ->type_name("VVVV:PPPP");
#endif
  app.add_option("--readback-dir", o.readbackDir, "folder for the read-back files flashdev<n>.bin")
      ->type_name("DIR")
      ->capture_default_str();

  auto addSlots = [&o](CLI::App* sub) {
    sub->add_option("--slots", o.slots, "slots to include, e.g. 0,2 (default: every present slot)")
        ->delimiter(',')
        ->check(CLI::Range(0, kSlotCount - 1));
  };
  CLI::App* list = app.add_subcommand("list", "list the adapters that are present");
  CLI::App* burn = app.add_subcommand("burn", "program and verify every included board, one address each");
  burn->add_option("IMAGE", o.image, "flash image made by the configuration tool")->required();
  burn->add_option("--address", o.address, "first Bluetooth address, most significant byte first")
      ->type_name("AA:BB:CC:DD:EE:FF");
  addSlots(burn);
  burn->add_option("--log", o.log, "append one CSV row per slot result to FILE (production log)")
      ->type_name("FILE");
  CLI::App* read = app.add_subcommand("read", "read 512 KiB of every included board into the read-back folder");
  addSlots(read);
  CLI::App* erase = app.add_subcommand("erase", "erase the whole flash of every included board");
  addSlots(erase);
  // Global options may also follow the command ("burn IMAGE --sim DIR").
  for (CLI::App* sub : {list, burn, read, erase}) sub->fallthrough();

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    // Help is a success; any other parse error is a bad command line (status 2).
    return app.exit(e) == 0 ? 0 : 2;
  }

  std::string error;
  std::unique_ptr<Transport> transport = MakeTransport(o, &error);
  if (!transport) {
    std::fprintf(stderr, "error: %s\n", error.c_str());
    return 2;
  }
  if (list->parsed()) return RunList(*transport);
  if (burn->parsed()) return RunOperation(Operation::kBurn, *transport, o);
  if (read->parsed()) return RunOperation(Operation::kRead, *transport, o);
  if (erase->parsed()) return RunOperation(Operation::kErase, *transport, o);
  return 2;
}
