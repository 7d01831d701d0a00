#include <atomic>
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
std::atomic<unsigned> g_counter{0};

// A name in the target's folder that no one else uses: ".<name>.tmp<pid>.<n>".
std::string TemporaryName(const std::string& target) {
  const fs::path p = PathFromUtf8(target);
  std::string name(1, '.');
  name += Utf8FromPath(p.filename());
  name += ".tmp" + std::to_string(os::ProcessId()) + "." + std::to_string(g_counter.fetch_add(1));
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

bool WriteInPlace(const std::string& path, uint64_t offset, const uint8_t* data, size_t n) {
  return os::WriteAt(path, offset, data, n);
}

std::FILE* OpenFile(const std::string& utf8Path, const char* mode) { return os::OpenFile(utf8Path, mode); }

void StartCommandLine(int& argc, char**& argv) { os::StartCommandLine(argc, argv); }

}  // namespace qrplatform
