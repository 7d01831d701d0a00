#include "sequence/local/LocalSequence.h"

#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>

#include "qrplatform/Files.h"
#include "sequence/local/SequenceFiles.h"

namespace kestrel {

namespace {

uint64_t Value(const BtAddress& a) {
  uint64_t v = 0;
  for (size_t i = 6; i-- > 0;) v = (v << 8) | a.bytes[i];
  return v;
}

BtAddress FromValue(uint64_t v) {
  BtAddress a;
  for (size_t i = 0; i < 6; ++i) a.bytes[i] = static_cast<uint8_t>(v >> (8 * i));
  return a;
}

struct RangeFile {
  BtAddress first, last;
  uint32_t length = 0;
  uint16_t checksum = 0;
  bool exhausted = false;
};

// Missing or unreadable: nullopt. Fields that do not parse make the file unreadable.
std::optional<RangeFile> ReadRange(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::map<std::string, std::string> fields;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const size_t eq = line.find('=');
    if (eq != std::string::npos) fields[line.substr(0, eq)] = line.substr(eq + 1);
  }
  RangeFile r;
  const auto first = BtAddress::FromDisplayText(fields["first"]);
  const auto last = BtAddress::FromDisplayText(fields["last"]);
  if (!first || !last) return std::nullopt;
  r.first = *first;
  r.last = *last;
  try {
    r.length = static_cast<uint32_t>(std::stoul(fields.at("image-length")));
    r.checksum = static_cast<uint16_t>(std::stoul(fields.at("image-checksum"), nullptr, 16));
  } catch (const std::exception&) {
    return std::nullopt;
  }
  r.exhausted = fields["exhausted"] == "1";
  return r;
}

}  // namespace

LocalSequence::LocalSequence() : handles_(std::make_unique<Handles>()) {}
LocalSequence::~LocalSequence() { Release(); }

BtAddress LocalSequence::EndOfBlock(const BtAddress& first) {
  BtAddress end = first;
  end.bytes[0] = end.bytes[1] = end.bytes[2] = 0xFF;
  return end;
}

std::shared_ptr<LocalSequence> LocalSequence::Open(const LocalSequenceSource& source, SequenceStatus* status,
                                                   std::string* message) {
  message->clear();
  std::shared_ptr<LocalSequence> s(new LocalSequence);
  s->source_ = source;
  const std::string& image = source.imagePath;
  bool held = false;
  std::string holder, why;
  if (!s->handles_->Lock(LockPath(image), &held, &holder, &why)) {
    *status = held ? SequenceStatus::kHeld : SequenceStatus::kUnavailable;
    *message = held ? "the address sequence of " + image + " is in use by " +
                          (holder.empty() ? std::string("another process") : "process " + holder) +
                          " (lock file " + LockPath(image) + "); nothing is handed out here"
                    : "cannot lock " + LockPath(image) + ": " + why;
    return nullptr;
  }
  bool readOnly = false;
  if (!s->handles_->OpenImage(image, &readOnly, &why)) {
    *status = SequenceStatus::kUnavailable;
    *message = readOnly ? image + " is read-only: the next address cannot be stored in it, so no board is burned"
                        : "cannot open " + image + " for writing: " + why;
    return nullptr;
  }
  BtAddress next;
  if (s->handles_->ImageSize() < uint64_t{source.addressOffset} + 6 ||
      !s->handles_->ReadImage(source.addressOffset, next.bytes.data(), 6)) {
    *status = SequenceStatus::kUnavailable;
    *message = image + " is too short to hold the address at 0x" + [&] {
      char t[16];
      std::snprintf(t, sizeof t, "%x", static_cast<unsigned>(source.addressOffset));
      return std::string(t);
    }();
    return nullptr;
  }
  s->next_ = Value(next);

  const std::string rangePath = RangePath(image);
  const bool rangeFileThere = std::ifstream(rangePath).good();
  const std::optional<RangeFile> range = ReadRange(rangePath);
  const bool ours = range && range->length == source.imageLength && range->checksum == source.imageChecksum;
  if (ours && range->exhausted) {
    s->first_ = range->first;
    s->last_ = range->last;
    s->exhausted_ = true;
  } else if (ours && Value(range->first) <= s->next_ && s->next_ <= Value(range->last)) {
    s->first_ = range->first;
    s->last_ = range->last;
  } else {
    s->first_ = next;
    s->last_ = EndOfBlock(next);
    if (!s->StoreRange(&why)) {
      *status = SequenceStatus::kUnavailable;
      *message = "cannot write " + rangePath + ": " + why;
      return nullptr;
    }
    if (!range) {
      if (rangeFileThere) *message = rangePath + " could not be read; ";
    } else if (!ours) {
      *message = rangePath + " belonged to another image (another length or checksum); ";
    } else {
      *message = "the image's address " + next.DisplayText() + " lies outside the range " +
                 range->first.DisplayText() + " to " + range->last.DisplayText() + " kept in " + rangePath + "; ";
    }
    if (range || !message->empty())
      *message += "the range is now " + next.DisplayText() + " to " + s->last_.DisplayText();
  }
  *status = SequenceStatus::kOk;
  return s;
}

