// libFuzzer target: the serial link's handling of what the board sends, in the pieces a
// port delivers. Input: a series of pieces, each a length byte and that many bytes. Each
// piece goes through the probe detector, is cut at its first zero byte, has its replies
// rewritten and lands in the link log, as the pages do with every read. Checks: the
// detector counts exactly the probes in the whole stream, however it is split; no reply
// word survives the rewrite; the log never outgrows its buffer.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "tessera/core/link/LinkCheckDetector.h"
#include "tessera/core/link/LinkLog.h"
#include "tessera/core/link/LinkProtocol.h"

namespace {

int CountProbes(std::string_view stream) {
  int n = 0;
  for (size_t at = stream.find(tessera::link::kLinkCheck); at != std::string_view::npos;
       at = stream.find(tessera::link::kLinkCheck, at + 1))
    ++n;
  return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tessera::link::LinkCheckDetector detector;
  tessera::link::LinkLog log;
  std::string stream;
  int probes = 0;
  for (size_t pos = 0; pos < size;) {
    const size_t n = std::min<size_t>(data[pos], size - pos - 1);
    const std::string_view piece(reinterpret_cast<const char*>(data + pos + 1), n);
    pos += 1 + n;
    stream.append(piece);
    probes += detector.Feed(piece);

    const std::string_view text = tessera::link::ChunkText(piece);
    if (text.size() > piece.size() || text.find('\0') != std::string_view::npos) std::abort();
    if (text.size() < piece.size() && piece[text.size()] != '\0') std::abort();
    const std::string rewritten = tessera::link::RewriteReplies(text);
    for (std::string_view word : {"CMD+OK", "CMD+FAIL", "REG+OK", "REG+FAIL"})
      if (rewritten.find(word) != std::string::npos) std::abort();
    log.Append(rewritten);
    if (log.Text().size() > tessera::link::LinkLog::kCapacity) std::abort();
  }
  if (probes != CountProbes(stream)) std::abort();
  return 0;
}
