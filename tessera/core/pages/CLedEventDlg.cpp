#include "pages/CLedEventDlg.h"

#include "pages/EventNames.h"

namespace tessera {

CLedEventDlg::CLedEventDlg(const LedEventEntry& entry)
    : event(names::NameList(names::kLedEventDialog)),
      led(names::NameList(names::kLedOutputDialog)),
      onMs(entry.onMs),
      offMs(entry.offMs),
      repeatS(entry.repeatS),
      flashCount(entry.flashCount),
      timeoutMs(entry.timeoutMs) {
  event.Select(entry.event);
  led.Select(entry.led);
}

const std::array<FieldSpec, 5>& CLedEventDlg::Fields() {
  static const std::array<FieldSpec, 5> kFields = {{
      {kOnId, FieldKind::UInt},
      {kOffId, FieldKind::UInt},
      {kRepeatId, FieldKind::Byte},
      {kFlashId, FieldKind::Byte, true, 1, 255},
      {kTimeoutId, FieldKind::Int},
  }};
  return kFields;
}

std::optional<FieldError> CLedEventDlg::ReadBack(const ControlTextFn& controlText) {
  const auto& fields = Fields();
  return ReadFields(fields, controlText, [&](size_t i, const FieldValue& v) {
    switch (fields[i].id) {
      case kOnId: onMs = static_cast<unsigned int>(v.i); break;
      case kOffId: offMs = static_cast<unsigned int>(v.i); break;
      case kRepeatId: repeatS = static_cast<uint8_t>(v.i); break;
      case kFlashId: flashCount = static_cast<uint8_t>(v.i); break;
      case kTimeoutId: timeoutMs = static_cast<int>(v.i); break;
      default: break;
    }
  });
}

std::string CLedEventDlg::ControlText(int controlId) const {
  switch (controlId) {
    case kOnId: return std::to_string(onMs);
    case kOffId: return std::to_string(offMs);
    case kRepeatId: return std::to_string(repeatS);
    case kFlashId: return std::to_string(flashCount);
    case kTimeoutId: return std::to_string(timeoutMs);
    case kEventId: return event.Text();
    case kLedId: return led.Text();
    default: return {};
  }
}

LedEventEntry CLedEventDlg::BuildEntry() const {
  LedEventEntry e;
  e.event = event.selected;
  e.led = led.selected;
  e.onMs = onMs;
  e.offMs = offMs;
  e.repeatS = repeatS;
  e.flashCount = flashCount;
  e.timeoutMs = timeoutMs;
  // An LED that is neither on nor off would never change; give it a visible blink.
  if (e.onMs == 0 && e.offMs == 0) e.offMs = 100;
  return e;
}

std::optional<FieldError> CLedEventDlg::Ok(const ControlTextFn& controlText, LedEventEntry& out) {
  if (auto err = ReadBack(controlText)) return err;
  out = BuildEntry();
  return std::nullopt;
}

const ControlTable<CLedEventDlg>& CLedEventDlg::ControlDecls() {
  static const ControlTable<CLedEventDlg> kTable = {};
  return kTable;
}

}  // namespace tessera