std::shared_ptr<AddressSequence> LocalSequence::OpenForImage(const std::string& imagePath, const ImageInfo& info,
                                                             std::string* message) {
  LocalSequenceSource source;
  source.imagePath = imagePath;
  source.addressOffset = info.recordOffset + ImageFile::kAddressField;
  source.imageLength = info.length;
  source.imageChecksum = info.checksum;
  SequenceStatus status = SequenceStatus::kOk;
  return Open(source, &status, message);
}

bool LocalSequence::SameImage(std::string* message) const {
  if (handles_->StillNamed(source_.imagePath)) return true;
  *message = source_.imagePath +
             " was replaced or removed since it was loaded: nothing is written to it; load it again";
  return false;
}

bool LocalSequence::StoreNext(const BtAddress& next, std::string* message) {
  if (handles_->ImageSize() < uint64_t{source_.addressOffset} + 6) {
    // Never extends the file: one cut short holds no address field any more.
    *message = source_.imagePath + " no longer reaches its address field: the next address cannot be stored";
    return false;
  }
  std::string why;
  if (handles_->WriteImage(source_.addressOffset, next.bytes.data(), 6, &why)) return true;
  *message = "cannot store the next address in " + source_.imagePath + ": " + why;
  return false;
}

bool LocalSequence::StoreRange(std::string* message) {
  std::ostringstream text;
  char checksum[8];
  std::snprintf(checksum, sizeof checksum, "0x%04x", static_cast<unsigned>(source_.imageChecksum));
  text << "first=" << first_.DisplayText() << "\nlast=" << last_.DisplayText()
       << "\nimage-length=" << source_.imageLength << "\nimage-checksum=" << checksum
       << "\nexhausted=" << (exhausted_ ? 1 : 0) << "\n";
  const std::string bytes = text.str();
  qrplatform::FileBatch batch;
  const size_t i = batch.Add(RangePath(source_.imagePath), reinterpret_cast<const uint8_t*>(bytes.data()),
                             bytes.size());
  const bool ok = batch.Prepare() && batch.Commit(i) && batch.Finish();
  if (!ok) *message = batch.Error(i).empty() ? std::string("the folder could not be flushed") : batch.Error(i);
  return ok;
}

SequenceStatus LocalSequence::HandOut(const AdapterId& /*adapter*/, BtAddress* address, std::string* message) {
  if (!SameImage(message)) return SequenceStatus::kUnavailable;
  if (exhausted_ || next_ > Value(last_)) {
    *message = "the address range ends at " + last_.DisplayText() + ", which has been handed out: 0 left";
    return SequenceStatus::kExhausted;
  }
  const bool lastOne = next_ == Value(last_);
  if (lastOne) {
    // Marked used up before the image moves past the end: a crash in between loses the
    // last address instead of letting a later run start the next block.
    exhausted_ = true;
    if (!StoreRange(message)) {
      exhausted_ = false;
      *message = "cannot write " + RangePath(source_.imagePath) + ": " + *message;
      return SequenceStatus::kUnavailable;
    }
  }
  const BtAddress given = FromValue(next_);
  if (!StoreNext(FromValue((next_ + 1) & 0xFFFFFFFFFFFFull), message)) return SequenceStatus::kUnavailable;
  *address = given;
  ++next_;
  return SequenceStatus::kOk;
}

SequenceStatus LocalSequence::Confirm(const BoardRecord&, std::string*) {
  return SequenceStatus::kOk;  // the production log has the board; the image has moved on already
}

SequenceStatus LocalSequence::GiveUp(const BoardRecord&, Loss, std::string*) {
  return SequenceStatus::kOk;  // an address given up here is simply never handed out again
}

uint64_t LocalSequence::Remaining() const {
  if (exhausted_ || next_ > Value(last_)) return 0;
  return Value(last_) - next_ + 1;
}

std::optional<BtAddress> LocalSequence::PeekNext() const {
  if (Remaining() == 0) return std::nullopt;
  return FromValue(next_);
}

SequenceStatus LocalSequence::SetRange(const BtAddress& first, std::optional<BtAddress> last, std::string* message) {
  const BtAddress end = last.value_or(EndOfBlock(first));
  if (Value(end) < Value(first)) {
    *message = "the last address " + end.DisplayText() + " comes before the first " + first.DisplayText();
    return SequenceStatus::kRefused;
  }
  if (!SameImage(message)) return SequenceStatus::kUnavailable;
  if (!StoreNext(first, message)) return SequenceStatus::kUnavailable;
  const BtAddress oldFirst = first_, oldLast = last_;
  const bool oldExhausted = exhausted_;
  first_ = first;
  last_ = end;
  exhausted_ = false;
  next_ = Value(first);
  if (!StoreRange(message)) {
    // The image already starts at `first`; on the next load the range file does not
    // cover it and a range to the end of first's block is made.
    first_ = oldFirst;
    last_ = oldLast;
    exhausted_ = oldExhausted;
    *message = "cannot write " + RangePath(source_.imagePath) + ": " + *message;
    return SequenceStatus::kUnavailable;
  }
  return SequenceStatus::kOk;
}

std::string LocalSequence::Describe() const {
  return "local sequence in " + source_.imagePath + ": " +
         (Remaining() == 0 ? std::string("used up") : "next " + FromValue(next_).DisplayText()) + ", last " +
         last_.DisplayText() + ", " + std::to_string(Remaining()) + " left";
}

void LocalSequence::Release() {
  if (handles_) handles_->Close();
}

}  // namespace kestrel
