#include "tessera/core/common/AtomicFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "qrplatform/Files.h"
#include "qrplatform/Utf8Path.h"

namespace tessera {

namespace fs = std::filesystem;
using qrplatform::PathFromUtf8;

namespace {

void SetError(std::string* error, const std::string& text) {
  if (error) *error = text;
}

std::string ErrnoText(const std::string& what, const std::string& path, int err) {
  return what + " " + path + ": " + std::strerror(err);
}

// One file through the platform's batch: temporary, flush, rename, folder flush.
bool ReplaceOne(qrplatform::FileBatch& batch, std::string* error) {
  if (!batch.Prepare() || !batch.Commit(0)) {
    SetError(error, batch.Error(0));
    return false;
  }
  (void)batch.Finish();  // best effort: the rename itself has happened
  return true;
}

}  // namespace

bool WriteFileAtomically(const std::string& path, const uint8_t* data, size_t n, std::string* error) {
  qrplatform::FileBatch batch;
  batch.Add(path, data, n);
  return ReplaceOne(batch, error);
}

bool CopyFileAtomically(const std::string& from, const std::string& to, std::string* error) {
  std::error_code ec;
  if (!fs::is_regular_file(PathFromUtf8(from), ec)) {
    SetError(error, "cannot open " + from + ": not a readable file");
    return false;
  }
  qrplatform::FileBatch batch;
  batch.AddCopyOfFile(to, from);
  return ReplaceOne(batch, error);
}

bool FileSize(const std::string& path, uint64_t& size, std::string* error) {
  std::error_code ec;
  const fs::path p = PathFromUtf8(path);
  if (!fs::is_regular_file(p, ec)) {
    SetError(error, "not a readable file: " + path);
    return false;
  }
  const auto s = fs::file_size(p, ec);
  if (ec) {
    SetError(error, "cannot examine " + path + ": " + ec.message());
    return false;
  }
  size = s;
  return true;
}

namespace {

bool ReadUpTo(const std::string& path, std::vector<uint8_t>& out, size_t maxBytes, bool failIfLonger,
              std::string* error) {
  out.clear();
  std::error_code ec;
  if (fs::is_directory(PathFromUtf8(path), ec)) {
    SetError(error, "cannot read " + path + ": it is a directory");
    return false;
  }
  FILE* f = qrplatform::OpenFile(path, "rb");
  if (!f) {
    SetError(error, ErrnoText("cannot open", path, errno));
    return false;
  }
  std::vector<uint8_t> buf(64 * 1024);
  bool ok = true;
  for (;;) {
    // One byte beyond the limit is asked for when a longer file is an error.
    const size_t remaining = maxBytes - out.size();
    size_t want = std::min(buf.size(), remaining);
    if (failIfLonger && remaining < buf.size()) want = remaining + 1;
    if (want == 0) break;
    const size_t got = std::fread(buf.data(), 1, want, f);
    out.insert(out.end(), buf.data(), buf.data() + got);
    if (out.size() > maxBytes) {
      SetError(error, path + " is longer than " + std::to_string(maxBytes) + " bytes");
      ok = false;
      break;
    }
    if (got < want) {
      if (std::ferror(f)) {
        SetError(error, "cannot read " + path);
        ok = false;
      }
      break;
    }
  }
  std::fclose(f);
  if (!ok) out.clear();
  return ok;
}

}  // namespace

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& out, size_t maxBytes, std::string* error) {
  return ReadUpTo(path, out, maxBytes, true, error);
}

bool ReadFilePrefix(const std::string& path, std::vector<uint8_t>& out, size_t maxBytes, std::string* error) {
  return ReadUpTo(path, out, maxBytes, false, error);
}

}  // namespace tessera
