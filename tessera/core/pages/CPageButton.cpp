#include "tessera/core/pages/CPageButton.h"

#include "tessera/core/common/ByteIo.h"
#include "tessera/core/config/EventNames.h"

namespace tessera {

namespace {
constexpr uint32_t kKeyGpioBits = 0x3FFFFF;  // GPIO0..GPIO21

// Device state -> bits 22..24 of the key word: ALL acts in every phone state.
uint32_t StateBits(int32_t state) {
  switch (state) {
    case 0: return 7u << 22;
    case 1: return 1u << 22;
    case 2: return 1u << 23;
    case 3: return 1u << 24;
    default: return 0;
  }
}

// Press type -> its single bit; the firmware's bit order does not follow the indexes.
uint32_t TypeBit(int32_t type) {
  switch (type) {
    case 0: return 1u << 31;  // click
    case 1: return 1u << 30;  // double click
    case 2: return 1u << 29;  // long press
    case 3: return 1u << 25;  // long press released
    case 4: return 1u << 26;  // very long press
    case 5: return 1u << 27;  // repeat
    default: return 0;
  }
}

KeyEventEntry Entry(int32_t event, int gpio, int32_t type, int32_t state) {
  KeyEventEntry e;
  e.event = event;
  e.gpioMask = 1u << gpio;
  e.type = type;
  e.state = state;
  return e;
}
}  // namespace

std::optional<FieldError> CPageButton::ReadBack(const ControlTextFn& controlText) {
  return ControlSet(*this, ControlDecls()).ReadBackTexts(controlText);
}

std::string CPageButton::ControlText(int controlId) const {
  return decl::ShownText(ControlDecls(), *this, controlId);
}

void CPageButton::OnInitialize() {
  // Five keys: GPIO18 multi-function, GPIO2/3 next/previous (long: seek), GPIO4/5 volume.
  static const std::array<KeyEventEntry, 13> kDefaults = {{
      Entry(1, 18, 0, 1),   // play/pause, click, A2DP
      Entry(2, 2, 0, 1),    // next song
      Entry(3, 3, 0, 1),    // previous song
      Entry(4, 3, 2, 1),    // rewind, long press
      Entry(5, 2, 2, 1),    // forward, long press
      Entry(6, 4, 0, 0),    // volume up, click, all states
      Entry(7, 5, 0, 0),    // volume down
      Entry(6, 4, 5, 0),    // volume up, repeat
      Entry(7, 5, 5, 0),    // volume down, repeat
      Entry(9, 18, 2, 0),   // pairing, long press
      Entry(10, 18, 4, 0),  // power down, very long press
      Entry(11, 18, 0, 2),  // answer/hang up, click, HFP
      Entry(12, 18, 2, 2),  // reject, long press, HFP
  }};
  keyTable = {};
  for (size_t i = 0; i < kDefaults.size(); ++i) keyTable[i] = kDefaults[i];
  initialized_ = true;
}

const std::array<const char*, CPageButton::kColumns>& CPageButton::ColumnTitles() {
  static const std::array<const char*, kColumns> kTitles = {"按键事件", "对应GPIO", "按键类型", "按键状态"};
  return kTitles;
}

const std::array<int, CPageButton::kColumns>& CPageButton::ColumnWidths() {
  static const std::array<int, kColumns> kWidths = {75, 120, 60, 60};
  return kWidths;
}

std::vector<std::string> CPageButton::EmptyRowTexts() { return {"Invalid", "GPIO0", "单击", "A2DP"}; }

std::vector<std::string> CPageButton::RowTexts(int row) const {
  if (row < 0 || row >= kRows) return {};
  const KeyEventEntry& e = keyTable[static_cast<size_t>(row)];
  if (e.event == 0) return EmptyRowTexts();
  std::string gpios;
  for (int n = 0; n <= 21; ++n)
    if (e.gpioMask & (1u << n)) gpios += " GPIO" + std::to_string(n);
  return {names::NameAt(names::kKeyEventList, e.event), gpios, names::NameAt(names::kKeyTypeList, e.type),
          names::NameAt(names::kKeyStateList, e.state)};
}

std::optional<CKeyEventDlg> CPageButton::BeginEdit(int row) {
  if (row < 0 || row >= kRows) return std::nullopt;
  if (host_) availableGpioMask = host_->AvailableGpioMask();
  return CKeyEventDlg(keyTable[static_cast<size_t>(row)], availableGpioMask);
}

bool CPageButton::CommitEdit(int row, const CKeyEventDlg& dlg) {
  if (row < 0 || row >= kRows) return false;
  keyTable[static_cast<size_t>(row)] = dlg.Ok();
  return true;
}

void CPageButton::DropUnavailableKeys(uint32_t mask) {
  for (KeyEventEntry& e : keyTable)
    if ((e.gpioMask & mask) == 0) e = KeyEventEntry{};
}

void CPageButton::CollectInto(ConfigRecord& rec) const {
  uint8_t* r = rec.data();
  const uint32_t longTicks = longPressMs / 10;
  PutU16(r, rec::key_click_time, clickMs / 10);
  PutU16(r, rec::key_repeat_time, repeatMs / 10);
  PutU16(r, rec::key_long_press_time, longTicks);
  // The firmware times the extra-long press from the end of the long press.
  PutU16(r, rec::key_extra_long_delta, (extraLongPressMs / 10 - longTicks) & 0xFFFF);
  PutU16(r, rec::key_double_click_gap, doubleClickMs / 10);

  // Several assignments of one event share its word; an event the word table has no
  // place for (a damaged file) is skipped rather than written over the equalizer data.
  std::array<uint32_t, rec::key_events + 1> words{};
  for (const KeyEventEntry& e : keyTable) {
    if (e.event <= 0 || e.event > rec::key_events) continue;
    uint32_t& w = words[static_cast<size_t>(e.event)];
    w |= e.gpioMask & kKeyGpioBits;
    w |= StateBits(e.state);
    w |= TypeBit(e.type);
  }
  for (int ev = 1; ev <= rec::key_events; ++ev) PutU32(r, rec::KeyEventOffset(ev), words[static_cast<size_t>(ev)]);
}

void CPageButton::RestoreFrom(const ConfigRecord& rec) {
  const uint8_t* r = rec.data();
  const uint32_t longTicks = GetU16(r, rec::key_long_press_time);
  clickMs = GetU16(r, rec::key_click_time) * 10u;
  longPressMs = longTicks * 10u;
  doubleClickMs = GetU16(r, rec::key_double_click_gap) * 10u;
  // The delta was stored modulo 2^16, so the sum is taken the same way: an extra-long
  // press set shorter than the long press comes back as it was written.
  extraLongPressMs = ((longTicks + GetU16(r, rec::key_extra_long_delta)) & 0xFFFF) * 10u;
  repeatMs = GetU16(r, rec::key_repeat_time) * 10u;
}

const ControlTable<CPageButton>& CPageButton::ControlDecls() {
  using P = CPageButton;
  using namespace decl;
  using K = FieldKind;
  // The firmware keeps the timings in 10 ms ticks in 16 bits; the page takes milliseconds.
  static const ControlTable<P> kTable = {
      Edit<P, &P::clickMs>(Range(kClickId, K::UInt, 0, 65535)),
      Edit<P, &P::repeatMs>(Range(kRepeatId, K::UInt, 0, 65535)),
      Edit<P, &P::longPressMs>(Range(kLongPressId, K::UInt, 0, 65535)),
      Edit<P, &P::extraLongPressMs>(Range(kExtraLongId, K::UInt, 0, 65535)),
      Edit<P, &P::doubleClickMs>(Range(kDoubleClickId, K::UInt, 0, 65535)),
      List<P>(kListId, kRows, [](const P& p, int row) { return p.RowTexts(row); }),
  };
  return kTable;
}

}  // namespace tessera
