#pragma once
// The production dialog without its window: image loading, the address boxes, the three
// operations with one worker thread per slot, the final step and the address write-back
// on close. A window, the command line and the tests drive this object from one thread
// (the "user-interface thread"); no call made there waits for an adapter, a worker or a
// large file: opening the slots runs on the operation's own thread, a large image can be
// loaded with LoadImageAsync, and Close never waits for a running operation. Workers and
// the adapter watcher report through EngineEvents.
#include <array>
#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "core/AdapterSlot.h"
#include "core/AddressSequence.h"
#include "core/Clock.h"
#include "core/DialogView.h"
#include "core/EngineEvents.h"
#include "core/ImageFile.h"
#include "core/ProductionLog.h"
#include "core/ProductionState.h"
#include "core/ReadLimits.h"
#include "core/Transport.h"

namespace kestrel {

// Makes the address sequence of an image that holds a configuration record, at load: the
// image's own sequence (LocalSequence::OpenForImage). Null with *message when it cannot
// be had (held by another process, read-only, ...); then nothing is burned.
using SequenceOpener = std::function<std::shared_ptr<AddressSequence>(
    const std::string& imagePath, const ImageInfo& info, std::string* message)>;

struct EngineOptions {
  // Where flashdev<n>.bin go. Empty: a folder "readback" beside the loaded image (in the
  // current folder while no image is loaded). See ProductionEngine::ReadbackFolder.
  std::string readbackDir;
  ReadLimits limits;
  SequenceOpener openSequence;  // unset: only a sequence given by UseSequence hands out addresses
  uint64_t warnBelow = 100;     // View().fewLeft when fewer addresses than this remain
  std::string toolVersion;      // for the sequence's board records
  // The production log's disk must have this much room before a board is started.
  uint64_t logReserveBytes = 64 * 1024;
};

enum class CloseOutcome {
  kDone,         // the next address is stored (or there was nothing to store)
  kWriteFailed,  // the image file could not take it
  kPending,      // an operation runs: it finishes on its own, then the address is stored
                 // and EngineEvents::Closed follows. Nothing more can be started.
};

class ProductionEngine : private AdapterListener {
 public:
  // Answer of the slot presence test.
  static constexpr int kPresent = 0;
  static constexpr int kNotPresent = 255;
  static constexpr int kBadBuffer = 6;

  ProductionEngine(Transport& transport, Clock& clock, EngineEvents& events, EngineOptions options);
  ~ProductionEngine() override;  // stops watching; waits for running workers and loading
  ProductionEngine(const ProductionEngine&) = delete;
  ProductionEngine& operator=(const ProductionEngine&) = delete;

  // Device count and rows, at start and on every plug or unplug. Counting asks the
  // system for its device list, and waits while an operation's thread opens a slot: a
  // window calls it once at start and leaves the rest to WatchAdapters.
  void RefreshSlots();
  // Asks the transport to report plugging; each report runs RefreshSlots and then
  // EngineEvents::AdaptersChanged (on the transport's thread). A window calls it once
  // after the first RefreshSlots. False when the backend cannot watch (then the window
  // may call RefreshSlots itself, e.g. from a timer).
  bool WatchAdapters();

  // "打开bin文件" after the file was chosen: reads the whole file once; every slot programs
  // this copy. Ignored (kNone) while an operation runs or a load is pending. Takes as long
  // as reading the file: a window uses LoadImageAsync.
  ImageError LoadImage(const std::string& path);
  // The same on a helper thread; EngineEvents::ImageLoaded follows. False (nothing
  // happens) while an operation runs or another load is pending. While it runs the three
  // operation buttons are disabled and View().loading is set.
  bool LoadImageAsync(const std::string& path);

  // The sequence every burn takes its addresses from (a pool shared by several stations),
  // instead of the image's own sequence made at each load. Null goes back to the image's
  // own from the next load. Ignored while an operation runs.
  void UseSequence(std::shared_ptr<AddressSequence> sequence);

