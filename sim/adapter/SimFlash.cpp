#include "SimFlash.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace kestrel::sim {

SimFlash::~SimFlash() {
  if (data_ != nullptr) {
    msync(data_, size_, MS_SYNC);
    munmap(data_, size_);
  }
  if (fd_ >= 0) close(fd_);
}

bool SimFlash::Create(const std::string& path, size_t size, std::string* error) {
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
}

void SimFlash::Erase() { std::memset(data_, 0xFF, size_); }

void SimFlash::Sync() { msync(data_, size_, MS_SYNC); }

}  // namespace kestrel::sim
