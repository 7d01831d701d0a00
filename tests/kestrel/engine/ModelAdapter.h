#pragma once
// The adapter model (sim::InProcessAdapter) as a test wires it to a slot: endpoints onto
// it, faults in the simulator's grammar, and what the test watches (every write, every
// read asked for, gates that hold a worker at a chosen point). What the adapter answers
// is the model's alone. A read with nothing to hand over waits out its time on the
// test's clock. Each instance is used by one slot worker at a time; tests look at it
// after the operation has ended.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "InProcessAdapter.h"
#include "core/Transport.h"
#include "FakeClock.h"

namespace kestrel::test {

class ModelAdapter {
 public:
  explicit ModelAdapter(FakeClock& clock, size_t flashSize = 0x100000) : model(flashSize), clock_(clock) {}

  sim::InProcessAdapter model;

  // Sets one fault ("flip=100", "vanish=12", "connect=ee00", ...); a setting the
  // grammar refuses fails the test.
  void Fault(const std::string& setting);

  // --- how the host side behaves (set before the operation) ---
  AdapterId adapterId = AdapterId::FromText("inst");  // what the transport reports
  bool deviceOpens = true;
  bool outPipeOpens = true;
  bool inPipeOpens = true;
  std::atomic<bool>* gate = nullptr;     // when set, reads wait until it turns true
  std::function<void()> onProgramStart;  // called when a start packet is written

  // --- what happened ---
  std::vector<std::vector<uint8_t>> writes;  // every write that reached the adapter
  std::vector<size_t> readsAsked;            // length of every read attempt
  int Commands(uint8_t op) const;            // writes that began with op
  int Connects() const { return Commands(0xA3); }
  int Releases() const { return Commands(0xA4); }
  int Erases() const { return Commands(0xA5); }
  std::vector<uint8_t> Flash() const { return model.Flash(); }
  bool Gone() const { return model.gone(); }
  uint64_t Moved() const { return model.traffic(); }

  bool Write(const uint8_t* data, size_t length, size_t* written);
  bool Read(uint8_t* buffer, size_t length, size_t* received, int timeoutMs);
  std::unique_ptr<Endpoint> MakeEndpoint();

 private:
  FakeClock& clock_;
};

}  // namespace kestrel::test
