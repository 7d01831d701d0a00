#include "tessera/core/pages/CPageLED.h"

#include <cstdio>

#include "tessera/core/common/ByteIo.h"
#include "tessera/core/common/Gpio.h"
#include "tessera/core/config/EventNames.h"

namespace tessera {

namespace {
constexpr const char* kUnusedText = "UNUSED";

// GPIO number a selector text stands for; "UNUSED" is 0xFF and an empty text 0, as the
// firmware expects from the record.
int GpioFromSelectorText(const std::string& text) {
  return text == kUnusedText ? CPageLED::kUnused : GpioNumberFromText(text);
}

uint32_t GpioBit(int gpio) { return (gpio >= 0 && gpio <= kMaxGpio) ? (1u << gpio) : 0u; }

LedEventEntry Pattern(int32_t event, int32_t led, uint32_t on, uint32_t off) {
  LedEventEntry e;
  e.event = event;
  e.led = led;
  e.onMs = on;
  e.offMs = off;
  e.flashCount = 1;
  e.timeoutMs = -1;
  return e;
}

std::string Decimal(long long v) { return std::to_string(v); }
}  // namespace

void CPageLED::OnInitialize() {
  ledTable = {};
  led1Gpio = 20;
  led0Gpio = 11;
  lowPowerLedGpio = 11;
  for (int i = 0; i < kRows; ++i) {
    ledTable[static_cast<size_t>(i)].flashCount = 1;
    ledTable[static_cast<size_t>(i)].timeoutMs = -1;
  }
  ledTable[0] = Pattern(1, 1, 100, 0);       // reconnecting: LED1 steady
  ledTable[1] = Pattern(3, 1, 300, 300);     // idle, nothing paired
  ledTable[2] = Pattern(2, 1, 300, 300);     // pairing
  ledTable[3] = Pattern(4, 3, 1000, 1000);   // connected: the two LEDs alternate
  ledTable[4] = Pattern(10, 0, 100, 0);      // low battery: LED0
  initialized_ = true;
}

Selector* CPageLED::SelectorFor(int controlId) {
  switch (controlId) {
    case kLowPowerLedId: return &lowPowerLedSel;
    case kLed0Id: return &led0Sel;
    case kLed1Id: return &led1Sel;
    default: return nullptr;
  }
}

const Selector* CPageLED::SelectorFor(int controlId) const {
  switch (controlId) {
    case kLowPowerLedId: return &lowPowerLedSel;
    case kLed0Id: return &led0Sel;
    case kLed1Id: return &led1Sel;
    default: return nullptr;
  }
}

int* CPageLED::MemberFor(int controlId) {
  switch (controlId) {
    case kLowPowerLedId: return &lowPowerLedGpio;
    case kLed0Id: return &led0Gpio;
    case kLed1Id: return &led1Gpio;
    default: return nullptr;
  }
}

void CPageLED::TakeSelectorText(int controlId) {
  Selector* sel = SelectorFor(controlId);
  int* member = MemberFor(controlId);
  if (!sel || !member) return;
  *member = GpioFromSelectorText(sel->Text());
  if (host_) host_->RefreshGpioAvailability();
}

void CPageLED::OnSelectorChanged(int controlId, int index) {
  Selector* sel = SelectorFor(controlId);
  if (!sel) return;
  sel->Select(index);
  TakeSelectorText(controlId);
}

void CPageLED::ReReadSelectors() {
  for (int id : {kLowPowerLedId, kLed0Id, kLed1Id}) TakeSelectorText(id);
}

uint32_t CPageLED::AllocateGpios(uint32_t mask) {
  for (int id : {kLowPowerLedId, kLed0Id, kLed1Id}) {
    Selector& sel = *SelectorFor(id);
    int& member = *MemberFor(id);
    FillGpioCombo(sel, mask);
    sel.Add(kUnusedText);
    sel.Select(0);
    if (GpioBit(member) & mask) {
      sel.Select(sel.FindPrefix(GpioText(member)));
    } else if (member == kUnused) {
      sel.Select(sel.Count() - 1);
    } else {
      // The pin is gone: fall back to the first choice. With no pins at all that is
      // "UNUSED", which the member must then say too.
      member = GpioFromSelectorText(sel.Text());
    }
  }
  mask &= ~GpioBit(led1Gpio);
  mask &= ~GpioBit(lowPowerLedGpio);
  if (host_) host_->SetAvailableGpioMask(mask);
  return mask;
}

const std::array<const char*, CPageLED::kColumns>& CPageLED::ColumnTitles() {
  static const std::array<const char*, kColumns> kTitles = {"EVENT",  "INDEX",     "ON-TIME", "OFF-TIME",
                                                            "REPEAT", "NUM-FLASH", "TIMEOUT"};
  return kTitles;
}

const std::array<int, CPageLED::kColumns>& CPageLED::ColumnWidths() {
  static const std::array<int, kColumns> kWidths = {120, 60, 65, 60, 60, 80, 65};
  return kWidths;
}

std::vector<std::string> CPageLED::EmptyRowTexts() { return {"Invalid", "LED0", "100", "100", "0", "1", "-1"}; }

std::vector<std::string> CPageLED::RowTexts(int row) const {
  if (row < 0 || row >= kRows) return {};
  const LedEventEntry& e = ledTable[static_cast<size_t>(row)];
  if (e.event == 0) return EmptyRowTexts();
  // Times are shown as the signed values the list has always shown ("%d").
  return {names::NameAt(names::kLedEventList, e.event), names::NameAt(names::kLedOutputList, e.led),
          Decimal(static_cast<int32_t>(e.onMs)), Decimal(static_cast<int32_t>(e.offMs)), Decimal(e.repeatS),
          Decimal(e.flashCount), Decimal(e.timeoutMs)};
}

std::optional<CLedEventDlg> CPageLED::BeginEdit(int row) const {
  if (row < 0 || row >= kRows) return std::nullopt;
  return CLedEventDlg(ledTable[static_cast<size_t>(row)]);
}

bool CPageLED::CommitEdit(int row, const LedEventEntry& entry) {
  if (row < 0 || row >= kRows) return false;
  ledTable[static_cast<size_t>(row)] = entry;
  return true;
}

void CPageLED::CollectInto(ConfigRecord& rec) const {
  uint8_t* r = rec.data();
  // The record takes the pins from the selector texts, not from the members.
  const int led0 = GpioFromSelectorText(led0Sel.Text());
  const int led1 = GpioFromSelectorText(led1Sel.Text());
  PutU8(r, rec::led0_gpio, static_cast<uint32_t>(led0));
  PutU8(r, rec::led1_gpio, static_cast<uint32_t>(led1));
  PutU8(r, rec::low_power_led_gpio, static_cast<uint32_t>(GpioFromSelectorText(lowPowerLedSel.Text())));
  // The firmware drives its status indication on the first LED that exists.
  const int status = (led0 & 0xFF) != kUnused ? led0 : (led1 & 0xFF) != kUnused ? led1 : kUnused;
  PutU8(r, rec::status_led_gpio, static_cast<uint32_t>(status));

  for (int ev = 1; ev <= rec::led_events; ++ev)
    for (size_t k = 0; k < rec::led_pattern_size; ++k) r[rec::LedPatternOffset(ev) + k] = 0;
  // One pattern per event, the last entry of an event wins; an event beyond the
  // pattern table (a damaged file) is skipped rather than written over the key timings.
  for (const LedEventEntry& e : ledTable) {
    if (e.event <= 0 || e.event > rec::led_events) continue;
    const size_t o = rec::LedPatternOffset(e.event);
    PutU8(r, o + rec::pattern_led, static_cast<uint32_t>(e.led));
    PutU16(r, o + rec::pattern_on_ms, e.onMs);
    PutU16(r, o + rec::pattern_off_ms, e.offMs);
    PutU8(r, o + rec::pattern_repeat_s, e.repeatS);
    PutU8(r, o + rec::pattern_flash_count, e.flashCount);
    PutI32(r, o + rec::pattern_timeout_ms, e.timeoutMs);
  }
}

void CPageLED::RestoreFrom(const ConfigRecord& rec) {
  const uint8_t* r = rec.data();
  led0Gpio = GetU8(r, rec::led0_gpio);
  led1Gpio = GetU8(r, rec::led1_gpio);
  lowPowerLedGpio = GetU8(r, rec::low_power_led_gpio);
  // The record keeps the polarity switch as a System flag bit (the byte beside the
  // status LED is only written).
  polarityReversed = (GetU32(r, rec::sys_flags) >> sysbit::kLedPolarity) & 1u ? 1 : 0;
  for (int id : {kLowPowerLedId, kLed0Id, kLed1Id}) {
    const int gpio = *MemberFor(id);
    // Matched against the list's own "GPIO%02d" form: "GPIO1" as a prefix would pick
    // GPIO10 and the re-read after the load would move the LED to that pin.
    SelectorFor(id)->SelectOrAdd(gpio == kUnused ? std::string(kUnusedText) : GpioText(gpio));
  }
}

const ControlTable<CPageLED>& CPageLED::ControlDecls() {
  using P = CPageLED;
  using namespace decl;
  static const ControlTable<P> kTable = {
      Combo<P, &P::lowPowerLedSel>(kLowPowerLedId).Then([](P& p) {
        p.OnSelectorChanged(kLowPowerLedId, p.lowPowerLedSel.selected);
      }),
      Combo<P, &P::led0Sel>(kLed0Id).Then([](P& p) { p.OnSelectorChanged(kLed0Id, p.led0Sel.selected); }),
      Combo<P, &P::led1Sel>(kLed1Id).Then([](P& p) { p.OnSelectorChanged(kLed1Id, p.led1Sel.selected); }),
      Check<P, &P::polarityReversed>(kPolarityId),
      List<P>(kListId, kRows, [](const P& p, int row) { return p.RowTexts(row); }),
  };
  return kTable;
}

}  // namespace tessera
