#pragma once
// The system calls under FileBatch and WriteInPlace, one file per system (posix/, win32/).
// Descriptors are C runtime file descriptors on both. Failures return false (or -1) with
// a readable reason in *why.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace qrplatform::os {

unsigned long ProcessId();
bool IsDirectory(const std::string& path);
// Creates a new file that must not exist yet; -1 with exists = true when the name is taken.
int CreateNew(const std::string& path, bool* exists, std::string* why);
// Gives fd the permission bits of an existing file at `like` (nothing when there is none).
void KeepMode(int fd, const std::string& like);
bool WriteAll(int fd, const uint8_t* data, size_t n, std::string* why);
// Copies n bytes from the start of src into dst by the kernel; false (nothing reported)
// when the system or the filesystem cannot, so the caller writes the bytes instead.
// *failed is set when the copy itself failed (a full disk): then there is no fallback.
bool KernelCopy(int dst, int src, uint64_t n, bool* failed, std::string* why);
// Appends the content of the file at `source` to dst.
bool CopyFileInto(int dst, const std::string& source, std::string* why);
// Starts writing the file's dirty pages without waiting (nothing where there is no such call).
void StartWriteback(int fd);
bool Sync(int fd, std::string* why);
bool Close(int fd, std::string* why);
bool Rename(const std::string& from, const std::string& to, std::string* why);
void Remove(const std::string& path);
bool SyncFolder(const std::string& folder);
bool WriteAt(const std::string& path, uint64_t offset, const uint8_t* data, size_t n);
// Opens (creating) for appending; -1 on failure.
int OpenAppend(const std::string& path, std::string* why);
// The file's length; -1 on failure.
int64_t FileLength(int fd);
bool Truncate(int fd, uint64_t length);
// Reads up to n bytes at offset; the count read, -1 on failure.
int64_t ReadAt(int fd, uint64_t offset, uint8_t* data, size_t n);
std::FILE* OpenFile(const std::string& path, const char* mode);
void StartCommandLine(int& argc, char**& argv);

}  // namespace qrplatform::os
