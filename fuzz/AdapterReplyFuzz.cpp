// Whatever an adapter sends back, the burn and read sequences end with a known result and
// never touch memory outside their buffers. The input is the adapter's side of the
// conversation: each read takes a length byte (0: the read fails) and that many bytes.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "core/AdapterSlot.h"
#include "core/DownloadProtocol.h"
#include "core/ProductionState.h"

namespace {

class CountingClock : public kestrel::Clock {
 public:
  int64_t NowMs() override { return now; }
  void SleepMs(int ms) override { now += ms; }
  int64_t now = 0;
};

class ScriptedEndpoint : public kestrel::Endpoint {
 public:
  ScriptedEndpoint(const uint8_t* data, size_t size, CountingClock& clock) : data_(data), size_(size), clock_(clock) {}
  bool Write(const uint8_t*, size_t length, size_t* written) override {
    *written = length;
    return true;
  }
  bool Read(uint8_t* buffer, size_t length, size_t* received, int timeoutMs) override {
    *received = 0;
    if (pos_ >= size_) {
      clock_.now += timeoutMs;  // the adapter has nothing more to say
      return false;
    }
    size_t n = data_[pos_++];
    if (n == 0) return false;
    n = std::min({n, length, size_ - pos_});
    std::copy_n(data_ + pos_, n, buffer);
    pos_ += n;
    *received = n;
    return true;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
  CountingClock& clock_;
};

struct Files {
  std::filesystem::path dir;
  std::string image;
  Files() {
    dir = std::filesystem::temp_directory_path() / "kestrel-fuzz-replies";
    std::filesystem::create_directories(dir);
    image = (dir / "image.bin").string();
    std::vector<char> bytes(3000, 0x5A);
    std::ofstream(image, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Files files;
  static const std::set<int> known = {0, 1, 2, 3, 4, 5, 9};
  if (size == 0) return 0;
  const bool read512 = (data[0] & 1) != 0;
  CountingClock clock;
  kestrel::AdapterSlot slot;
  slot.SetDevice(std::make_unique<ScriptedEndpoint>(data + 1, size - 1, clock));
  slot.SetOutPipe(std::make_unique<ScriptedEndpoint>(data + 1, size - 1, clock));
  slot.SetInPipe(std::make_unique<ScriptedEndpoint>(data + 1, size - 1, clock));
  kestrel::ProductionState state;
  state.imagePath = files.image;
  state.imageLength = 3000;
  kestrel::EngineEvents events;
  kestrel::DownloadProtocol protocol(0, slot, state, clock, events, kestrel::ReadLimits{}, (files.dir / "rb").string());
  const kestrel::SlotResult r = read512 ? protocol.ReadSequence() : protocol.BurnSequence();
  if (known.count(kestrel::ToInt(r)) == 0) __builtin_trap();
  return 0;
}
