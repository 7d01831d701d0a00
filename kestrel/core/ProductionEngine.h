#pragma once
// The production dialog without its window: image loading, the address boxes, the three
// operations with one worker thread per slot, the final step and the address write-back
// on close. The window, the command line and the tests all drive this object from one
// thread (the "user-interface thread"); workers report through EngineEvents.
#include <array>
#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/AdapterSlot.h"
#include "core/Clock.h"
#include "core/DialogView.h"
#include "core/EngineEvents.h"
#include "core/ImageFile.h"
#include "core/ProductionState.h"
#include "core/ReadLimits.h"
#include "core/Transport.h"

namespace kestrel {

struct EngineOptions {
  // Where flashdev<n>.bin go. On Windows the default is D:\varlo, the data drive of the
  // production-line PCs that run the Windows build; elsewhere "readback" in the current
  // folder.
#ifdef _WIN32
  std::string readbackDir = "D:\\varlo";
#else
  std::string readbackDir = "readback";
#endif
  ReadLimits limits;
};

class ProductionEngine {
 public:
  // Answer of the slot presence test.
  static constexpr int kPresent = 0;
  static constexpr int kNotPresent = 255;
  static constexpr int kBadBuffer = 6;

  ProductionEngine(Transport& transport, Clock& clock, EngineEvents& events, EngineOptions options);
  ~ProductionEngine();  // waits for running workers
  ProductionEngine(const ProductionEngine&) = delete;
  ProductionEngine& operator=(const ProductionEngine&) = delete;

  // Device count and rows, at start and on every plug or unplug.
  void RefreshSlots();
  // "打开bin文件" after the file was chosen. Ignored (kNone) while an operation runs.
  ImageError LoadImage(const std::string& path);
  // Edits address box i (byte i; the left-most box is byte 5).
  void SetAddressBox(int i, const std::string& text);
  // "地址设定". False when a box does not parse (or an operation runs).
  bool SetAddress();
  void SetSlotTicked(int slot, bool ticked);
  // "烧录&&测试", "Read 512K", "Chip Erase". False when the button is disabled.
  bool Start(Operation op);
  // Blocks until the last worker of the running operation has finished its final step.
  void WaitIdle();
  bool Busy() const;
  // "USB Reset": closes the device handles of the present slots.
  void ResetAdapters();
  // Closing the window: waits for a running operation, then stores the next address in
  // the image when it holds a record. False when that write failed.
  bool Close();

  DialogView View() const;
  int DeviceCount() const { return deviceCount_; }
  // Only while no operation runs.
  const ProductionState& State() const { return state_; }
  AdapterSlot& Slot(int n) { return slots_[static_cast<size_t>(n)]; }

  // The count of present interfaces as the dialog asks for it: 255 when there is none.
  static int CountInterfacesAnswer(Transport& transport);
  // 0 present (instanceId not empty), 255 not present, 6 when instanceId is null.
  static int SlotPresence(Transport& transport, int index, std::string* instanceId);

 private:
  void OpenSlots();
  void Worker(Operation op, int n);
  void FinalStep(Operation op);
  void JoinWorkers();
  void RefreshAddressDisplay(bool boxes);  // viewMutex_ held
  void UpdateButtons();                    // viewMutex_ held
  int SlotRows() const;

  Transport& transport_;
  Clock& clock_;
  EngineEvents& events_;
  EngineOptions options_;
  ProductionState state_;
  std::array<AdapterSlot, kSlotCount> slots_;
  std::array<std::atomic<bool>, kSlotCount> ticked_{};
  std::atomic<int> deviceCount_{0};  // also read by the final step on a worker

  mutable std::mutex viewMutex_;  // guards view_ (written by the final step on a worker)
  DialogView view_;
  std::vector<std::thread> workers_;
};

}  // namespace kestrel
