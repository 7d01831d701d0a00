#include "SimFlash.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace kestrel::sim {

SimFlash::~SimFlash() {
#ifndef _WIN32
  if (fd_ >= 0 && data_ != nullptr) {
    msync(data_, size_, MS_SYNC);
    munmap(data_, size_);
  }
  if (fd_ >= 0) close(fd_);
#endif
}

bool SimFlash::Create(const std::string& path, size_t size, std::string* error) {
  if (path.empty()) {
    // A board in the host's own process: its flash is plain memory.
    memory_.assign(size, 0xFF);
    data_ = memory_.data();
    size_ = size;
    return true;
  }
#ifdef _WIN32
  *error = path + ": flash files are mapped the POSIX way";
  return false;
#else
  fd_ = open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd_ < 0 || ftruncate(fd_, static_cast<off_t>(size)) != 0) {
    *error = path + ": " + std::strerror(errno);
    return false;
  }
  void* p = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd_, 0);
  if (p == MAP_FAILED) {
    *error = path + ": mmap: " + std::strerror(errno);
    return false;
  }
  data_ = static_cast<uint8_t*>(p);
  size_ = size;
  Erase();
  Sync();
  return true;
#endif
}

void SimFlash::Load(const uint8_t* contents, size_t length) {
  std::memcpy(data_, contents, std::min(length, size_));
}

void SimFlash::Erase() { std::memset(data_, 0xFF, size_); }

void SimFlash::Sync() {
#ifndef _WIN32
  if (fd_ >= 0) msync(data_, size_, MS_SYNC);
#endif
}

}  // namespace kestrel::sim
