// POSIX: flock on the lock file, pwrite + fdatasync on the image, identity by device and inode.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "sequence/local/SequenceFiles.h"

namespace kestrel {

struct LocalSequence::Handles::Os {
  int lock = -1;
  int image = -1;
  dev_t dev = 0;
  ino_t ino = 0;
};

LocalSequence::Handles::Handles() : os(new Os) {}
LocalSequence::Handles::~Handles() {
  Close();
  delete os;
}

std::string HostName() {
  char name[256] = {};
  if (::gethostname(name, sizeof name - 1) == 0 && name[0] != '\0') return name;
  return "unknown";
}

unsigned long ProcessIdNumber() { return static_cast<unsigned long>(::getpid()); }

bool LocalSequence::Handles::Lock(const std::string& lockPath, bool* held, std::string* holder,
                                  std::string* why) {
  *held = false;
  // Never through a link: a planted link must not make us truncate some other file.
  const int fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (fd < 0) {
    *why = std::strerror(errno);
    return false;
  }
  int r;
  do {
    r = ::flock(fd, LOCK_EX | LOCK_NB);
  } while (r != 0 && errno == EINTR);
  if (r != 0) {
    const int err = errno;
    if (err == EWOULDBLOCK) {
      *held = true;
      char text[512] = {};
      const ssize_t got = ::pread(fd, text, sizeof text - 1, 0);
      holder->assign(text, got > 0 ? static_cast<size_t>(got) : 0);
      while (!holder->empty() && (holder->back() == '\n' || holder->back() == '\r')) holder->pop_back();
    } else {
      *why = std::strerror(err);
    }
    ::close(fd);
    return false;
  }
  const std::string me = HostName() + " " + std::to_string(ProcessIdNumber()) + "\n";
  // Who holds it is for the message of a second process only: a failure here is harmless.
  if (::ftruncate(fd, 0) == 0) (void)!::pwrite(fd, me.data(), me.size(), 0);
  os->lock = fd;
  return true;
}

bool LocalSequence::Handles::OpenImage(const std::string& path, bool* readOnly, std::string* why) {
  *readOnly = false;
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    *why = std::strerror(errno);
    return false;
  }
  if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
    *readOnly = true;
    *why = "the file is read-only";
    return false;
  }
  const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) {
    const int err = errno;
    *readOnly = err == EACCES || err == EROFS || err == EPERM;
    *why = std::strerror(err);
    return false;
  }
  struct stat opened {};
  if (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode)) {
    *why = "not a regular file";
    ::close(fd);
    return false;
  }
  os->image = fd;
  os->dev = opened.st_dev;
  os->ino = opened.st_ino;
  return true;
}

uint64_t LocalSequence::Handles::ImageSize() const {
  struct stat st {};
  if (os->image < 0 || ::fstat(os->image, &st) != 0) return 0;
  return static_cast<uint64_t>(st.st_size);
}

bool LocalSequence::Handles::ReadImage(uint64_t offset, uint8_t* data, size_t n) const {
  size_t done = 0;
  while (done < n) {
    const ssize_t r = ::pread(os->image, data + done, n - done, static_cast<off_t>(offset + done));
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) return false;
    done += static_cast<size_t>(r);
  }
  return true;
}

bool LocalSequence::Handles::WriteImage(uint64_t offset, const uint8_t* data, size_t n, std::string* why) {
  if (os->image < 0) {
    *why = "the image is not open";
    return false;
  }
  size_t done = 0;
  while (done < n) {
    const ssize_t w = ::pwrite(os->image, data + done, n - done, static_cast<off_t>(offset + done));
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) {
      *why = std::strerror(w < 0 ? errno : EIO);
      return false;
    }
    done += static_cast<size_t>(w);
  }
  if (::fdatasync(os->image) != 0) {
    *why = std::strerror(errno);
    return false;
  }
  return true;
}

bool LocalSequence::Handles::StillNamed(const std::string& path) const {
  struct stat st {};
  return os->image >= 0 && ::stat(path.c_str(), &st) == 0 && st.st_dev == os->dev && st.st_ino == os->ino;
}

void LocalSequence::Handles::Close() {
  if (os->image >= 0) ::close(os->image);
  os->image = -1;
  if (os->lock >= 0) ::close(os->lock);  // closing the last descriptor drops the flock
  os->lock = -1;
}

}  // namespace kestrel
