#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#ifdef __linux__
#include <sys/mount.h>
#include <unistd.h>
#endif

#include "qrplatform/Files.h"
#include "qrplatform/Utf8Path.h"
#include "support/TempDir.h"

namespace qrplatform {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

void Put(const std::string& path, const Bytes& data) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
}

Bytes Get(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

std::vector<std::string> Listing(const fs::path& dir) {
  std::vector<std::string> out;
  for (const auto& e : fs::directory_iterator(dir)) out.push_back(e.path().filename().string());
  std::sort(out.begin(), out.end());
  return out;
}

Bytes Pattern(size_t n, uint8_t seed) {
  Bytes b(n);
  for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(i * 31 + seed + i / 251);
  return b;
}

TEST(FileBatch, TargetsKeepTheirOldContentUntilCommittedThenHoldTheNew) {
  qrtest::TempDir dir;
  const Bytes image = Pattern(300000, 1), source = Pattern(200001, 9);
  for (const char* name : {"a.IMG", "a.QR1", "c.bin"}) Put(dir.File(name), {0xEE});
  fs::permissions(dir.File("a.QR1"), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  Put(dir.File("src"), source);

  FileBatch batch;
  const size_t a = batch.Add(dir.File("a.IMG"), image.data(), image.size());
  const size_t copy = batch.AddCopy(dir.File("a.QR1"), a);
  const size_t fresh = batch.AddCopy(dir.File("new.TU1"), a);
  const size_t fromFile = batch.AddCopyOfFile(dir.File("c.bin"), dir.File("src"));
  const size_t empty = batch.Add(dir.File("empty"), nullptr, 0);
  ASSERT_TRUE(batch.Prepare()) << batch.Error(a) << batch.Error(copy) << batch.Error(fromFile);
  // Written and flushed, not yet renamed: a crash here leaves every old content.
  for (const char* name : {"a.IMG", "a.QR1", "c.bin"}) EXPECT_EQ(Get(dir.File(name)), Bytes{0xEE}) << name;
  EXPECT_FALSE(fs::exists(dir.File("new.TU1")));
  EXPECT_EQ(Listing(dir.Path()).size(), 4u + 5u);  // four old files and five temporaries

  for (size_t i : {a, copy, fresh, fromFile, empty}) EXPECT_TRUE(batch.Commit(i)) << batch.Error(i);
  EXPECT_FALSE(batch.Commit(a));  // once only
  EXPECT_TRUE(batch.Finish());
  EXPECT_EQ(Get(dir.File("a.IMG")), image);
  EXPECT_EQ(Get(dir.File("a.QR1")), image);
  EXPECT_EQ(Get(dir.File("new.TU1")), image);
  EXPECT_EQ(Get(dir.File("c.bin")), source);
  EXPECT_TRUE(Get(dir.File("empty")).empty());
  EXPECT_EQ(Listing(dir.Path()),
            (std::vector<std::string>{"a.IMG", "a.QR1", "c.bin", "empty", "new.TU1", "src"}));
#ifndef _WIN32
  EXPECT_EQ(fs::status(dir.File("a.QR1")).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
#endif
}

TEST(FileBatch, AFailedEntryLeavesItsTargetAndNoTemporaryAndTheOthersGoOn) {
  struct Case {
    const char* what;
    // Adds the failing entry after the good one (index 0); the folder is prepared.
    size_t (*add)(FileBatch&, const qrtest::TempDir&, const Bytes&);
  };
  static const Bytes kBytes = Pattern(5000, 3);
  const Case cases[] = {
      {"target is a folder",
       [](FileBatch& b, const qrtest::TempDir& d, const Bytes& x) {
         fs::create_directory(d.File("t"));
         return b.Add(d.File("t"), x.data(), x.size());
       }},
      {"folder does not exist",
       [](FileBatch& b, const qrtest::TempDir& d, const Bytes& x) {
         return b.Add(d.File("missing/t"), x.data(), x.size());
       }},
      {"source file does not exist",
       [](FileBatch& b, const qrtest::TempDir& d, const Bytes&) {
         return b.AddCopyOfFile(d.File("t"), d.File("nope"));
       }},
      {"copy of an entry that failed",
       [](FileBatch& b, const qrtest::TempDir& d, const Bytes& x) {
         fs::create_directory(d.File("t"));
         return b.AddCopy(d.File("u"), b.Add(d.File("t"), x.data(), x.size()));
       }},
      {"copy of no entry", [](FileBatch& b, const qrtest::TempDir& d, const Bytes&) {
         return b.AddCopy(d.File("u"), 99);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    qrtest::TempDir dir;
    Put(dir.File("good"), {1});
    FileBatch batch;
    const size_t good = batch.Add(dir.File("good"), kBytes.data(), kBytes.size());
    const size_t bad = c.add(batch, dir, kBytes);
    const std::vector<std::string> before = Listing(dir.Path());
    EXPECT_FALSE(batch.Prepare());
    EXPECT_FALSE(batch.Ready(bad));
    EXPECT_FALSE(batch.Commit(bad));
    EXPECT_FALSE(batch.Error(bad).empty());
    EXPECT_TRUE(batch.Error(good).empty()) << batch.Error(good);
    EXPECT_TRUE(batch.Commit(good));
    batch.Finish();
    EXPECT_EQ(Get(dir.File("good")), kBytes);
    EXPECT_EQ(Listing(dir.Path()), before);  // no temporary, no new name
  }
}

TEST(FileBatch, EntriesNotCommittedAreRemovedAndKeepTheOldContent) {
  qrtest::TempDir dir;
  const Bytes data = Pattern(70000, 5);
  Put(dir.File("a"), {1});
  Put(dir.File("b"), {2});
  {
    FileBatch batch;
    const size_t a = batch.Add(dir.File("a"), data.data(), data.size());
    batch.AddCopy(dir.File("b"), a);
    batch.AddCopy(dir.File("c"), a);
    ASSERT_TRUE(batch.Prepare());
    ASSERT_TRUE(batch.Commit(a));
  }  // abandoned: b and c never renamed
  EXPECT_EQ(Get(dir.File("a")), data);
  EXPECT_EQ(Get(dir.File("b")), Bytes{2});
  EXPECT_EQ(Listing(dir.Path()), (std::vector<std::string>{"a", "b"}));
}

TEST(FileBatch, CopyThatDoesNotFitOnTheDiskFailsWithoutAPartialFile) {
#ifndef __linux__
  GTEST_SKIP() << "needs a small Linux tmpfs";
#else
  if (geteuid() != 0) GTEST_SKIP() << "mounting a 2 MiB tmpfs needs root";
  qrtest::TempDir dir;
  if (::mount("tmpfs", dir.Path().c_str(), "tmpfs", 0, "size=2m") != 0)
    GTEST_SKIP() << "cannot mount a tmpfs here (a container without the right)";
  struct Unmount {
    std::string path;
    ~Unmount() { ::umount2(path.c_str(), MNT_DETACH); }
  } unmount{dir.Path().string()};
  const Bytes data = Pattern(800 * 1024, 7);
  Put(dir.File("c"), {3});
  FileBatch batch;
  const size_t a = batch.Add(dir.File("a"), data.data(), data.size());
  const size_t b = batch.AddCopy(dir.File("b"), a);
  const size_t c = batch.AddCopy(dir.File("c"), a);  // the third 800 KiB does not fit in 2 MiB
  EXPECT_FALSE(batch.Prepare());
  EXPECT_TRUE(batch.Ready(a));
  EXPECT_TRUE(batch.Ready(b));
  EXPECT_FALSE(batch.Ready(c));
  EXPECT_NE(batch.Error(c).find("c"), std::string::npos) << batch.Error(c);
  EXPECT_TRUE(batch.Commit(a) && batch.Commit(b));
  batch.Finish();
  EXPECT_EQ(Get(dir.File("b")), data);
  EXPECT_EQ(Get(dir.File("c")), Bytes{3});
  EXPECT_EQ(Listing(dir.Path()), (std::vector<std::string>{"a", "b", "c"}));
#endif
}

TEST(WriteInPlace, WritesInsideTheFileOnly) {
  qrtest::TempDir dir;
  Put(dir.File("f"), Bytes(100, 0xFF));
  const Bytes six{1, 2, 3, 4, 5, 6};
  struct Case {
    uint64_t offset;
    bool ok;
  };
  for (const Case& c : {Case{95, false}, Case{94, true}, Case{0, true}, Case{1ull << 33, false}}) {
    SCOPED_TRACE(c.offset);
    EXPECT_EQ(WriteInPlace(dir.File("f"), c.offset, six.data(), six.size()), c.ok);
  }
  Bytes want(100, 0xFF);
  std::copy(six.begin(), six.end(), want.begin());
  std::copy(six.begin(), six.end(), want.begin() + 94);
  EXPECT_EQ(Get(dir.File("f")), want);
  EXPECT_FALSE(WriteInPlace(dir.File("missing"), 0, six.data(), six.size()));
  EXPECT_FALSE(fs::exists(dir.File("missing")));
}


// Names are UTF-8. On Windows they must reach the system as the same characters, not as
// the bytes read in another code page: the listing shows the exact names, and each call
// finds the file the others made.
TEST(Utf8Names, BatchInPlaceWriteAndOpenUseTheNamesAsWritten) {
  qrtest::TempDir dir;
  const std::string folderName = "中文 目录", fileName = "镜像 image_CRC.QR1", copyName = "副本 copy.bin";
  const std::string folder = dir.File(folderName);
  ASSERT_TRUE(fs::create_directories(PathFromUtf8(folder)));
  const std::string target = Utf8FromPath(PathFromUtf8(folder) / PathFromUtf8(fileName));
  const std::string copy = Utf8FromPath(PathFromUtf8(folder) / PathFromUtf8(copyName));
  const Bytes data = Pattern(5000, 3);

  FileBatch batch;
  batch.Add(target, data.data(), data.size());
  ASSERT_TRUE(batch.Prepare()) << batch.Error(0);
  ASSERT_TRUE(batch.Commit(0)) << batch.Error(0);
  EXPECT_TRUE(batch.Finish());

  FileBatch second;  // reads the first file by its name
  second.AddCopyOfFile(copy, target);
  ASSERT_TRUE(second.Prepare()) << second.Error(0);
  ASSERT_TRUE(second.Commit(0)) << second.Error(0);
  EXPECT_TRUE(second.Finish());

  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(PathFromUtf8(folder))) names.push_back(Utf8FromPath(e.path().filename()));
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{copyName, fileName}));
  EXPECT_EQ(Listing(dir.Path()).size(), 1u);  // the folder, under one name

  const uint8_t patch[3] = {0xA1, 0xB2, 0xC3};
  ASSERT_TRUE(WriteInPlace(copy, 100, patch, sizeof patch));
  std::FILE* f = OpenFile(copy, "rb");
  ASSERT_NE(f, nullptr);
  Bytes back(6000);
  back.resize(std::fread(back.data(), 1, back.size(), f));
  std::fclose(f);
  Bytes expected = data;
  std::copy(patch, patch + 3, expected.begin() + 100);
  EXPECT_EQ(back, expected);
  EXPECT_EQ(OpenFile(Utf8FromPath(PathFromUtf8(folder) / "no such 文件"), "rb"), nullptr);
}

}  // namespace
}  // namespace qrplatform
