// libFuzzer target: the memory variant of LoadPromptFile into a small image. The
// first input byte picks the byte offset and the second the limit, the rest is the
// wave file. Checks that nothing outside [offset, offset + n + 4) changes, that the
// stored size matches what was written and that the samples are the file's bytes 48 on.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "tessera/core/common/ByteIo.h"
#include "tessera/core/common/MessageSink.h"
#include "tessera/core/config/PromptLoader.h"

namespace {
class NullSink : public tessera::MessageSink {
 public:
  void Show(const std::string&) override {}
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  constexpr size_t kImage = 1024;
  const size_t offset = static_cast<size_t>(data[0]) * 5;  // 0 .. 1275: also past the end
  const size_t maxLength = data[1] == 0xFF ? SIZE_MAX : static_cast<size_t>(data[1]) * 16;
  const uint8_t* file = data + 2;
  const size_t fileLength = size - 2;
  // Copy the file so reads past it are caught by ASan.
  std::vector<uint8_t> fileCopy(file, file + fileLength);

  std::vector<uint8_t> image(kImage, 0xA5);
  NullSink sink;
  tessera::PromptLoadInfo info;
  const bool ok = tessera::LoadPromptData(fileCopy.data(), fileCopy.size(), image.data(), image.size(), offset,
                                          maxLength, sink, &info);
  if (!ok) {
    for (uint8_t b : image)
      if (b != 0xA5) std::abort();
    return 0;
  }
  const size_t n = info.storedSize;
  if (offset + n + 4 > kImage || info.bytesWritten != n + 4) std::abort();
  if (tessera::GetU32(image.data(), offset) != n) std::abort();
  if (n > fileLength - 44) std::abort();
  for (size_t i = 0; i < kImage; ++i) {
    const bool inside = i >= offset && i < offset + n + 4;
    if (!inside && image[i] != 0xA5) std::abort();
  }
  if (n >= 4 && std::memcmp(image.data() + offset + 4, fileCopy.data() + 48, n - 4) != 0) std::abort();
  for (size_t i = offset + (n >= 4 ? n : 4); i < offset + n + 4; ++i)
    if (image[i] != 0) std::abort();
  return 0;
}
