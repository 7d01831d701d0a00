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

EngineBridge::Progress EngineBridge::SlotProgress(int slot) const {
  const size_t n = static_cast<size_t>(slot);
  return {active_[n].load(), static_cast<ProgressPhase>(phase_[n].load()), maximum_[n].load(), position_[n].load()};
}

void EngineBridge::ResetProgress() {
  for (size_t n = 0; n < kSlotCount; ++n) {
    active_[n] = false;
    maximum_[n] = 0;
    position_[n] = 0;
  }
}

void EngineBridge::ProgressRange(int slot, ProgressPhase phase, uint32_t maximum) {
  if (slot < 0 || slot >= kSlotCount) return;
  const size_t n = static_cast<size_t>(slot);
  position_[n] = 0;
  maximum_[n] = maximum;
  phase_[n] = static_cast<int>(phase);
  active_[n] = true;
  Kick();
}

void EngineBridge::ProgressPosition(int slot, ProgressPhase phase, uint32_t position) {
  if (slot < 0 || slot >= kSlotCount) return;
  const size_t n = static_cast<size_t>(slot);
  phase_[n] = static_cast<int>(phase);
  position_[n] = position;
  Kick();
}

void EngineBridge::ViewChanged() { Kick(); }

void EngineBridge::SlotFinished(const SlotReport& report) {
  if (report.slot >= 0 && report.slot < kSlotCount) active_[static_cast<size_t>(report.slot)] = false;
  QMetaObject::invokeMethod(this, [this, report] { emit slotFinished(report); }, Qt::QueuedConnection);
}

void EngineBridge::OperationFinished(Operation op) {
  QMetaObject::invokeMethod(this, [this, op] { emit operationFinished(static_cast<int>(op)); },
                            Qt::QueuedConnection);
}

void EngineBridge::AdaptersChanged(int /*deviceCount*/) {
  QMetaObject::invokeMethod(this, [this] { emit adaptersChanged(); }, Qt::QueuedConnection);
}

void EngineBridge::ImageLoaded(ImageError error) {
  QMetaObject::invokeMethod(this, [this, error] { emit imageLoaded(static_cast<int>(error)); },
                            Qt::QueuedConnection);
}

void EngineBridge::Closed(bool written) {
  QMetaObject::invokeMethod(this, [this, written] { emit closed(written); }, Qt::QueuedConnection);
}

}  // namespace kestrel::ui
