#include "tessera/core/config/PromptLoader.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "qrplatform/Utf8Path.h"
#include "tessera/core/common/AtomicFile.h"
#include "tessera/core/common/ByteIo.h"

namespace tessera {

std::string PromptLimitMessage(size_t maxLength) {
  return "File length out of limit, please use file length <= " + std::to_string(maxLength) + " !";
}

bool LoadPromptData(const uint8_t* file, size_t fileLength, uint8_t* image, size_t imageSize, size_t offset,
                    size_t maxLength, MessageSink& sink, PromptLoadInfo* info) {
  if (info) *info = PromptLoadInfo{};
  const auto fail = [info](PromptLoadOutcome why) {
    if (info) info->outcome = why;
    return false;
  };
  if (fileLength > maxLength) {
    sink.Show(PromptLimitMessage(maxLength));
    return fail(PromptLoadOutcome::TooLong);
  }
  if (fileLength < kWaveHeaderSize) return fail(PromptLoadOutcome::TooShort);  // no data size field
  const uint32_t header = GetU32(file, kWaveSizeField);
  if (info) info->headerSize = header;
  // Not even the size word fits.
  if (offset > imageSize || imageSize - offset < 4) return fail(PromptLoadOutcome::NoRoom);

  const size_t realData = fileLength - kWaveHeaderSize;  // what the data chunk really holds
  const size_t space = imageSize - offset;
  const size_t n = std::min({static_cast<size_t>(header), realData, space - 4});
  uint8_t* at = image + offset;
  std::memset(at, 0, n + 4);
  PutU32(at, 0, static_cast<uint32_t>(n));
  const size_t samples = n >= 4 ? n - 4 : 0;  // n <= realData, so 48 + samples <= fileLength
  if (samples > 0) std::memcpy(at + 4, file + kPromptSamplesFrom, samples);
  if (info) {
    info->storedSize = static_cast<uint32_t>(n);
    info->samplesCopied = samples;
    info->bytesWritten = n + 4;
  }
  return true;
}

bool LoadPromptFile(const std::string& path, uint8_t* image, size_t imageSize, size_t offset, size_t maxLength,
                    MessageSink& sink, PromptLoadInfo* info) {
  if (info) *info = PromptLoadInfo{};
  const auto fail = [info](PromptLoadOutcome why) {
    if (info) info->outcome = why;
    return false;
  };
  // A file that cannot be opened gives no message; the outcome says why.
  std::error_code ec;
  const auto status = std::filesystem::status(qrplatform::PathFromUtf8(path), ec);
  if (!std::filesystem::exists(status)) {
    return fail(status.type() == std::filesystem::file_type::not_found ? PromptLoadOutcome::Missing
                                                                         : PromptLoadOutcome::Unreadable);
  }
  if (!std::filesystem::is_regular_file(status)) return fail(PromptLoadOutcome::NotRegularFile);
  uint64_t size = 0;
  if (!FileSize(path, size, nullptr)) return fail(PromptLoadOutcome::Unreadable);
  if (size > maxLength) {
    sink.Show(PromptLimitMessage(maxLength));
    return fail(PromptLoadOutcome::TooLong);
  }
  std::vector<uint8_t> data;
  if (!ReadWholeFile(path, data, maxLength, nullptr)) {
    // Unreadable, or grown past the limit between the two looks.
    return fail(PromptLoadOutcome::Unreadable);
  }
  return LoadPromptData(data.data(), data.size(), image, imageSize, offset, maxLength, sink, info);
}

}  // namespace tessera
