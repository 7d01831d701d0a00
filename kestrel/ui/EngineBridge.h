#pragma once
// Brings the engine's events from the slot workers and the adapter watcher to the
// window's thread without flooding it: progress and "view changed" only store the latest
// state and ask for one redisplay, which runs at most every kRedisplayMs; a slot's end,
// an operation's end, a plug-in, a loaded image and a deferred close are queued one each,
// in order.
#include <QObject>
#include <QTimer>
#include <array>
#include <atomic>
#include <cstdint>

#include "core/EngineEvents.h"
#include "core/ProductionState.h"

namespace kestrel::ui {

class EngineBridge : public QObject, public EngineEvents {
  Q_OBJECT
 public:
  static constexpr int kRedisplayMs = 40;  // 25 redisplays a second at most

  explicit EngineBridge(QObject* parent = nullptr);

  // Any thread.
  void ProgressRange(int slot, ProgressPhase phase, uint32_t maximum) override;
  void ProgressPosition(int slot, ProgressPhase phase, uint32_t position) override;
  void SlotFinished(const SlotReport& report) override;
  void ViewChanged() override;
  void OperationFinished(Operation op) override;
  void AdaptersChanged(int deviceCount) override;
  void ImageLoaded(ImageError error) override;
  void Closed(bool written) override;

  // The latest progress of a slot. active: a phase has started and the slot's sequence
  // has not ended yet.
  struct Progress {
    bool active = false;
    ProgressPhase phase = ProgressPhase::kProgram;
    uint32_t maximum = 0;
    uint32_t position = 0;
  };
  Progress SlotProgress(int slot) const;
  // Clears the bars before an operation starts.
  void ResetProgress();
  // Events that asked for a redisplay, and redisplays run: the second stays small however
  // many events came.
  uint64_t EventsSeen() const { return events_.load(); }
  uint64_t Redisplays() const { return redisplays_; }

 signals:
  void redisplay();
  void slotFinished(const kestrel::SlotReport& report);
  void operationFinished(int op);
  void adaptersChanged();
  void imageLoaded(int error);
  void closed(bool written);

 private:
  void Kick();

  std::array<std::atomic<bool>, kSlotCount> active_{};
  std::array<std::atomic<int>, kSlotCount> phase_{};
  std::array<std::atomic<uint32_t>, kSlotCount> maximum_{};
  std::array<std::atomic<uint32_t>, kSlotCount> position_{};
  std::atomic<bool> kickQueued_{false};
  std::atomic<uint64_t> events_{0};
  uint64_t redisplays_ = 0;
  QTimer timer_;
};

}  // namespace kestrel::ui
