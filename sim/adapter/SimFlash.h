#pragma once
// A board's serial flash kept in a file, mapped shared, so whoever reads the file after
// an operation sees the flash as the board holds it.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kestrel::sim {

class SimFlash {
 public:
  SimFlash() = default;
  ~SimFlash();
  SimFlash(const SimFlash&) = delete;
  SimFlash& operator=(const SimFlash&) = delete;

  // Creates (or truncates) the file at size bytes, erased; an empty path keeps the
  // flash in memory only.
  bool Create(const std::string& path, size_t size, std::string* error);
  size_t size() const { return size_; }
  uint8_t Read(uint64_t address) const { return data_[address % size_]; }
  // NOR programming only clears bits: a byte programmed without erase holds old & new.
  // Addresses past the end wrap, as a 24-bit address on the flash does.
  void Program(uint64_t address, uint8_t value) { data_[address % size_] &= value; }
  void Flip(uint64_t address) { data_[address % size_] ^= 0x01; }
  // Puts contents in place as they are, as on a board that arrives already programmed.
  void Load(const uint8_t* contents, size_t length);
  void Erase();
  // Pushes the mapped pages to the file.
  void Sync();  // after whole operations; readers of the file see the page cache anyway

 private:
  std::vector<uint8_t> memory_;  // the flash kept in memory only
  uint8_t* data_ = nullptr;
  size_t size_ = 0;
  int fd_ = -1;
};

}  // namespace kestrel::sim
