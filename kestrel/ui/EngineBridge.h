#pragma once
// Brings the engine's events from the slot workers to the window's thread without
// flooding it: progress and "view changed" only store the latest state and ask for one
// redisplay, which runs at most every kRedisplayMs; a slot's end and an operation's end
// are queued one each, in order.
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

  // Worker threads (and the window's own thread).
  void ProgressRange(int slot, uint32_t maximum) override;
  void ProgressPosition(int slot, uint32_t position) override;
  void SlotFinished(int slot, Operation op, SlotResult result) override;
  void ViewChanged() override;
  void OperationFinished(Operation op) override;

  // The latest progress of slot, as maximum and position.
  uint32_t Maximum(int slot) const { return maximum_[static_cast<size_t>(slot)].load(); }
  uint32_t Position(int slot) const { return position_[static_cast<size_t>(slot)].load(); }
  // Redisplays asked for and redisplays run: the second stays small however many events came.
  uint64_t EventsSeen() const { return events_.load(); }
  uint64_t Redisplays() const { return redisplays_; }

 signals:
  void redisplay();
  void slotFinished(int slot, int op, int result);
  void operationFinished(int op);

 private:
  void Kick();

  std::array<std::atomic<uint32_t>, kSlotCount> maximum_{};
  std::array<std::atomic<uint32_t>, kSlotCount> position_{};
  std::atomic<bool> kickQueued_{false};
  std::atomic<uint64_t> events_{0};
  uint64_t redisplays_ = 0;
  QTimer timer_;
};

}  // namespace kestrel::ui
