#pragma once
// A fresh folder under the system temporary folder, removed with its contents (even
// when a test made it read-only). Named after the running test where there is one.
#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <random>
#include <string>

#include "qrplatform/Utf8Path.h"

namespace qrtest {

class TempDir {
 public:
  explicit TempDir(const std::string& prefix = "qr") {
    std::random_device rd;
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string tag = info ? std::string(info->test_suite_name()) + "_" + info->name() : "t";
    for (char& c : tag)
      if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    path_ = std::filesystem::temp_directory_path() /
            (prefix + "_" + tag + "_" + std::to_string(rd()) + std::to_string(rd()));
    std::filesystem::create_directories(path_);
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  // name and the result are UTF-8 (a Chinese name stays one on Windows too).
  std::string File(const std::string& name) const {
    return qrplatform::Utf8FromPath(path_ / qrplatform::PathFromUtf8(name));
  }
  const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
};

}  // namespace qrtest
