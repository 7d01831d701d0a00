#pragma once
// Where the boards' Bluetooth addresses come from. Two kinds sit behind this interface:
// the image file's own sequence (one station, kept beside the image) and a pool shared by
// the stations of a line (a database). The engine does not know which it has.
//
// An address moves: handed out -> programmed (Confirm) or failed / wasted (GiveUp).
// HandOut makes the address durable (and, for a pool, committed) before it returns, so a
// board is never erased with an address that a crash could hand out again. Every call is
// made under the engine's operation mutex; implementations need no locking of their own
// against the engine, only against other processes.
#include <cstdint>
#include <optional>
#include <string>

#include "core/BtAddress.h"
#include "core/Transport.h"

namespace kestrel {

// What is known of one board when its address is confirmed or given up.
struct BoardRecord {
  std::string station;        // the station's name (host name by default)
  int slot = 0;               // 0-based slot index
  AdapterId adapter;          // the board's adapter (its text is what is stored)
  uint32_t imageChecksum = 0;
  BtAddress address;
  std::string result;         // the slot result's code, as the production log writes it
  int64_t startedUnixMs = 0;
  int64_t finishedUnixMs = 0;
  std::string toolVersion;
};

enum class SequenceStatus {
  kOk,
  kExhausted,    // the next address would be past the sequence's last address
  kHeld,         // another process or station holds the sequence
  kUnavailable,  // the store (file, database) cannot be reached or written
  kRefused,      // the operation does not apply to this kind of sequence
};

class AddressSequence {
 public:
  enum class Loss {
    kFailed,  // the board did not complete; the address may have reached its flash
    kWasted,  // the address was handed out and will never be used
  };

  virtual ~AddressSequence() = default;

  // The next address, for the board on `adapter`; durable before it returns.
  virtual SequenceStatus HandOut(const AdapterId& adapter, BtAddress* address,
                                 std::string* message) = 0;
  // The board that was given `record.address` is complete.
  virtual SequenceStatus Confirm(const BoardRecord& record, std::string* message) = 0;
  // The address in `record` will not be retried.
  virtual SequenceStatus GiveUp(const BoardRecord& record, Loss loss, std::string* message) = 0;
  // Addresses that can still be handed out (the next one included).
  virtual uint64_t Remaining() const = 0;
  // The address HandOut would give now ("当前地址"); empty when exhausted or unknown.
  virtual std::optional<BtAddress> PeekNext() const = 0;
  // "地址设定": a new first (and optionally last) address. kRefused for a shared pool.
  virtual SequenceStatus SetRange(const BtAddress& first, std::optional<BtAddress> last,
                                  std::string* message) = 0;
  // One line for the window and the command line: which sequence, how many remain.
  virtual std::string Describe() const = 0;
  // Gives up the hold on the sequence (lock file, database session); idempotent.
  virtual void Release() = 0;
};

}  // namespace kestrel
