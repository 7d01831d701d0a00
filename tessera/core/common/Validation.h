#pragma once
// Field validation as the dialogs' data exchange does it: parse the control's text,
// check its range or length, and on failure give the shared message (shown in Chinese
// whatever the interface language). Fields are checked in control order and the
// first failure stops the read-back.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace tessera {

namespace msg {
inline constexpr const char* kNotInteger = "请键入一个整数。";
inline constexpr const char* kNotNumber = "请键入一个数。";
inline constexpr const char* kIntRange = "“请填入一个在%1和%2之间的整数。”";
inline constexpr const char* kRealRange = "“请填入一个在%1和%2之间的数字。”";
inline constexpr const char* kNotPositive = "“请填入一个正整数。”";
inline constexpr const char* kByteRange = "“请填入一个在0和255之间的整数。”";
inline constexpr const char* kTooLong = "“请填入不多于%1个的字符。”";
}  // namespace msg

// Replaces %1 and %2 in a shared message.
std::string FormatMessage(const char* pattern, const std::string& a1, const std::string& a2 = {});
std::string IntRangeMessage(long long lo, long long hi);
std::string RealRangeMessage(double lo, double hi);
std::string TooLongMessage(int maxChars);

enum class FieldKind {
  Int,     // signed int; "请键入一个整数。" when it does not parse
  UInt,    // unsigned; anything but a non-negative integer gives "“请填入一个正整数。”"
  Byte,    // 0..255; anything else, non-numbers included, gives "“请填入一个在0和255之间的整数。”"
  Short,   // signed 16-bit
  Float,   // single precision; "请键入一个数。" when it does not parse
  Text,    // a string with an optional length limit
};

// One control's exchange rule, declared once per page field.
struct FieldSpec {
  int id = 0;                 // the control id, also the widget's objectName
  FieldKind kind = FieldKind::Int;
  bool ranged = false;        // whether [min, max] is checked (after parsing)
  double min = 0, max = 0;
  int maxChars = 0;           // Text only; 0 = no limit (counted in bytes)
};

// Result of reading one control's text back.
struct FieldValue {
  long long i = 0;  // integer kinds
  double f = 0;     // Float
  std::string text; // Text
};

// Parses and checks text by the field's rule. Returns the failure message, or nothing on success
// with the parsed value in out.
std::optional<std::string> ReadField(const FieldSpec& field, std::string_view text, FieldValue& out);

// The first field that failed a read-back: its control (which gets the focus) and
// the message the user sees.
struct FieldError {
  int controlId = 0;
  std::string message;
  bool operator==(const FieldError&) const = default;
};

// Reads the fields in the order given: each good value is handed to store at once,
// and the first failure stops the read (values stored before it keep their new
// contents, as the dialogs' data exchange does).
std::optional<FieldError> ReadFields(const FieldSpec* fields, size_t count,
                                     const std::function<std::string(int controlId)>& controlText,
                                     const std::function<void(int controlId, const FieldValue&)>& store);

// The text a control currently holds, by control id.
using ControlTextFn = std::function<std::string(int controlId)>;

// Reads fields in control order. Each field that passes is handed to store (its index
// in fields and its value) at once, so values read before a failure keep their new
// contents; the first failure stops the read and is returned.
std::optional<FieldError> ReadFields(std::span<const FieldSpec> fields, const ControlTextFn& controlText,
                                     const std::function<void(size_t index, const FieldValue&)>& store);

// Strict parse helpers: optional leading/trailing blanks, an optional sign, digits;
// anything else fails. Values that overflow long long fail too.
std::optional<long long> ParseInteger(std::string_view text);
std::optional<double> ParseNumber(std::string_view text);

}  // namespace tessera
