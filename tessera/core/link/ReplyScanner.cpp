#include "tessera/core/link/ReplyScanner.h"

#include "tessera/core/link/LinkProtocol.h"

namespace tessera::link {
namespace {

constexpr std::string_view kOk = "CMD+OK";
constexpr std::string_view kFail = "CMD+FAIL";
// Enough of the stream's end to hold an unfinished reply with an unfinished link check
// inside it.
constexpr size_t kKeep = kFail.size() + kLinkCheck.size();

}  // namespace

void ReplyScanner::Feed(std::string_view bytes) {
  for (char c : bytes)
    if (c != '\0') pending_ += c;
  for (size_t at; (at = pending_.find(kLinkCheck)) != std::string::npos;) pending_.erase(at, kLinkCheck.size());
  for (;;) {
    const size_t ok = pending_.find(kOk), fail = pending_.find(kFail);
    if (ok == std::string::npos && fail == std::string::npos) break;
    if (fail < ok) {
      ++failed_;
      pending_.erase(0, fail + kFail.size());
    } else {
      ++ok_;
      pending_.erase(0, ok + kOk.size());
    }
  }
  if (pending_.size() > kKeep) pending_.erase(0, pending_.size() - kKeep);
}

}  // namespace tessera::link
