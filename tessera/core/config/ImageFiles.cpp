#include "tessera/core/config/ImageFiles.h"

#include <utility>
#include <vector>

#include "qrplatform/Files.h"
#include "tessera/core/common/AtomicFile.h"
#include "tessera/core/common/ByteIo.h"
#include "tessera/core/config/ImageBuilder.h"

namespace tessera {

namespace {

size_t LastSeparator(const std::string& path) {
#ifdef _WIN32
  return path.find_last_of("\\/");
#else
  return path.rfind('/');
#endif
}

}  // namespace

std::string CrcImagePath(const std::string& imagePath) {
  const size_t sep = LastSeparator(imagePath);
  const size_t nameStart = sep == std::string::npos ? 0 : sep + 1;
  std::string folder, base, ext;
  // SplitPath whenever it applies to the file name itself.
  if (ImageBuilder::SplitPath(imagePath, folder, base, ext) && imagePath.rfind('.') >= nameStart)
    return folder + base + "_CRC." + ext;
  // No folder, no extension, or the last "." lies in the folder: take the name apart
  // ourselves (a "." as the name's first character does not start an extension).
  folder = imagePath.substr(0, nameStart);
  const std::string name = imagePath.substr(nameStart);
  const size_t lastDot = name.rfind('.');
  if (lastDot == std::string::npos || lastDot == 0) return folder + name + "_CRC";
  const size_t firstDot = name.find('.', 1);
  return folder + name.substr(0, firstDot) + "_CRC." + name.substr(lastDot + 1);
}

std::string CrcCopyPath(const std::string& crcPath, const std::string& ext3) {
  const size_t sep = LastSeparator(crcPath);
  const size_t nameStart = sep == std::string::npos ? 0 : sep + 1;
  const size_t dot = crcPath.rfind('.');
  if (dot == std::string::npos || dot < nameStart) return {};
  std::string out = crcPath;
  const size_t from = dot + 1;
  const size_t replace = std::min<size_t>(3, out.size() - from);
  out.replace(from, replace, ext3);
  return out;
}

bool WriteImageFiles(const std::string& imagePath, const uint8_t* image, size_t imageSize, uint8_t* crc,
                     size_t crcSize, int codeAreaKb, uint32_t promptAreaSize, MessageSink& sink,
                     ImageFilesResult* result) {
  ImageFilesResult r;
  // 7. L = C x 1024 + 4096 + P.
  const uint64_t length = static_cast<uint64_t>(codeAreaKb) * 1024u + 4096u + promptAreaSize;
  const uint64_t n = (length + 31) / 32 * 34;
  r.length = static_cast<uint32_t>(length);
  r.crcSize = static_cast<size_t>(n);
  auto finish = [&](bool ok) {
    if (result) *result = r;
    return ok;
  };
  if (codeAreaKb < 0 || length > imageSize || n + 4 > crcSize) {
    sink.Show(ImageBuilder::kTooLargeMessage);
    return finish(false);
  }
  // 8. Encode; a failure writes nothing.
  if (!ImageBuilder::EncodeCrcImage(crc, image, 0, static_cast<size_t>(length), crcSize, sink)) return finish(false);
  // 10. The check value, leaving out the CRC form of the first 32 KiB.
  const size_t skip = ImageBuilder::kChecksumSkip;
  const size_t summed = r.crcSize > skip ? r.crcSize - skip : 0;
  r.checkValue = ImageChecksum(crc + std::min(skip, r.crcSize), summed);
  PutU32(crc, r.crcSize, r.checkValue);
  r.crcPath = CrcImagePath(imagePath);
  r.qr1Path = CrcCopyPath(r.crcPath, "QR1");
  r.tu1Path = CrcCopyPath(r.crcPath, "TU1");
  // 9, 11, 12. All files are written to temporaries and flushed together, then renamed in
  // the order plain image, CRC image, copies; a file is renamed only when the ones before
  // it were. The folder is flushed once at the end.
  qrplatform::FileBatch batch;
  const size_t plain = batch.Add(imagePath, image, static_cast<size_t>(length));
  const size_t crcFile = batch.Add(r.crcPath, crc, r.crcSize + 4);
  std::vector<std::pair<size_t, bool*>> copies;
  if (!r.qr1Path.empty()) copies.emplace_back(batch.AddCopy(r.qr1Path, crcFile), &r.qr1Written);
  if (!r.tu1Path.empty()) copies.emplace_back(batch.AddCopy(r.tu1Path, crcFile), &r.tu1Written);
  batch.Prepare();
  // The messages name the cause (a full disk, a folder that is not there) on a line of
  // their own.
  if (!batch.Commit(plain)) {
    sink.Show(std::string(kCannotCreateImageMessage) + "\r\n" + batch.Error(plain));
    return finish(false);
  }
  r.imageWritten = true;
  if (!batch.Commit(crcFile)) {
    sink.Show(std::string(kCannotCreateCrcMessage) + "\r\n" + batch.Error(crcFile));
    return finish(false);
  }
  r.crcWritten = true;
  // A copy that cannot be written is reported: a production line that picks up the
  // copies must not take an old one for the new image.
  bool copiesOk = true;
  for (auto& [index, written] : copies) {
    *written = batch.Commit(index);
    if (!*written) {
      sink.Show(std::string(kCannotCopyCrcMessage) + batch.Error(index));
      copiesOk = false;
    }
  }
  (void)batch.Finish();  // best effort: the renames have happened
  if (!copiesOk) return finish(false);
  return finish(true);
}

}  // namespace tessera
