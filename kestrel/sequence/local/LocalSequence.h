#pragma once
// The image file's own address sequence: one station, kept beside the image.
//
// Files, all beside the image IMAGE:
//   IMAGE         the next address to hand out, in the record's address field. Written
//                 (and flushed) through the one handle opened here, never by name again:
//                 when the name now leads to another file (a new build saved over it),
//                 hand-outs are refused and nothing is written to either file.
//   IMAGE.lock    locked (flock / LockFileEx) from Open to Release; holds the holder's
//                 host name and process id, so a second process is told who has it. The
//                 file itself is never removed: the lock, not the file, says "held".
//   IMAGE.range   the range's first and last address, the image it belongs to (length
//                 and checksum, which leaves the address out) and whether the last address
//                 has been handed out. Replaced atomically.
//
// The range file is missing: the range is the image's next address up to the end of its
// 24-bit block (same company prefix), and the file is written. It belongs to another image
// (another length or checksum: a new build under the same name), or the image's next
// address lies outside it (set anew by the configuration tool): it is replaced the same
// way and Open says so in *message. Removing the range file of a used-up sequence whose
// image address sits at the start of the next block therefore starts that block: the
// range file is part of the sequence and goes wherever the image goes.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "core/AddressSequence.h"
#include "core/ImageFile.h"
#include "core/ProductionEngine.h"

namespace kestrel {

struct LocalSequenceSource {
  std::string imagePath;
  uint32_t addressOffset = 0;  // of the 6-byte address field in the image file
  uint32_t imageLength = 0;    // as loaded
  uint16_t imageChecksum = 0;  // as loaded (the address bytes left out)
};

class LocalSequence : public AddressSequence {
 public:
  // Takes the lock and opens the image for writing. Null with *status (kHeld: another
  // process has it; kUnavailable: a file cannot be opened, locked or written, or the image
  // is read-only) and a message for the operator. On success *message may tell what was
  // decided about the range file (empty when nothing needed deciding).
  static std::shared_ptr<LocalSequence> Open(const LocalSequenceSource& source, SequenceStatus* status,
                                             std::string* message);
  // The engine's SequenceOpener: the sequence of an image loaded with `info`.
  static std::shared_ptr<AddressSequence> OpenForImage(const std::string& imagePath, const ImageInfo& info,
                                                       std::string* message);
  ~LocalSequence() override;
  LocalSequence(const LocalSequence&) = delete;
  LocalSequence& operator=(const LocalSequence&) = delete;

  static std::string LockPath(const std::string& imagePath) { return imagePath + ".lock"; }
  static std::string RangePath(const std::string& imagePath) { return imagePath + ".range"; }
  // The last address of first's 24-bit block: the same upper three bytes, then ff:ff:ff.
  static BtAddress EndOfBlock(const BtAddress& first);

  SequenceStatus HandOut(const AdapterId& adapter, BtAddress* address, std::string* message) override;
  SequenceStatus Confirm(const BoardRecord& record, std::string* message) override;
  SequenceStatus GiveUp(const BoardRecord& record, Loss loss, std::string* message) override;
  uint64_t Remaining() const override;
  std::optional<BtAddress> PeekNext() const override;
  SequenceStatus SetRange(const BtAddress& first, std::optional<BtAddress> last, std::string* message) override;
  std::string Describe() const override;
  void Release() override;

  BtAddress Last() const { return last_; }

  struct Handles;

 private:
  LocalSequence();
  // False (with *message) when the image's name no longer leads to the file opened.
  bool SameImage(std::string* message) const;
  bool StoreNext(const BtAddress& next, std::string* message);
  bool StoreRange(std::string* message);

  std::unique_ptr<Handles> handles_;
  LocalSequenceSource source_;
  BtAddress first_;
  BtAddress last_;
  uint64_t next_ = 0;  // 48-bit value of the next address
  bool exhausted_ = false;
};

// Engine options whose images take their addresses from their own local sequence.
inline EngineOptions WithLocalSequence(std::string readbackDir, ReadLimits limits = ReadLimits{}) {
  EngineOptions options;
  options.readbackDir = std::move(readbackDir);
  options.limits = limits;
  options.openSequence = &LocalSequence::OpenForImage;
  return options;
}

}  // namespace kestrel
