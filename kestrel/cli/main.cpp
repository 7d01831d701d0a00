// kestrel-cli: the production download tool on the command line. It drives the same
// ProductionEngine as the dialog: "burn" is loading the image, setting the address,
// pressing "烧录&&测试" once and closing the window.
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cstdio>
#include <iostream>
#include <memory>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "cli/TerminalView.h"
#include "core/ProductionEngine.h"
#include "core/SteadyClock.h"
#include "qrplatform/Files.h"
#include "sequence/local/LocalSequence.h"

#ifdef KESTREL_HAVE_POOL
#include "sequence/postgres/PoolAdmin.h"
#include "sequence/postgres/PoolSequence.h"
#endif

#include "qrplatform/Utf8Path.h"

#include "transport/TransportChoice.h"

namespace kestrel {
namespace {

struct Options {
  std::string simDir;
  bool usb = false;
  std::string usbId;
  std::string readbackDir;  // empty: "readback" beside the image
  std::string image;
  std::string address;
  std::string last;
  std::string log;
  std::vector<int> slots;
  // A shared address pool instead of the image's own sequence.
  std::string poolUrl;
  std::string poolName;
  std::string station;
  std::string poolSpool;
};

// The pool's operator commands.
struct PoolCommand {
  std::string url;
  std::string name;
  std::string first;
  std::string last;
  bool reap = false;
  std::string out;
};

#ifdef KESTREL_HAVE_POOL
std::shared_ptr<AddressSequence> OpenPoolFor(const Options& o) {
  SequenceStatus status;
  std::string message;
  auto pool = pool::OpenPool(pool::PoolConfig{o.poolUrl, o.poolName, o.station, o.poolSpool}, &status, &message);
  if (!pool) std::fprintf(stderr, "error: %s; nothing was burned\n", message.c_str());
  return pool;
}

int RunPool(CLI::App* init, CLI::App* status, CLI::App* exportCsv, const PoolCommand& p) {
  std::string message;
  if (init->parsed()) {
    const auto first = BtAddress::FromDisplayText(p.first);
    const auto last = BtAddress::FromDisplayText(p.last);
    if (!first || !last) {
      std::fprintf(stderr, "error: --first and --last take AA:BB:CC:DD:EE:FF\n");
      return 2;
    }
    const bool ok = pool::InitPool(p.url, p.name, *first, *last, &message);
    std::fprintf(ok ? stdout : stderr, "%s%s\n", ok ? "" : "error: ", message.c_str());
    return ok ? 0 : 1;
  }
  if (status->parsed()) {
    if (p.reap) {
      const int64_t wasted = pool::ReapPool(p.url, p.name, &message);
      if (wasted < 0) {
        std::fprintf(stderr, "error: %s\n", message.c_str());
        return 1;
      }
      std::printf("%lld address(es) left handed out by stations not running now marked wasted\n",
                  static_cast<long long>(wasted));
    }
    std::ostringstream text;
    if (!pool::WritePoolStatus(p.url, p.name, text, &message)) {
      std::fprintf(stderr, "error: %s\n", message.c_str());
      return 1;
    }
    std::fputs(text.str().c_str(), stdout);
    return 0;
  }
  if (exportCsv->parsed()) {
    std::ostringstream csv;
    if (!pool::WritePoolCsv(p.url, p.name, csv, &message)) {
      std::fprintf(stderr, "error: %s\n", message.c_str());
      return 1;
    }
    const std::string text = csv.str();
    if (p.out.empty() || p.out == "-") {
      std::fwrite(text.data(), 1, text.size(), stdout);
      return std::fflush(stdout) == 0 ? 0 : 1;
    }
    // Replaced whole: a reader never sees half an export.
    qrplatform::FileBatch batch;
    batch.Add(p.out, reinterpret_cast<const uint8_t*>(text.data()), text.size());
    if (!batch.Prepare() || !batch.Commit(0) || !batch.Finish()) {
      std::fprintf(stderr, "error: %s: %s\n", p.out.c_str(), batch.Error(0).c_str());
      return 1;
    }
    return 0;
  }
  return 2;
}
#endif

std::unique_ptr<Transport> MakeTransport(const Options& o, std::string* error) {
  TransportChoice c = ChooseTransport(o.simDir, o.usbId, [](const std::string& text) {
    std::fprintf(stderr, "warning: %s\n", text.c_str());
  });
  if (!c.transport) *error = c.error;
  return std::move(c.transport);
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
                info.adapterId.empty() ? "<no instance id: never opened>" : info.adapterId.text().c_str(),
                info.displayName.c_str(), info.devicePath.c_str());
  }
  return 0;
}

