#pragma once
// Board results that could not reach the pool database, kept in a local file until it
// is back. Each result is one line appended with a single write and flushed to the disk
// before Append returns, so a killed station leaves whole lines (a line cut by a power
// cut, with no newline, is dropped when the file is next opened). Lines are sent again
// after a crash between sending and clearing: the database applies them idempotently.
#include <functional>
#include <string>
#include <vector>

#include "core/AddressSequence.h"

namespace kestrel::pool {

struct SpooledResult {
  enum class Kind { kProgrammed, kFailed, kWasted };
  Kind kind = Kind::kProgrammed;
  BoardRecord record;

  std::string ToLine() const;  // without the newline
  static bool FromLine(const std::string& line, SpooledResult* out);
};

class ResultSpool {
 public:
  explicit ResultSpool(std::string path) : path_(std::move(path)) {}

  bool Append(const SpooledResult& result, std::string* error);
  // Sends every whole line through `send` in order; when all were sent the file is
  // emptied. Stops at the first that `send` refuses (the rest stays). *sent counts them.
  bool Replay(const std::function<bool(const SpooledResult&)>& send, int* sent, std::string* error);
  // Whole lines waiting to be sent.
  std::vector<SpooledResult> Pending(std::string* error) const;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace kestrel::pool
