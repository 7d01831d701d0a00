// libFuzzer target: the window's "Read Config" then "Generate image" on the fuzzed
// configuration file, through the document object the window and tessera-cli drive.
// It runs in a scratch folder holding a small firmware (fw.bin) and wave files the seed
// configurations name by relative path: w1.wav (canonical), w2.wav (its size field
// claims more than the file holds), w3.wav (shorter than a wave header). The target
// changes the working folder: give corpus folders and -artifact_prefix as absolute paths.
// Checks: a refused file or a failed image always tells the user why; a generated plain
// image holds exactly the document's image buffer up to its length.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

#include "tessera/core/common/MessageSink.h"
#include "tessera/core/document/CTesseraView.h"

namespace {

namespace fs = std::filesystem;

void WriteBytes(const fs::path& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::vector<uint8_t> ReadBytes(const fs::path& path) {
  std::error_code ec;
  std::vector<uint8_t> bytes(static_cast<size_t>(fs::file_size(path, ec)));
  if (ec) return {};
  std::ifstream in(path, std::ios::binary);
  in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!in) return {};
  return bytes;
}

std::vector<uint8_t> Wave(uint32_t claimedData, size_t realData) {
  std::vector<uint8_t> w(44 + realData, 0);
  const char* tags = "RIFF\0\0\0\0WAVEfmt ";
  for (int i = 0; i < 16; ++i) w[static_cast<size_t>(i)] = static_cast<uint8_t>(tags[i]);
  w[36] = 'd', w[37] = 'a', w[38] = 't', w[39] = 'a';
  for (int i = 0; i < 4; ++i) w[40 + static_cast<size_t>(i)] = static_cast<uint8_t>(claimedData >> (8 * i));
  for (size_t i = 44; i < w.size(); ++i) w[i] = static_cast<uint8_t>(i * 7);
  return w;
}

// A memory-backed folder when there is one: every run writes the image files.
struct Scratch {
  Scratch() {
    std::error_code ec;
    fs::path base = fs::is_directory("/dev/shm", ec) ? fs::path("/dev/shm") : fs::temp_directory_path();
    const fs::path dir = base / ("tessera-fuzz-document-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    fs::current_path(dir);
    std::vector<uint8_t> fw(8192);
    for (size_t i = 0; i < fw.size(); ++i) fw[i] = static_cast<uint8_t>(i ^ (i >> 8));
    WriteBytes("fw.bin", fw);
    WriteBytes("w1.wav", Wave(1200, 1200));
    WriteBytes("w2.wav", Wave(0xFFFFFFF0u, 300));
    WriteBytes("w3.wav", std::vector<uint8_t>(30, 0x11));
    dir_ = dir;
  }
  ~Scratch() {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  fs::path dir_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Scratch scratch;
  std::error_code ec;
  for (const char* name : {"out.IMG", "out_CRC.IMG", "out_CRC.QR1", "out_CRC.TU1"}) fs::remove(name, ec);
  WriteBytes("in.cfg", std::vector<uint8_t>(data, data + size));

  tessera::RecordingSink sink;
  tessera::CTesseraView view(sink);
  view.OnInitialUpdate();
  sink.messages.clear();
  if (!view.ReadConfigFile("in.cfg")) {
    if (sink.messages.empty()) std::abort();
    return 0;
  }
  sink.messages.clear();
  std::string summary;
  if (!view.GenerateImage("out.IMG", &summary, false)) {
    if (sink.messages.empty()) std::abort();
    return 0;
  }
  if (summary.rfind("Image create OK:", 0) != 0) std::abort();
  const std::vector<uint8_t> image = ReadBytes("out.IMG");
  if (image.empty() || image.size() > view.ImageBufferBytes()) std::abort();
  // The image is built off the document's own buffers; the CRC image adds two bytes to
  // every 32-byte block and a check value, so it is always the longer file.
  if (!fs::exists("out_CRC.IMG") || fs::file_size("out_CRC.IMG") <= image.size()) std::abort();
  return 0;
}
