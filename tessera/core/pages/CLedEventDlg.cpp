#include "tessera/core/pages/CLedEventDlg.h"

#include "tessera/core/config/EventNames.h"

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

std::optional<FieldError> CLedEventDlg::ReadBack(const ControlTextFn& controlText) {
  return Controls().ReadBackTexts(controlText);
}

std::string CLedEventDlg::ControlText(int controlId) const {
  return decl::ShownText(ControlDecls(), *this, controlId);
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
  using D = CLedEventDlg;
  using namespace decl;
  using K = FieldKind;
  static const ControlTable<D> kTable = {
      Combo<D, &D::event>(kEventId),
      Combo<D, &D::led>(kLedId),
      Edit<D, &D::onMs>(Field(kOnId, K::UInt)),
      Edit<D, &D::offMs>(Field(kOffId, K::UInt)),
      Edit<D, &D::repeatS>(Field(kRepeatId, K::Byte)),
      Edit<D, &D::flashCount>(Range(kFlashId, K::Byte, 1, 255)),
      Edit<D, &D::timeoutMs>(Field(kTimeoutId, K::Int)),
  };
  return kTable;
}

}  // namespace tessera
