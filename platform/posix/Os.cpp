// POSIX: open/write/fsync/rename, with Linux's reflink, copy_file_range and
// sync_file_range where they exist.
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#ifdef __linux__
#include <linux/fs.h>
#endif

#include "../Os.h"

namespace qrplatform::os {

namespace {

void Why(std::string* why, int err) {
  if (why) *why = std::strerror(err);
}

}  // namespace

unsigned long ProcessId() { return static_cast<unsigned long>(::getpid()); }

bool IsDirectory(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

int CreateNew(const std::string& path, bool* exists, std::string* why) {
  // Read and write: a later copy reads this file back by the kernel.
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  *exists = fd < 0 && errno == EEXIST;
  if (fd < 0) Why(why, errno);
  return fd;
}

void KeepMode(int fd, const std::string& like) {
  struct stat st {};
  if (::stat(like.c_str(), &st) == 0) (void)::fchmod(fd, st.st_mode & 07777);
}

bool WriteAll(int fd, const uint8_t* data, size_t n, std::string* why) {
  while (n > 0) {
    const ssize_t w = ::write(fd, data, n);
    if (w < 0) {
      if (errno == EINTR) continue;
      Why(why, errno);
      return false;
    }
    data += w;
    n -= static_cast<size_t>(w);
  }
  return true;
}

bool KernelCopy(int dst, int src, uint64_t n, bool* failed, std::string* why) {
  *failed = false;
  if (n == 0) return true;
#ifdef __linux__
#ifdef FICLONE
  // Shared blocks where the filesystem can (btrfs, XFS): no data is written at all.
  if (::ioctl(dst, FICLONE, src) == 0) return true;
#endif
  loff_t in = 0, out = 0;
  while (static_cast<uint64_t>(out) < n) {
    const ssize_t c = ::copy_file_range(src, &in, dst, &out, static_cast<size_t>(n - static_cast<uint64_t>(out)), 0);
    if (c < 0 && errno == EINTR) continue;
    if (c <= 0) {
      const int err = errno;
      // Nothing copied yet and the kernel cannot do it here: the caller writes the bytes.
      if (out == 0 && (c == 0 || err == ENOSYS || err == EXDEV || err == EINVAL || err == EOPNOTSUPP ||
                       err == EBADF)) {
        return false;
      }
      *failed = true;
      Why(why, c == 0 ? EIO : err);
      return false;
    }
  }
  return true;
#else
  (void)dst;
  (void)src;
  (void)why;
  return false;
#endif
}

bool CopyFileInto(int dst, const std::string& source, std::string* why) {
  const int src = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
  if (src < 0) {
    Why(why, errno);
    return false;
  }
  struct stat st {};
  bool ok = ::fstat(src, &st) == 0;
  if (!ok) Why(why, errno);
  bool failed = false;
  if (ok && S_ISREG(st.st_mode) && KernelCopy(dst, src, static_cast<uint64_t>(st.st_size), &failed, why)) {
    // Copied by the kernel; a file that grew meanwhile keeps its first st_size bytes.
  } else if (ok && !failed) {
    char buf[64 * 1024];
    for (;;) {
      const ssize_t got = ::read(src, buf, sizeof buf);
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) {
        Why(why, errno);
        ok = false;
        break;
      }
      if (got == 0) break;
      if (!WriteAll(dst, reinterpret_cast<const uint8_t*>(buf), static_cast<size_t>(got), why)) {
        ok = false;
        break;
      }
    }
  } else {
    ok = false;
  }
  ::close(src);
  return ok;
}

void StartWriteback(int fd) {
#ifdef __linux__
  (void)::sync_file_range(fd, 0, 0, SYNC_FILE_RANGE_WRITE);
#else
  (void)fd;
#endif
}

bool Sync(int fd, std::string* why) {
  if (::fsync(fd) == 0) return true;
  Why(why, errno);
  return false;
}

bool Close(int fd, std::string* why) {
  if (::close(fd) == 0) return true;
  Why(why, errno);
  return false;
}

bool Rename(const std::string& from, const std::string& to, std::string* why) {
  if (::rename(from.c_str(), to.c_str()) == 0) return true;
  Why(why, errno);
  return false;
}

void Remove(const std::string& path) { (void)::unlink(path.c_str()); }

bool SyncFolder(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool ok = ::fsync(fd) == 0;
  ::close(fd);
  return ok;
}

bool WriteAt(const std::string& path, uint64_t offset, const uint8_t* data, size_t n) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st {};
  bool ok = ::fstat(fd, &st) == 0 && static_cast<uint64_t>(st.st_size) >= offset + n;
  size_t done = 0;
  while (ok && done < n) {
    const ssize_t w = ::pwrite(fd, data + done, n - done, static_cast<off_t>(offset + done));
    if (w < 0 && errno == EINTR) continue;
    ok = w > 0;
    if (ok) done += static_cast<size_t>(w);
  }
  ok = ok && ::fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  return ok;
}

int OpenAppend(const std::string& path, std::string* why) {
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
  if (fd < 0) Why(why, errno);
  return fd;
}

int64_t FileLength(int fd) {
  struct stat st {};
  return ::fstat(fd, &st) == 0 ? static_cast<int64_t>(st.st_size) : -1;
}

bool Truncate(int fd, uint64_t length) {
  int r;
  do {
    r = ::ftruncate(fd, static_cast<off_t>(length));
  } while (r != 0 && errno == EINTR);
  return r == 0;
}

int64_t ReadAt(int fd, uint64_t offset, uint8_t* data, size_t n) {
  ssize_t r;
  do {
    r = ::pread(fd, data, n, static_cast<off_t>(offset));
  } while (r < 0 && errno == EINTR);
  return r;
}

std::FILE* OpenFile(const std::string& path, const char* mode) { return std::fopen(path.c_str(), mode); }

void StartCommandLine(int&, char**&) {}

}  // namespace qrplatform::os
