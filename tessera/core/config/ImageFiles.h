#pragma once
// The file-writing half of GenerateImage, run by the document after its collect step:
// compute L, encode the CRC image, write the plain image, append the check value, write
// the CRC image under its derived name and its two copies.
//
// The four files are replaced together (qrplatform::FileBatch): written to temporaries,
// flushed together, renamed, the folder flushed once. After a crash each name holds its
// old or its new complete content; a failure never leaves a truncated or temporary file.
// Deliberate choices:
//   - The CRC buffer must also hold the 4-byte check value (N + 4 bytes) and the image
//     buffer must hold L bytes; otherwise "crc bin file is too large!! " and nothing is
//     written, instead of writing past a buffer.
//   - The CRC path of a name without a folder ("x.IMG") is "x_CRC.IMG" beside it, and of
//     a name without an extension ("dir/x", also "a.d/x") "dir/x_CRC" with no copies
//     (SplitPath alone would give "_CRC.IMG" / "_CRC." in the current folder, and a "."
//     in the folder would cut the folder).
//   - The "QR1"/"TU1" copies are copied from the CRC file's temporary by the kernel where
//     the filesystem allows, only when the CRC file's name has an extension; an
//     extension shorter than three characters is replaced whole.
//   - A copy that cannot be written (a full disk) is reported and fails the generation;
//     its name keeps its old content. A failed plain image renames nothing; a failed CRC
//     image keeps the new plain image.
#include <cstddef>
#include <cstdint>
#include <string>

#include "tessera/core/common/MessageSink.h"

namespace tessera {

inline constexpr const char* kCannotCreateImageMessage = "Can not create image file!";
inline constexpr const char* kCannotCreateCrcMessage = "Can not create crc_image file";
// Followed by the reason (the path and the system's error text).
inline constexpr const char* kCannotCopyCrcMessage = "Can not copy crc_image file: ";

struct ImageFilesResult {
  uint32_t length = 0;       // L = C x 1024 + 4096 + P
  size_t crcSize = 0;        // N = ceil(L / 32) x 34 (the file has N + 4 bytes)
  uint32_t checkValue = 0;   // ImageChecksum(crc + 34816, N - 34816)
  std::string crcPath;       // name_CRC.ext
  std::string qr1Path, tu1Path;  // empty when no copies are made
  bool imageWritten = false;
  bool crcWritten = false;
  bool qr1Written = false, tu1Written = false;
};

// The CRC image path for a chosen image path (folder + base + "_CRC." + extension).
std::string CrcImagePath(const std::string& imagePath);
// The copy path: the three characters after the last "." of the file name replaced by
// ext3 ("QR1", "TU1"); empty when the file name has no extension.
std::string CrcCopyPath(const std::string& crcPath, const std::string& ext3);

// image/imageSize: image_buffer with the bin file, the record and the prompt data.
// crc/crcSize: crc_buffer, filled with 0xFF by the caller (its bytes past N + 4 are
// left as they are). codeAreaKb: 448 or 512. promptAreaSize: P from the collect step.
// Returns true when the plain and the CRC image are written; `result` tells the rest.
bool WriteImageFiles(const std::string& imagePath, const uint8_t* image, size_t imageSize, uint8_t* crc,
                     size_t crcSize, int codeAreaKb, uint32_t promptAreaSize, MessageSink& sink,
                     ImageFilesResult* result = nullptr);

}  // namespace tessera