  // Edits address box i (byte i; the left-most box is byte 5).
  void SetAddressBox(int i, const std::string& text);
  // "地址设定": the boxes' address becomes the sequence's first, `last` its last (default:
  // the end of the first's 24-bit block). False when a box does not parse, the sequence
  // refuses (a shared pool, a replaced image) or an operation runs.
  bool SetAddress(std::optional<BtAddress> last = std::nullopt);
  void SetSlotTicked(int slot, bool ticked);
  // "烧录&&测试", "Read 512K", "Chip Erase". False when the button is disabled. Returns at
  // once: the slots are opened on the operation's own thread, then the workers start.
  bool Start(Operation op);
  // Blocks until the last worker of the running operation has finished its final step
  // (and a pending load has ended). For the command line and tests, never a window.
  void WaitIdle();
  bool Busy() const;
  // "USB Reset": closes the device handles of the present slots.
  void ResetAdapters();
  // Closing the window: gives up the addresses kept for retries and lets go of the
  // sequence (the next address has been stored at every hand-out). Never waits: while an
  // operation runs it answers kPending (see CloseOutcome).
  CloseOutcome Close();

  // Production log: one row per slot result from now on (see ProductionLog). An empty
  // path stops logging. False when the file cannot be opened.
  bool SetLogFile(const std::string& path);
  // The folder for the read-back files from the next operation on; empty goes back to the
  // one beside the image. Ignored while an operation runs.
  void SetReadbackFolder(const std::string& folder);
  // The folder the next operation writes its read-back files to.
  std::string ReadbackFolder() const;

  DialogView View() const;
  int DeviceCount() const { return deviceCount_; }
  // Only while no operation runs and no load is pending.
  const ProductionState& State() const { return state_; }
  AdapterSlot& Slot(int n) { return slots_[static_cast<size_t>(n)]; }

  // The count of present interfaces as the dialog asks for it: 255 when there is none.
  static int CountInterfacesAnswer(Transport& transport);
  // 0 present (adapterId not empty), 255 not present, 6 when adapterId is null.
  static int SlotPresence(Transport& transport, int index, AdapterId* adapterId);

 private:
  void AdaptersChanged() override;
  void RunOperation(Operation op, int rows);
  void OpenSlots(int rows);
  void Worker(Operation op, int n);
  void FinalStep(Operation op, bool pendingClose);
  bool WriteBack();  // lets go of the sequence; false when giving up a kept address failed
  // A burning slot's address: the one kept for its adapter, or a new one handed out.
  SlotResult TakeAddress(int n, BtAddress* address);
  // What the sequence is told of a board: everything but the times.
  BoardRecord RecordOf(const SlotReport& report) const;
  // After a burn with an address: confirmed, kept for the same adapter, or given up.
  void SettleAddress(const SlotReport& report, int64_t startedMs);
  // Gives up kept addresses (all, or those whose adapter is not in `present`) as wasted
  // and logs them. state_.mutex held.
  void GiveUpKept(const std::vector<AdapterId>* present);
  void ShowSequence(const std::string& message);  // the sequence's view fields; viewMutex_ held
  bool LogRow(const SlotReport& report, Operation op);
  void JoinThreads();
  void ApplyImage(const std::string& path, ImageError e, ImageInfo info,
                  std::shared_ptr<const std::vector<uint8_t>> data);
  void SetAddressLabel(const BtAddress& address);  // viewMutex_ held
  void SetCountLabel(uint32_t count);              // viewMutex_ held
  void RefreshAddressDisplay(bool boxes);          // viewMutex_ held
  void UpdateButtons();                            // viewMutex_ held
  int SlotRows() const;

  Transport& transport_;
  Clock& clock_;
  EngineEvents& events_;
  EngineOptions options_;
  ProductionState state_;
  std::array<AdapterSlot, kSlotCount> slots_;
  std::array<std::atomic<bool>, kSlotCount> ticked_{};
  std::array<AdapterId, kSlotCount> adapterIds_;  // written by OpenSlots before the workers start
  std::string readbackFolder_;                      // written by Start before the workers start
  std::atomic<int> deviceCount_{0};  // also read by the final step on a worker
  std::mutex transportMutex_;        // every call into transport_
  std::atomic<bool> watching_{false};
  std::atomic<bool> loading_{false};
  std::atomic<bool> closing_{false};  // Close answered kPending
  ProductionLog log_;
  std::atomic<bool> logStopped_{false};
  std::string station_;
  // Guarded by state_.mutex (the sequence's calls too).
  std::shared_ptr<AddressSequence> sequence_;
  bool sequenceGiven_ = false;  // set by UseSequence: loading makes none
  struct Kept {
    BtAddress address;
    int slot = 0;
  };
  std::map<AdapterId, Kept> kept_;  // by adapter identity: addresses no board received

  mutable std::mutex viewMutex_;  // guards view_ (written by workers and helper threads)
  DialogView view_;
  std::thread operation_;  // opens the slots, starts and joins the workers
  std::thread loader_;
};

}  // namespace kestrel
