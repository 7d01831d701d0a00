#include <atomic>
#include <cstdio>
#include <random>
#include <filesystem>
#include <limits>
#include <set>

#include "Os.h"
#include "qrplatform/Files.h"
#include "qrplatform/Utf8Path.h"

namespace qrplatform {

namespace fs = std::filesystem;

namespace {

constexpr size_t kNone = std::numeric_limits<size_t>::max();
// A name in the target's folder that another user cannot guess ahead: ".<name>.tmp"
// and 16 random hex digits. Created with O_EXCL (never through a link), so a name that is
// taken after all is simply drawn again.
std::string TemporaryName(const std::string& target) {
  thread_local std::mt19937_64 random{[] {
    std::random_device device;
    return (uint64_t{device()} << 32) ^ device() ^ (uint64_t{os::ProcessId()} << 16);
  }()};
  char suffix[17];
  std::snprintf(suffix, sizeof suffix, "%016llx", static_cast<unsigned long long>(random()));
  const fs::path p = PathFromUtf8(target);
  std::string name(1, '.');
  name += Utf8FromPath(p.filename());
  name += ".tmp";
  name += suffix;
  return Utf8FromPath(p.parent_path() / PathFromUtf8(name));
}

std::string FolderOf(const std::string& target) {
  fs::path folder = PathFromUtf8(target).parent_path();
  return folder.empty() ? std::string(".") : Utf8FromPath(folder);
}

}  // namespace

struct FileBatch::Entry {
  std::string target, temporary, source;
  const uint8_t* data = nullptr;
  size_t n = 0;
  size_t copyOf = kNone;
  int fd = -1;
  bool ready = false, committed = false;
  std::string error;
};

FileBatch::FileBatch() = default;
FileBatch::~FileBatch() { Finish(); }

size_t FileBatch::Add(const std::string& target, const uint8_t* data, size_t n) {
  Entry e;
  e.target = target;
  e.data = data;
  e.n = n;
  entries_.push_back(std::move(e));
  return entries_.size() - 1;
}

size_t FileBatch::AddCopy(const std::string& target, size_t of) {
  Entry e;
  e.target = target;
  if (of < entries_.size()) {
    e.copyOf = of;
    e.data = entries_[of].data;
    e.n = entries_[of].n;
    e.source = entries_[of].source;
  } else {
    e.error = "no entry to copy for " + target;
  }
  entries_.push_back(std::move(e));
  return entries_.size() - 1;
}

size_t FileBatch::AddCopyOfFile(const std::string& target, const std::string& source) {
  Entry e;
  e.target = target;
  e.source = source;
  entries_.push_back(std::move(e));
  return entries_.size() - 1;
}

bool FileBatch::Prepare() {
  auto fail = [](Entry& e, std::string why) {
    if (e.fd >= 0) os::Close(e.fd, nullptr);
    e.fd = -1;
    if (!e.temporary.empty()) os::Remove(e.temporary);
    e.temporary.clear();
    if (e.error.empty()) e.error = std::move(why);
  };
  // Every temporary is written and left open.
  for (Entry& e : entries_) {
    if (!e.error.empty()) continue;
    if (os::IsDirectory(e.target)) {
      e.error = "cannot replace " + e.target + ": it is a directory";
      continue;
    }
    std::string why;
    for (unsigned attempt = 0; attempt < 100 && e.fd < 0; ++attempt) {
      e.temporary = TemporaryName(e.target);
      bool exists = false;
      e.fd = os::CreateNew(e.temporary, &exists, &why);
      if (e.fd < 0 && !exists) break;
    }
    if (e.fd < 0) {
      e.temporary.clear();
      fail(e, why.empty() ? "cannot find a free temporary name beside " + e.target : why);
      continue;
    }
    os::KeepMode(e.fd, e.target);
    bool ok = false;
    bool copied = false;
    if (e.copyOf != kNone) {
      const Entry& from = entries_[e.copyOf];
      if (from.fd < 0) {
        fail(e, "cannot copy to " + e.target + ": its source was not written");
        continue;
      }
      bool failed = false;
      copied = os::KernelCopy(e.fd, from.fd, e.n, &failed, &why);
      if (failed) {
        fail(e, "cannot write " + e.target + ": " + why);
        continue;
      }
      ok = copied;
    }
    if (!copied) {
      ok = e.data || e.source.empty() ? os::WriteAll(e.fd, e.data, e.n, &why)
                                      : os::CopyFileInto(e.fd, e.source, &why);
    }
    if (!ok) fail(e, "cannot write " + e.target + ": " + why);
  }
  // Flushed together: writeback of every file starts before the first wait.
  for (Entry& e : entries_)
    if (e.fd >= 0) os::StartWriteback(e.fd);
  bool all = true;
  for (Entry& e : entries_) {
    if (e.fd < 0) {
      all = false;
      continue;
    }
    std::string why;
    if (!os::Sync(e.fd, &why)) {
      fail(e, "cannot flush " + e.target + ": " + why);
      all = false;
      continue;
    }
    const int fd = e.fd;
    e.fd = -1;
    if (!os::Close(fd, &why)) {
      fail(e, "cannot close " + e.target + ": " + why);
      all = false;
      continue;
    }
    e.ready = true;
  }
  return all;
}

bool FileBatch::Ready(size_t i) const { return i < entries_.size() && entries_[i].ready && !entries_[i].committed; }

bool FileBatch::Commit(size_t i) {
  if (!Ready(i)) return false;
  Entry& e = entries_[i];
  std::string why;
  if (!os::Rename(e.temporary, e.target, &why)) {
    e.error = "cannot rename the temporary over " + e.target + ": " + why;
    os::Remove(e.temporary);
    e.ready = false;
    return false;
  }
  e.committed = true;
  return true;
}

bool FileBatch::Finish() {
  if (finished_) return true;
  finished_ = true;
  std::set<std::string> folders;
  for (Entry& e : entries_) {
    if (e.fd >= 0) os::Close(e.fd, nullptr);
    e.fd = -1;
    if (e.committed) {
      folders.insert(FolderOf(e.target));
    } else if (!e.temporary.empty()) {
      os::Remove(e.temporary);
      e.ready = false;
    }
  }
  bool ok = true;
  for (const std::string& f : folders) ok = os::SyncFolder(f) && ok;
  return ok;
}

const std::string& FileBatch::Error(size_t i) const {
  static const std::string kNoEntry = "no such entry";
  return i < entries_.size() ? entries_[i].error : kNoEntry;
}

size_t FileBatch::size() const { return entries_.size(); }

ReplacingFile::~ReplacingFile() { Discard(); }

bool ReplacingFile::Create(const std::string& target, std::string* why) {
  Discard();
  target_ = target;
  std::string reason;
  for (unsigned attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
    temporary_ = TemporaryName(target);
    bool exists = false;
    fd_ = os::CreateNew(temporary_, &exists, &reason);
    if (fd_ < 0 && !exists) break;
  }
  if (fd_ < 0) {
    temporary_.clear();
    if (why) *why = reason.empty() ? "cannot find a free temporary name beside " + target : reason;
    return false;
  }
  os::KeepMode(fd_, target);
  return true;
}

bool ReplacingFile::Write(const uint8_t* data, size_t n, std::string* why) {
  if (fd_ < 0) {
    if (why) *why = "not created";
    return false;
  }
  std::string reason;
  if (os::WriteAll(fd_, data, n, &reason)) return true;
  if (why) *why = reason;
  return false;
}

bool ReplacingFile::Commit(std::string* why) {
  if (fd_ < 0) {
    if (why) *why = "not created";
    return false;
  }
  std::string reason;
  const bool synced = os::Sync(fd_, &reason);
  const bool closed = os::Close(fd_, synced ? &reason : nullptr);
  fd_ = -1;
  if (!synced || !closed || !os::Rename(temporary_, target_, &reason)) {
    if (why) *why = reason;
    Discard();
    return false;
  }
  temporary_.clear();
  os::SyncFolder(FolderOf(target_));
  return true;
}

void ReplacingFile::Discard() {
  if (fd_ >= 0) {
    std::string ignored;
    os::Close(fd_, &ignored);
    fd_ = -1;
  }
  if (!temporary_.empty()) os::Remove(temporary_);
  temporary_.clear();
}

AppendFile::~AppendFile() { Close(); }

bool AppendFile::Open(const std::string& path, std::string* why) {
  Close();
  const int fd = os::OpenAppend(path, why);
  if (fd < 0) return false;
  // A record torn by a crash (no line end yet) is cut off: it was never complete.
  const int64_t length = os::FileLength(fd);
  if (length > 0) {
    uint8_t tail[4096];
    const uint64_t from = length > static_cast<int64_t>(sizeof tail) ? static_cast<uint64_t>(length) - sizeof tail : 0;
    const int64_t got = os::ReadAt(fd, from, tail, static_cast<size_t>(static_cast<uint64_t>(length) - from));
    if (got > 0 && tail[got - 1] != '\n') {
      int64_t keep = got;
      while (keep > 0 && tail[keep - 1] != '\n') --keep;
      // A record longer than the tail read keeps its file as it is: better than guessing.
      if (keep > 0 || from == 0) {
        std::string ignored;
        if (!os::Truncate(fd, from + static_cast<uint64_t>(keep)) || !os::Sync(fd, &ignored)) {
          if (why) *why = "cannot cut off the torn last record";
          os::Close(fd, &ignored);
          return false;
        }
      }
    }
  }
  fd_ = fd;
  return true;
}

uint64_t AppendFile::Size() const {
  const int64_t length = fd_ >= 0 ? os::FileLength(fd_) : -1;
  return length > 0 ? static_cast<uint64_t>(length) : 0;
}

bool AppendFile::Append(const uint8_t* data, size_t n, std::string* why) {
  if (fd_ < 0) {
    if (why) *why = "not open";
    return false;
  }
  const int64_t before = os::FileLength(fd_);
  if (before < 0) {
    if (why) *why = "cannot tell the file's length";
    return false;
  }
  std::string reason;
  if (os::WriteAll(fd_, data, n, &reason) && os::Sync(fd_, &reason)) return true;
  // Whatever part went in comes out again, and that is on the disk before answering.
  std::string ignored;
  if (os::Truncate(fd_, static_cast<uint64_t>(before))) os::Sync(fd_, &ignored);
  if (why) *why = reason;
  return false;
}

void AppendFile::Close() {
  if (fd_ < 0) return;
  std::string ignored;
  os::Close(fd_, &ignored);
  fd_ = -1;
}

bool WriteInPlace(const std::string& path, uint64_t offset, const uint8_t* data, size_t n) {
  return os::WriteAt(path, offset, data, n);
}

std::FILE* OpenFile(const std::string& utf8Path, const char* mode) { return os::OpenFile(utf8Path, mode); }

void StartCommandLine(int& argc, char**& argv) { os::StartCommandLine(argc, argv); }

}  // namespace qrplatform
