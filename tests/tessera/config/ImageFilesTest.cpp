#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <vector>

#include "TempDir.h"
#include "tessera/core/common/ByteIo.h"
#include "tessera/core/common/MessageSink.h"
#include "tessera/core/config/FlashLayout.h"
#include "tessera/core/config/ImageBuilder.h"
#include "tessera/core/config/ImageFiles.h"

namespace tessera {
namespace {

using testing::ReadBytes;
using testing::TempDir;

TEST(SplitPath, Cases) {
  struct Case {
    const char* path;
    bool ok;
    const char *folder, *base, *ext;
  };
  const Case cases[] = {
      {"/out/headset.IMG", true, "/out/", "headset", "IMG"},
      {"/d/x.y.IMG", true, "/d/", "x", "IMG"},            // base stops at the first ".", extension after the last
      {"./out/a.IMG", true, "./out/", "a", "IMG"},
      {"/out/headset", false, "", "", ""},               // no "."
      {"headset.IMG", false, "", "", "IMG"},             // no separator: the extension stays filled
      {".IMG", false, "", "", ""},                       // a "." as the first character does not count
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    std::string folder = "junk", base = "junk", ext = "junk";
    EXPECT_EQ(ImageBuilder::SplitPath(c.path, folder, base, ext), c.ok);
    EXPECT_EQ(folder, c.folder);
    EXPECT_EQ(base, c.base);
    EXPECT_EQ(ext, c.ext);
  }
}

TEST(CrcImagePath, DerivedNamesAndCopies) {
  EXPECT_EQ(CrcImagePath("/out/headset.IMG"), "/out/headset_CRC.IMG");
  EXPECT_EQ(CrcImagePath("/d/x.y.IMG"), "/d/x_CRC.IMG");
  EXPECT_EQ(CrcCopyPath("/d/x_CRC.IMG", "QR1"), "/d/x_CRC.QR1");
  EXPECT_EQ(CrcCopyPath("/d/x_CRC.IMG", "TU1"), "/d/x_CRC.TU1");
  EXPECT_EQ(CrcCopyPath("/d/x_CRC.IMAGE", "QR1"), "/d/x_CRC.QR1GE");  // keeps characters after the third
  EXPECT_EQ(CrcCopyPath("/d/x_CRC.B", "QR1"), "/d/x_CRC.QR1");
  // Where SplitPath alone gives no answer: no folder, no extension, a "." only in the folder.
  EXPECT_EQ(CrcImagePath("x.y.IMG"), "x_CRC.IMG");
  EXPECT_EQ(CrcImagePath("/out/headset"), "/out/headset_CRC");
  EXPECT_EQ(CrcImagePath("/o.d/headset"), "/o.d/headset_CRC");
  EXPECT_EQ(CrcCopyPath("/o.d/headset_CRC", "QR1"), "");
}

// A backslash separates folders in the Windows build and is an ordinary file-name
// character elsewhere; "/" separates on both.
TEST(CrcImagePath, BackslashSeparatesOnlyOnWindows) {
  struct Case {
    const char* image;
    const char* windowsCrc;  // and its QR1 copy ("" when none)
    const char* windowsCopy;
    const char* posixCrc;
    const char* posixCopy;
  };
  const Case cases[] = {
      {"D:\\out\\headset.IMG", "D:\\out\\headset_CRC.IMG", "D:\\out\\headset_CRC.QR1", "D:\\out\\headset_CRC.IMG",
       "D:\\out\\headset_CRC.QR1"},
      {"D:/out\\x.y.IMG", "D:/out\\x_CRC.IMG", "D:/out\\x_CRC.QR1", "D:/out\\x_CRC.IMG", "D:/out\\x_CRC.QR1"},
      {"D:\\out/x.y.IMG", "D:\\out/x_CRC.IMG", "D:\\out/x_CRC.QR1", "D:\\out/x_CRC.IMG", "D:\\out/x_CRC.QR1"},
      // A "." in the folder only: no extension on Windows; one inside the name elsewhere.
      {"D:\\o.d\\headset", "D:\\o.d\\headset_CRC", "", "D:\\o_CRC.d\\headset", "D:\\o_CRC.QR1eadset"},
      {"a.b\\h", "a.b\\h_CRC", "", "a_CRC.b\\h", "a_CRC.QR1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.image);
#ifdef _WIN32
    const std::string crc = c.windowsCrc, copy = c.windowsCopy;
#else
    const std::string crc = c.posixCrc, copy = c.posixCopy;
#endif
    EXPECT_EQ(CrcImagePath(c.image), crc);
    EXPECT_EQ(CrcCopyPath(crc, "QR1"), copy);
  }
  std::string folder, base, ext;
#ifdef _WIN32
  ASSERT_TRUE(ImageBuilder::SplitPath("C:\\a.b\\c/d\\name.x.IMG", folder, base, ext));
  EXPECT_EQ(folder, "C:\\a.b\\c/d\\");
  EXPECT_EQ(base, "name");
#else
  ASSERT_TRUE(ImageBuilder::SplitPath("C:\\a.b\\c/d\\name.x.IMG", folder, base, ext));
  EXPECT_EQ(folder, "C:\\a.b\\c/");
  EXPECT_EQ(base, "d\\name");
#endif
  EXPECT_EQ(ext, "IMG");
}

TEST(CrcImageSize, Gd4MbitWithoutPrompts) {
  const FlashLayout l = FlashLayoutFor(0);
  const size_t length = l.codeAreaKb * 1024u + 4096u;
  EXPECT_EQ(length, 0x71000u);
  EXPECT_EQ(ImageBuilder::CrcImageSize(length), 14464u * 34);
  EXPECT_EQ(ImageBuilder::CrcImageSize(length) + 4, 491780u);
  EXPECT_EQ(l.recordOffset / 32 * 34, 487424u);
  EXPECT_EQ(ImageBuilder::CrcImageSize(1), 34u);
  EXPECT_EQ(ImageBuilder::CrcImageSize(0), 0u);
}

// The document's buffers for a flash type, 0xFF-filled, with a "bin" and a record.
struct Buffers {
  FlashLayout layout;
  std::vector<uint8_t> image, crc;
  explicit Buffers(int flashIndex) : layout(FlashLayoutFor(flashIndex)) {
    image.assign(layout.bufferSize, 0xFF);
    crc.assign(layout.bufferSize, 0xFF);
    for (size_t i = 0; i < 40000; ++i) image[i] = static_cast<uint8_t>(i * 7 + 3);  // firmware
    for (size_t i = 0; i < 1178; ++i) image[layout.recordOffset + i] = static_cast<uint8_t>(i);
  }
};

TEST(WriteImageFiles, Gd4MbitWithoutPromptsWritesAllFourFiles) {
  TempDir dir;
  Buffers b(0);
  RecordingSink sink;
  ImageFilesResult r;
  const std::string path = dir.File("x.y.IMG");
  ASSERT_TRUE(WriteImageFiles(path, b.image.data(), b.image.size(), b.crc.data(), b.crc.size(),
                              b.layout.codeAreaKb, 0, sink, &r));
  EXPECT_TRUE(sink.messages.empty());
  EXPECT_EQ(r.length, 0x71000u);
  EXPECT_EQ(r.crcSize, 14464u * 34);
  EXPECT_EQ(testing::Listing(dir.Path()),
            (std::vector<std::string>{"x.y.IMG", "x_CRC.IMG", "x_CRC.QR1", "x_CRC.TU1"}));

  const auto plain = ReadBytes(path);
  ASSERT_EQ(plain.size(), 0x71000u);
  EXPECT_TRUE(std::equal(plain.begin(), plain.end(), b.image.begin()));

  const auto crcFile = ReadBytes(dir.File("x_CRC.IMG"));
  ASSERT_EQ(crcFile.size(), 491780u);
  EXPECT_EQ(ReadBytes(dir.File("x_CRC.QR1")), crcFile);
  EXPECT_EQ(ReadBytes(dir.File("x_CRC.TU1")), crcFile);
  // The record lies at CRC offset 14336 x 34 = 487424.
  EXPECT_EQ(crcFile[487424], 0);
  EXPECT_EQ(crcFile[487425], 1);
  EXPECT_EQ(crcFile[487424 + 34], 32);
  // Erased blocks between the bin and the record carry 00 0C.
  const size_t erased = 2000 * 34;
  EXPECT_EQ(crcFile[erased + 0], 0xFF);
  EXPECT_EQ(crcFile[erased + 32], 0x00);
  EXPECT_EQ(crcFile[erased + 33], 0x0C);
  // Every block's CRC matches the bitwise reference.
  for (size_t k = 0; k < 14464; ++k)
    ASSERT_EQ((crcFile[34 * k + 32] << 8) | crcFile[34 * k + 33], Crc16CmsBitwise(&crcFile[34 * k], 32)) << k;
  // The check value, little-endian at N.
  EXPECT_EQ(GetU32(crcFile.data(), r.crcSize), r.checkValue);
  EXPECT_EQ(r.checkValue, ImageChecksum(crcFile.data() + 34816, r.crcSize - 34816));
}

TEST(WriteImageFiles, CheckValueIgnoresTheFirst32KiB) {
  TempDir dir;
  Buffers a(1), b(1);
  b.image[100] ^= 0x5A;       // inside the first 32 KiB of the bin
  b.image[32767] ^= 0x01;
  RecordingSink sink;
  ImageFilesResult ra, rb;
  ASSERT_TRUE(WriteImageFiles(dir.File("a.IMG"), a.image.data(), a.image.size(), a.crc.data(), a.crc.size(), 512,
                              0x3000, sink, &ra));
  ASSERT_TRUE(WriteImageFiles(dir.File("b.IMG"), b.image.data(), b.image.size(), b.crc.data(), b.crc.size(), 512,
                              0x3000, sink, &rb));
  EXPECT_EQ(ra.length, 0x84000u);
  EXPECT_NE(std::memcmp(a.crc.data(), b.crc.data(), 34816), 0);  // the block CRCs differ
  EXPECT_EQ(ra.checkValue, rb.checkValue);
  // A change at 32 KiB does change it.
  Buffers c(1);
  c.image[32768] ^= 0x01;
  ImageFilesResult rc;
  ASSERT_TRUE(WriteImageFiles(dir.File("c.IMG"), c.image.data(), c.image.size(), c.crc.data(), c.crc.size(), 512,
                              0x3000, sink, &rc));
  EXPECT_NE(rc.checkValue, ra.checkValue);
}

TEST(WriteImageFiles, Gd4MbitWith20KiBOfPromptsOverflowsAndWritesNothing) {
  TempDir dir;
  Buffers b(0);
  RecordingSink sink;
  // 20 KiB of prompts: L = 0x71000 + 0x5000 = 472 KiB fits the 500 KiB image buffer
  // (plain free space is 48 KiB) but its CRC form (501.5 KiB) does not fit crc_buffer.
  EXPECT_FALSE(WriteImageFiles(dir.File("p.IMG"), b.image.data(), b.image.size(), b.crc.data(), b.crc.size(), 448,
                               20 * 1024, sink, nullptr));
  ASSERT_EQ(sink.messages.size(), 1u);
  EXPECT_EQ(sink.messages[0], "crc bin file is too large!! ");
  EXPECT_TRUE(testing::Listing(dir.Path()).empty());
  // 16 KiB still fits (19 KiB with CRC growth).
  sink.messages.clear();
  EXPECT_TRUE(WriteImageFiles(dir.File("p.IMG"), b.image.data(), b.image.size(), b.crc.data(), b.crc.size(), 448,
                              16 * 1024, sink, nullptr));
}

TEST(WriteImageFiles, ImageThatCannotBeCreatedWritesNothing) {
  TempDir dir;
  Buffers b(0);
  RecordingSink sink;
  std::filesystem::create_directory(dir.File("taken.IMG"));  // the chosen path is a folder
  EXPECT_FALSE(WriteImageFiles(dir.File("taken.IMG"), b.image.data(), b.image.size(), b.crc.data(), b.crc.size(),
                               448, 0, sink, nullptr));
  ASSERT_EQ(sink.messages.size(), 1u);
  EXPECT_EQ(sink.messages[0],
            "Can not create image file!\r\ncannot replace " + dir.File("taken.IMG") + ": it is a directory");
  EXPECT_EQ(testing::Listing(dir.Path()), std::vector<std::string>{"taken.IMG"});
}

TEST(WriteImageFiles, CrcFileThatCannotBeCreatedKeepsThePlainImage) {
  TempDir dir;
  Buffers b(0);
  RecordingSink sink;
  std::filesystem::create_directory(dir.File("h_CRC.IMG"));
  ImageFilesResult r;
  EXPECT_FALSE(WriteImageFiles(dir.File("h.IMG"), b.image.data(), b.image.size(), b.crc.data(), b.crc.size(), 448,
                               0, sink, &r));
  ASSERT_EQ(sink.messages.size(), 1u);
  EXPECT_EQ(sink.messages[0],
            "Can not create crc_image file\r\ncannot replace " + dir.File("h_CRC.IMG") + ": it is a directory");
  EXPECT_TRUE(r.imageWritten);
  EXPECT_EQ(testing::Listing(dir.Path()), (std::vector<std::string>{"h.IMG", "h_CRC.IMG"}));
  EXPECT_EQ(ReadBytes(dir.File("h.IMG")).size(), 0x71000u);
}

TEST(WriteImageFiles, ACopyThatCannotBeWrittenIsReportedAndLeavesNoTemporary) {
  TempDir dir;
  Buffers b(0);
  RecordingSink sink;
  std::filesystem::create_directory(dir.File("h_CRC.QR1"));
  ImageFilesResult r;
  EXPECT_FALSE(WriteImageFiles(dir.File("h.IMG"), b.image.data(), b.image.size(), b.crc.data(), b.crc.size(), 448,
                               0, sink, &r));
  ASSERT_EQ(sink.messages.size(), 1u);
  EXPECT_EQ(sink.messages[0].rfind(kCannotCopyCrcMessage, 0), 0u) << sink.messages[0];
  EXPECT_NE(sink.messages[0].find("h_CRC.QR1"), std::string::npos) << sink.messages[0];
  EXPECT_TRUE(r.imageWritten && r.crcWritten);
  EXPECT_FALSE(r.qr1Written);
  EXPECT_TRUE(r.tu1Written);
  EXPECT_EQ(testing::Listing(dir.Path()), (std::vector<std::string>{"h.IMG", "h_CRC.IMG", "h_CRC.QR1", "h_CRC.TU1"}));
  EXPECT_EQ(ReadBytes(dir.File("h_CRC.TU1")), ReadBytes(dir.File("h_CRC.IMG")));
}

}  // namespace
}  // namespace tessera
