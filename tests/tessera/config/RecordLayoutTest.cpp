// The one layout table of the configuration file: every byte of the record and of the
// file's fixed part belongs to exactly one field, in offset order, and no two flags
// share a bit. A wrong offset or length in the table fails here, before the JSON form
// or the show command carry it.
#include <gtest/gtest.h>

#include <string>

#include "tessera/core/config/ConfigFile.h"
#include "tessera/core/config/ConfigRecord.h"
#include "tessera/core/config/RecordLayout.h"

namespace tessera::testing {
namespace {

using layout::Field;
using layout::Kind;

size_t SizeOf(const Field& f) {
  switch (f.kind) {
    case Kind::U8:
    case Kind::I8:
    case Kind::Gpio:
    case Kind::NamedU8:
      return 1;
    case Kind::U16:
    case Kind::I16:
      return 2;
    case Kind::U32:
    case Kind::I32:
    case Kind::Hex32:
    case Kind::F32:
    case Kind::GpioMask:
    case Kind::NamedI32:
    case Kind::Flags:
      return 4;
    case Kind::BtAddress:
      return 6;
    case Kind::Bytes:
    case Kind::Text:
      return f.len;
    case Kind::Array:
      return f.array->stride * static_cast<size_t>(f.array->count);
  }
  return 0;
}

// Checks that fields tile [start, end) and recurses into arrays and flags.
void ExpectTiles(std::span<const Field> fields, size_t start, size_t end,
                 const std::string& where) {
  size_t at = start;
  for (const Field& f : fields) {
    EXPECT_EQ(f.off, at) << where << "." << f.name << " leaves a gap or overlaps";
    at = f.off + SizeOf(f);
    if (f.kind == Kind::Array)
      ExpectTiles(f.array->fields, 0, f.array->stride, where + "." + f.name + "[]");
    if (f.kind == Kind::Flags) {
      uint32_t used = 0;
      for (const auto& b : f.bits) {
        const uint32_t mask = ((1u << b.width) - 1u) << b.shift;
        EXPECT_EQ(used & mask, 0u) << where << "." << f.name << "." << b.name << " shares a bit";
        used |= mask;
      }
    }
  }
  EXPECT_EQ(at, end) << where << " does not end where its block ends";
}

TEST(RecordLayout, FieldsCoverTheRecordAndTheFileExactlyOnce) {
  // The record's byte 0 is config_valid; the table starts there and runs to its end.
  ExpectTiles(layout::RecordFields(), 0, rec::kSize, "record");
  ExpectTiles(layout::FileFields(), cfgfile::kSound, cfgfile::kFixedSize, "file");
}

}  // namespace
}  // namespace tessera::testing
