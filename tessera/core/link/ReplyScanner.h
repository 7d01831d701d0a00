#pragma once
// Finds the board's answers to commands ("CMD+OK", "CMD+FAIL") in the received byte
// stream, for a tool that waits for them. Unlike the link log, which shows a chunk only up
// to its first NUL, the waiter looks at every byte: NUL bytes are skipped wherever they
// stand, a reply split over several reads is put back together, and a link check that
// arrives between the pieces of a reply is taken out of the stream before matching.
#include <string>
#include <string_view>

namespace tessera::link {

class ReplyScanner {
 public:
  void Feed(std::string_view bytes);
  int ok() const { return ok_; }
  int failed() const { return failed_; }
  int total() const { return ok_ + failed_; }

 private:
  std::string pending_;
  int ok_ = 0;
  int failed_ = 0;
};

}  // namespace tessera::link
