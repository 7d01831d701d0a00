#include "ui/EngineBridge.h"

namespace kestrel::ui {

EngineBridge::EngineBridge(QObject* parent) : QObject(parent) {
  timer_.setSingleShot(true);
  timer_.setInterval(kRedisplayMs);
  connect(&timer_, &QTimer::timeout, this, [this] {
    // Cleared before the redisplay reads the state: an event after this point asks again.
    kickQueued_ = false;
    ++redisplays_;
    emit redisplay();
  });
}

void EngineBridge::Kick() {
  ++events_;
  if (kickQueued_.exchange(true)) return;
  // A QTimer is started only on its own thread.
  QMetaObject::invokeMethod(this, [this] { if (!timer_.isActive()) timer_.start(); }, Qt::QueuedConnection);
}

void EngineBridge::ProgressRange(int slot, uint32_t maximum) {
  if (slot < 0 || slot >= kSlotCount) return;
  position_[static_cast<size_t>(slot)] = 0;
  maximum_[static_cast<size_t>(slot)] = maximum;
  Kick();
}

void EngineBridge::ProgressPosition(int slot, uint32_t position) {
  if (slot < 0 || slot >= kSlotCount) return;
  position_[static_cast<size_t>(slot)] = position;
  Kick();
}

void EngineBridge::ViewChanged() { Kick(); }

void EngineBridge::SlotFinished(int slot, Operation op, SlotResult result) {
  QMetaObject::invokeMethod(
      this, [this, slot, op, result] { emit slotFinished(slot, static_cast<int>(op), ToInt(result)); },
      Qt::QueuedConnection);
}

void EngineBridge::OperationFinished(Operation op) {
  QMetaObject::invokeMethod(this, [this, op] { emit operationFinished(static_cast<int>(op)); },
                            Qt::QueuedConnection);
}

}  // namespace kestrel::ui
