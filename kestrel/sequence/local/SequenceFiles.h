#pragma once
// The system calls under LocalSequence: the held lock file and the image opened once for
// writing. One implementation per system (SequenceFilesPosix.cpp, SequenceFilesWin32.cpp).
#include <cstddef>
#include <cstdint>
#include <string>

#include "sequence/local/LocalSequence.h"

namespace kestrel {

struct LocalSequence::Handles {
  Handles();
  ~Handles();
  Handles(const Handles&) = delete;
  Handles& operator=(const Handles&) = delete;

  // Opens (creating) and locks the lock file without waiting, then writes "host pid" into
  // it. When another process holds it: false, *held set and *holder what it wrote there.
  bool Lock(const std::string& lockPath, bool* held, std::string* holder, std::string* why);
  // Opens the image for reading and writing and remembers which file it is. A file marked
  // read-only is refused even where the system would let this user write it.
  bool OpenImage(const std::string& path, bool* readOnly, std::string* why);
  uint64_t ImageSize() const;
  bool ReadImage(uint64_t offset, uint8_t* data, size_t n) const;
  // Writes through the handle and flushes to the disk before answering.
  bool WriteImage(uint64_t offset, const uint8_t* data, size_t n, std::string* why);
  // The name still leads to the file opened (not replaced, not removed).
  bool StillNamed(const std::string& path) const;
  void Close();  // the image first, then the lock; idempotent

  struct Os;
  Os* os;
};

std::string HostName();
unsigned long ProcessIdNumber();

}  // namespace kestrel
