#include "tessera/cli/ConfigJson.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <span>

#include "tessera/core/common/ByteIo.h"
#include "tessera/core/config/ConfigFile.h"
#include "tessera/core/config/ConfigRecord.h"
#include "tessera/core/config/RecordLayout.h"
#include "tessera/core/config/TableEntries.h"

namespace tessera {
namespace {

using namespace layout;
using cfgfile::kFixedSize;

// ---- helpers ---------------------------------------------------------------

std::string HexBytes(const uint8_t* p, size_t n) {
  static const char* digits = "0123456789abcdef";
  std::string s;
  s.reserve(2 * n);
  for (size_t i = 0; i < n; ++i) {
    s += digits[p[i] >> 4];
    s += digits[p[i] & 15];
  }
  return s;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool ParseHexBytes(const std::string& s, std::vector<uint8_t>& out) {
  if (s.size() % 2 != 0) return false;
  out.clear();
  for (size_t i = 0; i < s.size(); i += 2) {
    int hi = HexDigit(s[i]), lo = HexDigit(s[i + 1]);
    if (hi < 0 || lo < 0) return false;
    out.push_back(static_cast<uint8_t>(hi * 16 + lo));
  }
  return true;
}

std::string Hex32Text(uint32_t v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%08X", v);
  return buf;
}

// Well-formed UTF-8 (no overlong forms, no surrogates); what a JSON string can carry.
bool IsUtf8(const uint8_t* p, size_t n) {
  size_t i = 0;
  while (i < n) {
    uint8_t c = p[i];
    size_t extra;
    uint32_t cp;
    if (c < 0x80) {
      ++i;
      continue;
    } else if ((c & 0xE0) == 0xC0) {
      extra = 1, cp = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
      extra = 2, cp = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
      extra = 3, cp = c & 0x07;
    } else {
      return false;
    }
    if (i + extra >= n) return false;
    for (size_t k = 1; k <= extra; ++k) {
      if ((p[i + k] & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (p[i + k] & 0x3F);
    }
    if ((extra == 1 && cp < 0x80) || (extra == 2 && cp < 0x800) || (extra == 3 && cp < 0x10000) ||
        cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
      return false;
    i += extra + 1;
  }
  return true;
}

// A fixed text field is "clean" when the bytes after its first NUL are all zero and
// the text before it is UTF-8; then the text alone gives the field back.
OrderedJson TextToJson(const uint8_t* p, size_t n) {
  size_t len = 0;
  while (len < n && p[len] != 0) ++len;
  bool clean = IsUtf8(p, len);
  for (size_t i = len; i < n && clean; ++i) clean = p[i] == 0;
  if (clean) return std::string(reinterpret_cast<const char*>(p), len);
  OrderedJson o = OrderedJson::object();
  o["hex"] = HexBytes(p, n);
  return o;
}

std::string Where(const std::string& path) {
  return path.empty() ? "the document" : "\"" + path + "\"";
}

class Importer {
 public:
  std::string error;

  bool Fail(const std::string& path, const std::string& what) {
    if (error.empty()) error = Where(path) + ": " + what;
    return false;
  }

  bool Integer(const OrderedJson& j, const std::string& path, long long lo, long long hi,
               long long& v) {
    if (j.is_number_integer() || j.is_number_unsigned()) {
      if (j.is_number_unsigned()) {
        uint64_t u = j.get<uint64_t>();
        if (u > static_cast<uint64_t>(hi))
          return Fail(path, "number out of range " + Range(lo, hi));
        v = static_cast<long long>(u);
      } else {
        v = j.get<long long>();
      }
      if (v < lo || v > hi) return Fail(path, "number out of range " + Range(lo, hi));
      return true;
    }
    if (j.is_string()) {  // "0x..." accepted for any integer field
      const std::string s = j.get<std::string>();
      if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X') && s.size() <= 10) {
        unsigned long long u = 0;
        for (size_t i = 2; i < s.size(); ++i) {
          int d = HexDigit(s[i]);
          if (d < 0) return Fail(path, "expected a number or \"0x\" followed by hex digits");
          u = u * 16 + static_cast<unsigned>(d);
        }
        if (u > static_cast<unsigned long long>(hi))
          return Fail(path, "number out of range " + Range(lo, hi));
        v = static_cast<long long>(u);
        return true;
      }
    }
    return Fail(path, "expected a number");
  }

  static std::string Range(long long lo, long long hi) {
    return "(" + std::to_string(lo) + " to " + std::to_string(hi) + ")";
  }

  bool Named(const OrderedJson& j, const std::string& path, const NameTable* names, long long lo,
             long long hi, long long& v) {
    if (j.is_string() && names) {
      int i = names->Find(j.get<std::string>());
      if (i >= 0) {
        v = i;
        return true;
      }
      if (j.get<std::string>().rfind("0x", 0) != 0)
        return Fail(path,
                    "unknown name \"" + j.get<std::string>() + "\" (known: " + names->List() + ")");
    }
    return Integer(j, path, lo, hi, v);
  }

  bool Text(const OrderedJson& j, const std::string& path, uint8_t* p, size_t n) {
    if (j.is_string()) {
      const std::string s = j.get<std::string>();
      if (s.size() > n) return Fail(path, "text longer than " + std::to_string(n) + " bytes");
      if (s.find('\0') != std::string::npos)
        return Fail(path, "text contains a NUL character; use {\"hex\": ...}");
      std::memset(p, 0, n);
      std::memcpy(p, s.data(), s.size());
      return true;
    }
    if (j.is_object() && j.size() == 1 && j.contains("hex"))
      return HexField(j["hex"], path + ".hex", p, n);
    return Fail(path, "expected a text or {\"hex\": \"...\"}");
  }

  bool HexField(const OrderedJson& j, const std::string& path, uint8_t* p, size_t n) {
    std::vector<uint8_t> bytes;
    if (!j.is_string() || !ParseHexBytes(j.get<std::string>(), bytes) || bytes.size() != n)
      return Fail(path, "expected " + std::to_string(2 * n) + " hex digits");
    std::memcpy(p, bytes.data(), n);
    return true;
  }

  bool Gpio(const OrderedJson& j, const std::string& path, long long& v) {
    if (j.is_string()) {
      const std::string s = j.get<std::string>();
      if (s == "UNUSED") {
        v = 0xFF;
        return true;
      }
      if (auto n = GpioTextNumber(s); n >= 0 && n <= 0xFE) {
        v = n;
        return true;
      }
      return Fail(path, "expected \"GPIOnn\" or \"UNUSED\"");
    }
    return Integer(j, path, 0, 0xFF, v);
  }

  // "GPIO" followed by one to three decimal digits; -1 otherwise.
  static long long GpioTextNumber(const std::string& s) {
    if (s.size() < 5 || s.size() > 7 || s.compare(0, 4, "GPIO") != 0) return -1;
    long long n = 0;
    for (size_t i = 4; i < s.size(); ++i) {
      if (s[i] < '0' || s[i] > '9') return -1;
      n = n * 10 + (s[i] - '0');
    }
    return n;
  }

  bool Fields(const OrderedJson& obj, const std::string& path, std::span<const Field> fields,
              uint8_t* base, bool allowEventLabel) {
    if (!obj.is_object()) return Fail(path, "expected an object");
    for (auto it = obj.begin(); it != obj.end(); ++it) {
      bool known = allowEventLabel && it.key() == "event";
      for (const Field& f : fields) known = known || it.key() == f.name;
      if (!known) return Fail(Join(path, it.key()), "unknown member");
    }
    for (const Field& f : fields) {
      std::string sub = Join(path, f.name);
      if (!obj.contains(f.name)) return Fail(sub, "missing");
      if (!One(obj[f.name], sub, f, base)) return false;
    }
    return true;
  }

  static std::string Join(const std::string& path, const std::string& name) {
    return path.empty() ? name : path + "." + name;
  }

  bool One(const OrderedJson& j, const std::string& path, const Field& f, uint8_t* base) {
    uint8_t* p = base + f.off;
    long long v = 0;
    switch (f.kind) {
      case Kind::U8:
        if (!Integer(j, path, 0, 0xFF, v)) return false;
        PutU8(p, 0, static_cast<uint32_t>(v));
        return true;
      case Kind::I8:
        if (!Integer(j, path, -128, 0xFF, v)) return false;
        PutU8(p, 0, static_cast<uint32_t>(v));
        return true;
      case Kind::U16:
        if (!Integer(j, path, 0, 0xFFFF, v)) return false;
        PutU16(p, 0, static_cast<uint32_t>(v));
        return true;
      case Kind::I16:
        if (!Integer(j, path, -32768, 0xFFFF, v)) return false;
        PutU16(p, 0, static_cast<uint32_t>(v));
        return true;
      case Kind::U32:
      case Kind::Hex32:
        if (!Integer(j, path, 0, 0xFFFFFFFFLL, v)) return false;
        PutU32(p, 0, static_cast<uint32_t>(v));
        return true;
      case Kind::I32:
        if (!Integer(j, path, INT32_MIN, 0xFFFFFFFFLL, v)) return false;
        PutU32(p, 0, static_cast<uint32_t>(v));
        return true;
      case Kind::F32:
        if (j.is_number()) {
          const double d = j.get<double>();
          if (!(std::fabs(d) <= static_cast<double>(std::numeric_limits<float>::max())))
            return Fail(path,
                        "number outside the single-precision range; use {\"bits\": \"0x...\"}");
          PutF32(p, 0, static_cast<float>(d));
          return true;
        }
        if (j.is_object() && j.size() == 1 && j.contains("bits")) {
          if (!Integer(j["bits"], path + ".bits", 0, 0xFFFFFFFFLL, v)) return false;
          PutU32(p, 0, static_cast<uint32_t>(v));
          return true;
        }
        return Fail(path, "expected a number or {\"bits\": \"0x...\"}");
      case Kind::Gpio:
        if (!Gpio(j, path, v)) return false;
        PutU8(p, 0, static_cast<uint32_t>(v));
        return true;
      case Kind::GpioMask: {
        if (!j.is_array()) return Fail(path, "expected a list of \"GPIOnn\"");
        uint32_t mask = 0;
        for (size_t i = 0; i < j.size(); ++i) {
          long long n = j[i].is_string() ? GpioTextNumber(j[i].get<std::string>()) : -1;
          if (n < 0 || n > 31)
            return Fail(path + "[" + std::to_string(i) + "]", "expected \"GPIO00\" to \"GPIO31\"");
          mask |= 1u << n;
        }
        PutU32(p, 0, mask);
        return true;
      }
      case Kind::Bytes:
        return HexField(j, path, p, f.len);
      case Kind::Text:
        return Text(j, path, p, f.len);
      case Kind::BtAddress: {
        std::vector<uint8_t> bytes;
        const std::string s = j.is_string() ? j.get<std::string>() : std::string();
        if (s.size() != 14 || s[0] != '0' || s[1] != 'x' || !ParseHexBytes(s.substr(2), bytes))
          return Fail(path, "expected \"0x\" followed by 12 hex digits");
        for (int k = 0; k < 6; ++k) p[5 - k] = bytes[static_cast<size_t>(k)];
        return true;
      }
      case Kind::NamedU8:
        if (!Named(j, path, f.names, 0, 0xFF, v)) return false;
        PutU8(p, 0, static_cast<uint32_t>(v));
        return true;
      case Kind::NamedI32:
        if (!Named(j, path, f.names, INT32_MIN, 0xFFFFFFFFLL, v)) return false;
        PutU32(p, 0, static_cast<uint32_t>(v));
        return true;
      case Kind::Flags: {
        if (!j.is_object()) return Fail(path, "expected an object");
        uint32_t word = 0, covered = 0;
        for (auto it = j.begin(); it != j.end(); ++it) {
          bool known = it.key() == "other_bits";
          for (const BitField& b : f.bits) known = known || it.key() == b.name;
          if (!known) return Fail(Join(path, it.key()), "unknown flag");
        }
        for (const BitField& b : f.bits) {
          std::string sub = Join(path, b.name);
          if (!j.contains(b.name)) return Fail(sub, "missing");
          const OrderedJson& bj = j[b.name];
          uint32_t fieldMask = ((1u << b.width) - 1u) << b.shift;
          covered |= fieldMask;
          if (b.width == 1) {
            if (!bj.is_boolean()) return Fail(sub, "expected true or false");
            if (bj.get<bool>()) word |= fieldMask;
          } else {
            if (!Named(bj, sub, b.names, 0, (1 << b.width) - 1, v)) return false;
            word |= static_cast<uint32_t>(v) << b.shift;
          }
        }
        std::string sub = Join(path, "other_bits");
        if (!j.contains("other_bits")) return Fail(sub, "missing");
        if (!Integer(j["other_bits"], sub, 0, 0xFFFFFFFFLL, v)) return false;
        if (static_cast<uint32_t>(v) & covered)
          return Fail(sub, "names bits that have their own flag");
        PutU32(p, 0, word | static_cast<uint32_t>(v));
        return true;
      }
      case Kind::Array: {
        const ArraySpec& a = *f.array;
        if (!j.is_array() || j.size() != static_cast<size_t>(a.count))
          return Fail(path, "expected a list of " + std::to_string(a.count) + " entries");
        for (int i = 0; i < a.count; ++i) {
          const OrderedJson& e = j[static_cast<size_t>(i)];
          uint8_t* ep = p + a.stride * static_cast<size_t>(i);
          std::string sub = path + "[" + std::to_string(i) + "]";
          if (e.is_null() && a.nullWhenZero) {
            std::memset(ep, 0, a.stride);
            continue;
          }
          if (!Fields(e, sub, a.fields, ep, a.labels != nullptr)) return false;
        }
        return true;
      }
    }
    return Fail(path, "unsupported field");
  }
};

OrderedJson ExportOne(const uint8_t* base, const Field& f);

OrderedJson ExportFields(const uint8_t* base, std::span<const Field> fields) {
  OrderedJson o = OrderedJson::object();
  for (const Field& f : fields) o[f.name] = ExportOne(base, f);
  return o;
}

OrderedJson NamedToJson(const NameTable* names, long long v) {
  if (names && v >= 0 && v < names->count && names->names[v] && names->Find(names->names[v]) == v)
    return std::string(names->names[v]);
  return v;
}

OrderedJson ExportOne(const uint8_t* base, const Field& f) {
  const uint8_t* p = base + f.off;
  switch (f.kind) {
    case Kind::U8:
      return GetU8(p, 0);
    case Kind::U16:
      return GetU16(p, 0);
    case Kind::U32:
      return GetU32(p, 0);
    case Kind::I8:
      return static_cast<int8_t>(GetU8(p, 0));
    case Kind::I16:
      return static_cast<int16_t>(GetU16(p, 0));
    case Kind::I32:
      return GetI32(p, 0);
    case Kind::Hex32:
      return Hex32Text(GetU32(p, 0));
    case Kind::F32: {
      float v = GetF32(p, 0);
      if (v == v && v - v == 0.0f) return static_cast<double>(v);  // finite
      OrderedJson o = OrderedJson::object();
      o["bits"] = Hex32Text(GetU32(p, 0));
      return o;
    }
    case Kind::Gpio: {
      uint8_t n = GetU8(p, 0);
      if (n == 0xFF) return "UNUSED";
      char buf[16];
      std::snprintf(buf, sizeof buf, "GPIO%02u", static_cast<unsigned>(n));
      return std::string(buf);
    }
    case Kind::GpioMask: {
      OrderedJson a = OrderedJson::array();
      uint32_t m = GetU32(p, 0);
      for (unsigned n = 0; n < 32; ++n)
        if (m & (1u << n)) {
          char buf[16];
          std::snprintf(buf, sizeof buf, "GPIO%02u", n);
          a.push_back(std::string(buf));
        }
      return a;
    }
    case Kind::Bytes:
      return HexBytes(p, f.len);
    case Kind::Text:
      return TextToJson(p, f.len);
    case Kind::BtAddress: {
      uint8_t msbFirst[6];
      for (int k = 0; k < 6; ++k) msbFirst[k] = p[5 - k];
      return "0x" + HexBytes(msbFirst, 6);
    }
    case Kind::NamedU8:
      return NamedToJson(f.names, GetU8(p, 0));
    case Kind::NamedI32:
      return NamedToJson(f.names, GetI32(p, 0));
    case Kind::Flags: {
      OrderedJson o = OrderedJson::object();
      uint32_t word = GetU32(p, 0), covered = 0;
      for (const BitField& b : f.bits) {
        uint32_t fieldMask = ((1u << b.width) - 1u) << b.shift;
        covered |= fieldMask;
        uint32_t v = (word & fieldMask) >> b.shift;
        if (b.width == 1)
          o[b.name] = v != 0;
        else
          o[b.name] = NamedToJson(b.names, v);
      }
      o["other_bits"] = Hex32Text(word & ~covered);
      return o;
    }
    case Kind::Array: {
      const ArraySpec& a = *f.array;
      OrderedJson arr = OrderedJson::array();
      for (int i = 0; i < a.count; ++i) {
        const uint8_t* ep = p + a.stride * static_cast<size_t>(i);
        bool zero = true;
        for (size_t k = 0; k < a.stride && zero; ++k) zero = ep[k] == 0;
        if (zero && a.nullWhenZero) {
          arr.push_back(nullptr);
          continue;
        }
        OrderedJson e = OrderedJson::object();
        if (a.labels) e["event"] = NamedToJson(a.labels, a.labelBase + i);
        for (const Field& sf : a.fields) e[sf.name] = ExportOne(ep, sf);
        arr.push_back(std::move(e));
      }
      return arr;
    }
  }
  return nullptr;
}

}  // namespace

bool ExportConfigJson(const std::vector<uint8_t>& file, OrderedJson& out, std::string& error) {
  if (file.size() < kFixedSize) {
    error = "The file has " + std::to_string(file.size()) + " bytes, fewer than the " +
            std::to_string(kFixedSize) +
            " every configuration file has; it is not a complete configuration file.";
    return false;
  }
  out = OrderedJson::object();
  out["format"] = kConfigJsonFormat;
  out["record"] = ExportFields(file.data(), RecordFields());
  for (const Field& f : FileFields()) out[f.name] = ExportOne(file.data(), f);
  out["bin_path"] = TextToJson(file.data() + kFixedSize, file.size() - kFixedSize);
  // A bin path is not zero-padded: a clean text is the whole tail, and anything
  // else (a NUL inside it, bytes that are not UTF-8) is carried as hex.
  const auto& bp = out["bin_path"];
  if (bp.is_string() && bp.get<std::string>().size() != file.size() - kFixedSize) {
    OrderedJson o = OrderedJson::object();
    o["hex"] = HexBytes(file.data() + kFixedSize, file.size() - kFixedSize);
    out["bin_path"] = o;
  }
  return true;
}

bool ImportConfigJson(const OrderedJson& in, std::vector<uint8_t>& file, std::string& error) {
  Importer im;
  if (!in.is_object()) {
    error = "the document is not a JSON object";
    return false;
  }
  if (!in.contains("format") || in["format"] != kConfigJsonFormat) {
    error = std::string("\"format\": expected \"") + kConfigJsonFormat + "\"";
    return false;
  }
  for (auto it = in.begin(); it != in.end(); ++it) {
    bool known = it.key() == "format" || it.key() == "record" || it.key() == "bin_path";
    for (const Field& f : FileFields()) known = known || it.key() == f.name;
    if (!known) {
      error = "\"" + it.key() + "\": unknown member";
      return false;
    }
  }
  std::vector<uint8_t> out(kFixedSize, 0);
  bool ok = in.contains("record")
                ? im.Fields(in["record"], "record", RecordFields(), out.data(), false)
                : im.Fail("record", "missing");
  for (const Field& f : FileFields()) {
    if (!ok) break;
    ok = in.contains(f.name) ? im.One(in[f.name], f.name, f, out.data())
                             : im.Fail(f.name, "missing");
  }
  if (ok) {
    const OrderedJson* bp = in.contains("bin_path") ? &in["bin_path"] : nullptr;
    if (!bp) {
      ok = im.Fail("bin_path", "missing");
    } else if (bp->is_string()) {
      const std::string s = bp->get<std::string>();
      out.insert(out.end(), s.begin(), s.end());
    } else if (bp->is_object() && bp->size() == 1 && bp->contains("hex") &&
               (*bp)["hex"].is_string()) {
      std::vector<uint8_t> bytes;
      if (ParseHexBytes((*bp)["hex"].get<std::string>(), bytes))
        out.insert(out.end(), bytes.begin(), bytes.end());
      else
        ok = im.Fail("bin_path.hex", "expected hex digits");
    } else {
      ok = im.Fail("bin_path", "expected a text or {\"hex\": \"...\"}");
    }
  }
  if (!ok) {
    error = im.error;
    return false;
  }
  file = std::move(out);
  return true;
}

}  // namespace tessera
