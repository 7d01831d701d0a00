#pragma once
// The few operating-system file calls the cores need, behind one small interface that uses
// the C++ standard library only. POSIX (posix/) and Windows (win32/) implement it; the
// cores link this library and never include a system header themselves.
//
// FileBatch replaces a set of files so that after a crash at any moment every target holds
// either its old or its new complete content:
//   1. Prepare() writes each entry into a new temporary beside its target (".<name>.tmp" and
//      random hex digits, created only when that name is free, never through a link),
//      then flushes all of them to the disk together (writeback of every file is started
//      before the first wait);
//   2. Commit(i) renames entry i's temporary over its target;
//   3. Finish() flushes each folder that received a rename once, and removes every temporary
//      not committed (the destructor does the same).
// An entry that fails at any step leaves no temporary and its target untouched; Error(i)
// says why. An existing target keeps its permission bits (POSIX).
//
// AddCopy(i) gives an entry the content of an earlier one. It is copied by the kernel from
// that entry's temporary (a reflink where the filesystem shares blocks, else an in-kernel
// copy) and falls back to writing the bytes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qrplatform {

class FileBatch {
 public:
  FileBatch();
  ~FileBatch();
  FileBatch(const FileBatch&) = delete;
  FileBatch& operator=(const FileBatch&) = delete;

  // The bytes stay owned by the caller and must live until Prepare() returns.
  size_t Add(const std::string& target, const uint8_t* data, size_t n);
  // The same content as entry `of` (added earlier).
  size_t AddCopy(const std::string& target, size_t of);
  // The content of an existing file, read when Prepare() runs.
  size_t AddCopyOfFile(const std::string& target, const std::string& source);

  // Writes and flushes every temporary; true when all of them are ready to commit.
  bool Prepare();
  bool Ready(size_t i) const;
  // Renames a ready entry's temporary over its target.
  bool Commit(size_t i);
  // Flushes the folders of the committed entries and removes what was not committed.
  // False when a folder could not be flushed (the renames have happened).
  bool Finish();

  const std::string& Error(size_t i) const;
  size_t size() const;

  struct Entry;

 private:
  std::vector<Entry> entries_;
  bool finished_ = false;
};

// One file replaced by a new one written beside it: Create() makes the temporary at once
// (an unpredictable name, created only when free, never through a link), Write() fills
// it, Commit() flushes it and renames it over the target. A temporary not committed is
// removed (Discard, destructor). Until Commit the target keeps its old content.
class ReplacingFile {
 public:
  ReplacingFile() = default;
  ~ReplacingFile();
  ReplacingFile(const ReplacingFile&) = delete;
  ReplacingFile& operator=(const ReplacingFile&) = delete;

  bool Create(const std::string& target, std::string* why);
  bool Write(const uint8_t* data, size_t n, std::string* why);
  bool Commit(std::string* why);
  void Discard();

 private:
  std::string target_;
  std::string temporary_;
  int fd_ = -1;
};

// A file that only grows by whole records (the production log's rows). Each Append is
// written and flushed to the disk, or, when any part of it fails (a full disk), the file is
// cut back to its length before it: no torn record stays behind for the next one to be
// glued onto. Opening cuts off a torn last record (one not ending in '\n') a crash left.
class AppendFile {
 public:
  AppendFile() = default;
  ~AppendFile();
  AppendFile(const AppendFile&) = delete;
  AppendFile& operator=(const AppendFile&) = delete;

  bool Open(const std::string& path, std::string* why);
  bool IsOpen() const { return fd_ >= 0; }
  uint64_t Size() const;
  bool Append(const uint8_t* data, size_t n, std::string* why);
  void Close();

 private:
  int fd_ = -1;
};

// Writes n bytes at offset of an existing file and flushes them to the disk before
// answering. Never extends the file: false when it is shorter than offset + n.
bool WriteInPlace(const std::string& path, uint64_t offset, const uint8_t* data, size_t n);

}  // namespace qrplatform
