#include "tessera/core/common/Validation.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace tessera {

namespace {
std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}
std::string FormatReal(double v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*g", std::numeric_limits<float>::digits10, v);
  return buf;
}
}  // namespace

std::string FormatMessage(const char* pattern, const std::string& a1, const std::string& a2) {
  std::string out;
  for (const char* p = pattern; *p; ++p) {
    if (p[0] == '%' && (p[1] == '1' || p[1] == '2')) {
      out += p[1] == '1' ? a1 : a2;
      ++p;
    } else {
      out += *p;
    }
  }
  return out;
}

std::string IntRangeMessage(long long lo, long long hi) {
  return FormatMessage(msg::kIntRange, std::to_string(lo), std::to_string(hi));
}
std::string RealRangeMessage(double lo, double hi) {
  return FormatMessage(msg::kRealRange, FormatReal(lo), FormatReal(hi));
}
std::string TooLongMessage(int maxChars) { return FormatMessage(msg::kTooLong, std::to_string(maxChars)); }

std::optional<long long> ParseInteger(std::string_view text) {
  text = Trim(text);
  if (text.empty()) return std::nullopt;
  bool neg = false;
  if (text.front() == '+' || text.front() == '-') {
    neg = text.front() == '-';
    text.remove_prefix(1);
  }
  if (text.empty()) return std::nullopt;
  unsigned long long v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    if (v > (std::numeric_limits<unsigned long long>::max() - 9) / 10) return std::nullopt;
    v = v * 10 + static_cast<unsigned>(c - '0');
  }
  if (v > static_cast<unsigned long long>(std::numeric_limits<long long>::max())) return std::nullopt;
  long long s = static_cast<long long>(v);
  return neg ? -s : s;
}

std::optional<double> ParseNumber(std::string_view text) {
  text = Trim(text);
  if (text.empty()) return std::nullopt;
  std::string s(text);
  char* end = nullptr;
  errno = 0;
  double v = std::strtod(s.c_str(), &end);
  if (end != s.c_str() + s.size() || errno == ERANGE || !std::isfinite(v)) return std::nullopt;
  return v;
}

std::optional<std::string> ReadField(const FieldSpec& field, std::string_view text, FieldValue& out) {
  switch (field.kind) {
    case FieldKind::Text: {
      if (field.maxChars > 0 && text.size() > static_cast<size_t>(field.maxChars))
        return TooLongMessage(field.maxChars);
      out.text = std::string(text);
      return std::nullopt;
    }
    case FieldKind::Float: {
      auto v = ParseNumber(text);
      if (!v) return std::string(msg::kNotNumber);
      if (*v > std::numeric_limits<float>::max() || *v < -std::numeric_limits<float>::max())
        return std::string(msg::kNotNumber);
      float f = static_cast<float>(*v);
      if (field.ranged && (f < static_cast<float>(field.min) || f > static_cast<float>(field.max)))
        return RealRangeMessage(field.min, field.max);
      out.f = f;
      return std::nullopt;
    }
    default:
      break;
  }
  auto v = ParseInteger(text);
  if (!v) {
    // The framework reports an unparsable unsigned or byte field with the same text
    // as an out-of-range one.
    if (field.kind == FieldKind::UInt) return std::string(msg::kNotPositive);
    if (field.kind == FieldKind::Byte) return std::string(msg::kByteRange);
    return std::string(msg::kNotInteger);
  }
  long long x = *v;
  switch (field.kind) {
    case FieldKind::UInt:
      if (x < 0) return std::string(msg::kNotPositive);
      if (x > std::numeric_limits<uint32_t>::max()) return std::string(msg::kNotPositive);
      break;
    case FieldKind::Byte:
      if (x < 0 || x > 255) return std::string(msg::kByteRange);
      break;
    case FieldKind::Short:
      if (x < std::numeric_limits<int16_t>::min() || x > std::numeric_limits<int16_t>::max())
        return IntRangeMessage(std::numeric_limits<int16_t>::min(), std::numeric_limits<int16_t>::max());
      break;
    case FieldKind::Int:
      if (x < std::numeric_limits<int32_t>::min() || x > std::numeric_limits<int32_t>::max())
        return std::string(msg::kNotInteger);
      break;
    default:
      break;
  }
  if (field.ranged && (x < static_cast<long long>(field.min) || x > static_cast<long long>(field.max)))
    return IntRangeMessage(static_cast<long long>(field.min), static_cast<long long>(field.max));
  out.i = x;
  return std::nullopt;
}

std::optional<FieldError> ReadFields(const FieldSpec* fields, size_t count,
                                     const std::function<std::string(int controlId)>& controlText,
                                     const std::function<void(int controlId, const FieldValue&)>& store) {
  for (size_t k = 0; k < count; ++k) {
    FieldValue v;
    if (auto err = ReadField(fields[k], controlText(fields[k].id), v)) return FieldError{fields[k].id, *err};
    store(fields[k].id, v);
  }
  return std::nullopt;
}

std::optional<FieldError> ReadFields(std::span<const FieldSpec> fields, const ControlTextFn& controlText,
                                     const std::function<void(size_t index, const FieldValue&)>& store) {
  for (size_t i = 0; i < fields.size(); ++i) {
    FieldValue v;
    if (auto err = ReadField(fields[i], controlText(fields[i].id), v)) return FieldError{fields[i].id, *err};
    store(i, v);
  }
  return std::nullopt;
}

}  // namespace tessera