int RunOperation(Operation op, Transport& transport, const Options& o) {
  // The pool first: without it nothing is burned.
  std::shared_ptr<AddressSequence> pool;
  if (!o.poolUrl.empty()) {
#ifdef KESTREL_HAVE_POOL
    pool = OpenPoolFor(o);
    if (!pool) return 1;
#else
    std::fprintf(stderr, "error: this build has no address pool (PostgreSQL)\n");
    return 2;
#endif
  }
  SteadyClock clock;
  TerminalView view(stderr, isatty(fileno(stderr)) != 0);
  EngineOptions options = WithLocalSequence(o.readbackDir);
  options.toolVersion = QR_VERSION;
  ProductionEngine engine(transport, clock, view, options);
  if (pool) engine.UseSequence(pool);
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
    std::optional<BtAddress> last;
    if (!o.last.empty()) {
      last = BtAddress::FromDisplayText(o.last);
      if (!last) {
        std::fprintf(stderr, "error: --last takes AA:BB:CC:DD:EE:FF\n");
        return 2;
      }
    }
    const ImageError e = engine.LoadImage(o.image);
    if (e == ImageError::kDamagedRecord) {
      ImageInfo info;
      ImageFile::Inspect(o.image, &info);
      std::fprintf(stderr, "error: %s: %s; nothing is burned\n", o.image.c_str(), info.problem.c_str());
      return 1;
    }
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
    if (s.hasRecord && !engine.View().hasSequence) {
      std::fprintf(stderr, "error: %s\n", OneLine(engine.View().currentAddressLabel).c_str());
      return 1;
    }
    if (!engine.View().sequenceMessage.empty())
      std::fprintf(stderr, "note: %s\n", engine.View().sequenceMessage.c_str());
    if (o.address.empty() && last) {
      // --last alone keeps the first address where the image has it.
      const BtAddress first = s.currentAddress;
      for (int i = 0; i < 6; ++i) {
        char text[3];
        std::snprintf(text, sizeof text, "%02x", first.bytes[static_cast<size_t>(i)]);
        engine.SetAddressBox(i, text);
      }
      if (!engine.SetAddress(last)) {
        std::fprintf(stderr, "error: %s\n", OneLine(engine.View().currentAddressLabel).c_str());
        return 2;
      }
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
      if (!engine.SetAddress(last)) {
        std::fprintf(stderr, "error: %s\n", OneLine(engine.View().currentAddressLabel).c_str());
        return 2;
      }
    }
    const DialogView v = engine.View();
    std::printf("image %s: %u bytes, %s", s.imagePath.c_str(), s.imageLength, v.checksumLabel.c_str());
    if (s.hasRecord && pool)
      std::printf(", record at 0x%x, name \"%s\", addresses from %s\n", s.recordOffset, s.deviceName.c_str(),
                  pool->Describe().c_str());
    else if (s.hasRecord)
      std::printf(", record at 0x%x, name \"%s\", first address %s\n%s\n", s.recordOffset, s.deviceName.c_str(),
                  s.currentAddress.DisplayText().c_str(), v.sequenceText.c_str());
    else
      std::printf(", no configuration record: programmed unchanged\n");
    std::fflush(stdout);
  }

  if (!engine.Start(op)) {
    const DialogView v = engine.View();
    if (op == Operation::kBurn && v.hasSequence && v.remaining == 0)
      std::fprintf(stderr, "error: the address range is used up (%s)\n", v.sequenceText.c_str());
    else if (op == Operation::kBurn && v.logStopped)
      std::fprintf(stderr, "error: the production log cannot take rows; nothing is burned\n");
    else
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
    if (op == Operation::kBurn && s.hasRecord && v.slotHasAddress[n]) {
      if (r == SlotResult::kDone)
        std::printf(", address %s", v.slotAddress[n].DisplayText().c_str());
      else
        std::printf(", address %s %s", v.slotAddress[n].DisplayText().c_str(),
                    v.slotAddressKept[n] ? "kept for this adapter's next burn" : "passed over");
    }
    if (op == Operation::kRead && r == SlotResult::kDone)
      std::printf(", %s/flashdev%zu.bin", engine.ReadbackFolder().c_str(), n);
    std::printf("\n");
  }
  if (v.logFailed) std::fprintf(stderr, "error: a row could not be written to the production log %s\n", o.log.c_str());
  if (!v.sequenceMessage.empty() && op == Operation::kBurn)
    std::fprintf(stderr, "address sequence: %s\n", v.sequenceMessage.c_str());
  if (op == Operation::kBurn && v.hasSequence) {
    std::printf("%s\n", v.sequenceText.c_str());
    if (v.fewLeft) std::fprintf(stderr, "warning: only %llu address(es) left\n", static_cast<unsigned long long>(v.remaining));
  }
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
  CLI::App app{"kestrel-cli: burn, read and erase boards through up to sixteen download adapters"};
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
  app.add_option("--readback-dir", o.readbackDir,
                 "folder for the read-back files flashdev<n>.bin (default: \"readback\" beside the image, "
                 "else in the current folder)")
      ->type_name("DIR");
  PoolCommand pc;

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
  burn->add_option("--last", o.last,
                   "last Bluetooth address of the range (default: the end of the first address's 24-bit block)")
      ->type_name("AA:BB:CC:DD:EE:FF");
  addSlots(burn);
  burn->add_option("--log", o.log, "append one CSV row per slot result to FILE (production log)")
      ->type_name("FILE");
  auto* poolUrl = burn->add_option("--pool", o.poolUrl,
                                   "take the addresses from the shared pool in this PostgreSQL database "
                                   "(connection string or URL without a password)")
                      ->type_name("URL");
  burn->add_option("--pool-name", o.poolName, "the pool's name")->type_name("NAME")->needs(poolUrl);
  burn->add_option("--station", o.station, "this station's name in the pool (default: the host name)")
      ->type_name("STATION")
      ->needs(poolUrl);
  burn->add_option("--pool-spool", o.poolSpool,
                   "folder for results kept while the database is away (default ~/.local/state/kestrel)")
      ->type_name("DIR")
      ->needs(poolUrl);
  CLI::App* pool = app.add_subcommand("pool", "create, watch and export a pool of addresses shared by a line");
  pool->require_subcommand(1);
  CLI::App* poolInit = pool->add_subcommand("init", "create the pool NAME of the addresses FIRST to LAST");
  CLI::App* poolStatus = pool->add_subcommand("status", "handed out, programmed, failed, wasted and remaining "
                                                        "addresses, in all, per station and per hour");
  CLI::App* poolExport = pool->add_subcommand("export", "every address handed out, with its board's result, as CSV");
  for (CLI::App* sub : {poolInit, poolStatus, poolExport}) {
    sub->add_option("URL", pc.url, "PostgreSQL connection string or URL (no password: use ~/.pgpass, "
                                   "PGPASSFILE or a service file)")
        ->required();
    sub->add_option("--name", pc.name, "the pool's name")->type_name("NAME")->required();
  }
  poolInit->add_option("--first", pc.first, "first address")->type_name("AA:BB:CC:DD:EE:FF")->required();
  poolInit->add_option("--last", pc.last, "last address")->type_name("AA:BB:CC:DD:EE:FF")->required();
  poolStatus->add_flag("--reap", pc.reap,
                       "first mark wasted the addresses still handed out by stations that are not running");
  poolExport->add_option("--out", pc.out, "write the CSV to FILE instead of standard output")->type_name("FILE");
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

  if (pool->parsed()) {
#ifdef KESTREL_HAVE_POOL
    return RunPool(poolInit, poolStatus, poolExport, pc);
#else
    std::fprintf(stderr, "error: this build has no address pool (PostgreSQL)\n");
    return 2;
#endif
  }
  if (!o.poolUrl.empty()) {
    if (o.poolName.empty()) {
      std::fprintf(stderr, "error: --pool needs --pool-name NAME\n");
      return 2;
    }
    if (!o.address.empty()) {
      std::fprintf(stderr,
                   "error: --address cannot be used with --pool: the addresses come from the pool, whose range "
                   "is set once with kestrel-cli pool init\n");
      return 2;
    }
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
