#pragma once
// Finds the board's "LINK+CHECK" in the received byte stream. The port hands bytes over
// in whatever pieces the driver delivers, so a probe may arrive split over two reads;
// the detector carries its partial match from one piece to the next.
#include <cstddef>
#include <string_view>

namespace tessera::link {

class LinkCheckDetector {
 public:
  // Number of probes that end inside these bytes.
  int Feed(std::string_view bytes);
  void Reset() { matched_ = 0; }

 private:
  size_t matched_ = 0;
};

}  // namespace tessera::link
