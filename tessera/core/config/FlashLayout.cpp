#include "tessera/core/config/FlashLayout.h"

namespace tessera {

FlashLayout FlashLayoutFor(int flashTypeIndex) {
  FlashLayout l;
  switch (flashTypeIndex) {
    case 1: l.flashKb = 1024; break;
    case 2: l.flashKb = 2048; break;
    case 3: l.flashKb = 4096; break;
    default: l.flashKb = 512; break;
  }
  l.codeAreaKb = flashTypeIndex == 0 ? 448 : 512;
  const int c = l.codeAreaKb;
  l.recordOffset = static_cast<uint32_t>(c) * 1024u;
  l.promptAreaOffset = static_cast<uint32_t>(c + 4) * 1024u;
  l.freePlainKb = l.flashKb - (c + 16);
  // D = (((C + 16) x 1024 / 32) x 17 x 2 + 1023) / 1024, integer divisions.
  const int d = (((c + 16) * 1024 / 32) * 17 * 2 + 1023) / 1024;
  l.freeCrcKb = l.flashKb - d;
  l.bufferSize = static_cast<size_t>(l.freePlainKb + c + 4) * 1024u;
  return l;
}

int FreePromptSpaceKb(int flashTypeIndex, bool withCrcGrowth) {
  const FlashLayout l = FlashLayoutFor(flashTypeIndex);
  return withCrcGrowth ? l.freeCrcKb : l.freePlainKb;
}

}  // namespace tessera
