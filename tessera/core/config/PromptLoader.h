#pragma once
// LoadPromptFile: copies one wave file's sample data into the image
// buffer at a byte offset of the prompt area.
//
// What lands in the image at `offset` (always n + 4 bytes, n the stored size):
//   u32 n, little-endian | file bytes 48 .. 48 + n - 5 (the data chunk's samples from
//   its fifth byte on) | four zero bytes.
// n is the data size of the canonical 44-byte wave header (u32 at file offset 40); the
// RIFF/WAVE/data tags are not checked. Untrusted input is handled like this:
//   - A file longer than maxLength: the message
//     "File length out of limit, please use file length <= %d !" (maxLength in place of
//     %d), nothing written, false.
//   - A file that cannot be opened (file variant) or is shorter than 44 bytes (it has no
//     size field): nothing written, false, no message.
//   - A header size beyond the file's real data (file length - 44) is clamped to that
//     real data size, and the clamped size is what is stored, so the size word always
//     matches the samples that follow it.
//   - The stored size is further clamped so that the n + 4 bytes end inside the image
//     buffer. If fewer than 4 bytes are left at `offset`, nothing is written, false.
//   - A size below 4 (including a clamped one): the size word n is stored and the n
//     bytes after it are zeroed (n + 4 bytes in all, as for any size); no
//     samples are copied; true.
// No read or write ever leaves the file's bytes or the image buffer. Whether the result
// is consulted is the caller's business (the prompt placement ignores it).
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tessera/core/common/MessageSink.h"

namespace tessera {

constexpr size_t kWaveHeaderSize = 44;
constexpr size_t kWaveSizeField = 40;
constexpr size_t kPromptSamplesFrom = 48;

// Why a load did or did not put the file into the image.
enum class PromptLoadOutcome {
  Loaded,          // size word, samples and zero tail are in the image
  Missing,         // no such file
  NotRegularFile,  // a folder, a device, a pipe...
  Unreadable,      // there, but it cannot be opened or read
  TooShort,        // shorter than the 44-byte header: no size field
  TooLong,         // longer than the limit: the limit message was shown
  NoRoom,          // not even the size word fits in the image at that offset
};

// What one load did (for tests and the command line).
struct PromptLoadInfo {
  PromptLoadOutcome outcome = PromptLoadOutcome::Loaded;
  uint32_t headerSize = 0;    // the u32 at file offset 40
  uint32_t storedSize = 0;    // n after clamping, as stored at the offset
  size_t samplesCopied = 0;   // bytes copied from file offset 48 on
  size_t bytesWritten = 0;    // n + 4: size word, samples and the zero tail
};

// The exact limit message for a given maximum length.
std::string PromptLimitMessage(size_t maxLength);

// Memory variant: `file` holds the whole file (fileLength bytes).
bool LoadPromptData(const uint8_t* file, size_t fileLength, uint8_t* image, size_t imageSize, size_t offset,
                    size_t maxLength, MessageSink& sink, PromptLoadInfo* info = nullptr);

// File variant: opens `path`; a file that cannot be opened gives false without a
// message; then as LoadPromptData.
bool LoadPromptFile(const std::string& path, uint8_t* image, size_t imageSize, size_t offset, size_t maxLength,
                    MessageSink& sink, PromptLoadInfo* info = nullptr);
inline bool LoadPromptFile(const std::string& path, std::vector<uint8_t>& image, size_t offset, size_t maxLength,
                           MessageSink& sink, PromptLoadInfo* info = nullptr) {
  return LoadPromptFile(path, image.data(), image.size(), offset, maxLength, sink, info);
}

}  // namespace tessera
