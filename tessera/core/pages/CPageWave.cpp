#include "tessera/core/pages/CPageWave.h"

#include <cstdio>
#include <cstring>
#include <limits>

#include "tessera/core/common/ByteIo.h"

namespace tessera {

namespace {
constexpr const char* kTooBig = "File is too big,   no space in flash!";

std::string KbText(int kb) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%dKB", kb);
  return buf;
}

bool SamePath(const SoundEffectEntry& a, const SoundEffectEntry& b) { return a.PathText() == b.PathText(); }

// An entry whose wave data the image carries.
bool IsPlacedWave(const SoundEffectEntry& e) { return e.enabled != 0 && e.event != 0 && e.kind != 1; }

// DTMF control word; each field is cut to its width so a damaged value cannot spill
// into its neighbours.
uint32_t DtmfControl(const SoundEffectEntry& e) {
  uint32_t v = static_cast<uint32_t>(e.f1Gain) & 0xF;
  v = (v << 4) | (static_cast<uint32_t>(e.f2Gain) & 0xF);
  v = (v << 1) | (static_cast<uint32_t>(e.mode) & 1);
  v = (v << 1) | (static_cast<uint32_t>(e.pattern) & 1);
  v = (v << 4) | (e.pause & 0xF);
  v = (v << 4) | (e.duration & 0xF);
  v = (v << 1) | (static_cast<uint32_t>(e.f2Enable) & 1);
  v = (v << 1) | (static_cast<uint32_t>(e.f1Enable) & 1);
  return v;
}
}  // namespace

int CPageWave::WaveFlashKb(long long s) {
  if (s <= 0) return 0;
  const long long blocks = (s + 31) / 32;
  return static_cast<int>(4 * ((34 * blocks) / 4096 + 1));
}

int CPageWave::FreeKb() const { return host_ ? host_->FreePromptSpaceKb(true) : 0; }

void CPageWave::SetRemainingText(int freeKb) {
  remainingSpaceText = KbText(usedPromptSpaceKb > freeKb ? -1 : freeKb - usedPromptSpaceKb);
}

void CPageWave::OnInitialize() {
  soundTable = {};
  usedPromptSpaceKb = 0;
  language.Select(0);
  remainingSpaceText = KbText(FreeKb());
  initialized_ = true;
}

void CPageWave::FlashSizeChanged(int freeKb) {
  if (usedPromptSpaceKb > freeKb) {
    soundTable = {};
    usedPromptSpaceKb = 0;
  }
  remainingSpaceText = KbText(freeKb - usedPromptSpaceKb);
}

bool CPageWave::FitCheck(int r, int searchFrom, bool skipSelf) {
  if (r < 0 || r >= kRows) return false;
  const int freeKb = FreeKb();
  SoundEffectEntry& entry = soundTable[static_cast<size_t>(r)];
  bool shared = false;
  for (int i = searchFrom; i < kRows && !shared; ++i) {
    if (skipSelf && i == r) continue;
    const SoundEffectEntry& other = soundTable[static_cast<size_t>(i)];
    shared = IsPlacedWave(other) && SamePath(other, entry);
  }
  if (!shared) {
    const int kb = WaveFlashKb(entry.fileSize);
    usedPromptSpaceKb += kb;
    // Only an entry that needs space can be refused for the lack of it: after a change
    // to a smaller flash the count may already exceed the free space, and a tone or an
    // empty entry must still be accepted then.
    if (kb > 0 && usedPromptSpaceKb > freeKb) {
      // Taken back as it was: the remaining-space box keeps what it showed.
      usedPromptSpaceKb -= kb;
      entry = SoundEffectEntry{};
      if (host_) host_->Sink().Show(kTooBig);
      return false;
    }
  }
  SetRemainingText(freeKb);
  return true;
}

bool CPageWave::FitCheckAfterEdit(int r) { return FitCheck(r, 0, true); }
bool CPageWave::FitCheckWhileLoading(int r) { return FitCheck(r, r + 1, false); }

const std::array<const char*, CPageWave::kColumns>& CPageWave::ColumnTitles() {
  // The first title starts with three spaces.
  static const std::array<const char*, kColumns> kTitles = {"   Event", "Information", "Audiotyp", "条目使能"};
  return kTitles;
}

const std::array<int, CPageWave::kColumns>& CPageWave::ColumnWidths() {
  static const std::array<int, kColumns> kWidths = {100, 285, 98, 60};
  return kWidths;
}

std::vector<std::string> CPageWave::EmptyRowTexts() {
  return {"Invalid", "cust.audio file or DTMFTONE", "cust. wave file", "FALSE"};
}

std::vector<std::string> CPageWave::RowTexts(int row) const {
  if (row < 0 || row >= kRows) return {};
  const SoundEffectEntry& e = soundTable[static_cast<size_t>(row)];
  const char* kindName = names::NameAt(names::kPromptKindList, e.kind);
  if (e.event == 0) return {"Invalid", "cust.audio file or DTMFTONE", kindName, "FALSE"};
  std::string info;
  if (e.kind == 0) {
    info = e.PathText();
  } else if (e.kind == 1) {
    char buf[80];
    std::snprintf(buf, sizeof buf, "DTMF TONE mode: %d, pattern: %d", e.mode, e.pattern);
    info = buf;
  }
  return {names::NameAt(names::kPromptEventList, e.event), info, kindName, e.enabled ? "TRUE" : "FALSE"};
}

std::string CPageWave::ControlText(int controlId) const {
  return decl::ShownText(ControlDecls(), *this, controlId);
}

std::optional<CAudioConfigDlg> CPageWave::BeginEdit(int row) const {
  if (row < 0 || row >= kRows) return std::nullopt;
  return CAudioConfigDlg(soundTable[static_cast<size_t>(row)], host_ ? &host_->Sink() : nullptr);
}

bool CPageWave::CommitEdit(int row, const SoundEffectEntry& entry) {
  if (row < 0 || row >= kRows) return false;
  soundTable[static_cast<size_t>(row)] = entry;
  return FitCheckAfterEdit(row);
}

bool CPageWave::CollectInto(ConfigRecord& rec, int codeAreaKb, uint32_t promptFileLimit, const PromptLoader& load,
                            uint32_t* promptAreaBytes) const {
  uint8_t* r = rec.data();
  // The firmware picks its prompt table by this index (low byte; no selection is 0xFF).
  PutU8(r, rec::prompt_language, static_cast<uint32_t>(language.selected));
  for (int ev = 1; ev <= rec::prompt_events; ++ev)
    std::memset(r + rec::PromptSlotOffset(ev), 0, rec::prompt_slot_size);

  // Flash addresses in 256-byte units; the prompt area follows the 4 KB config sector.
  const uint32_t startUnit = static_cast<uint32_t>(codeAreaKb + 4) * 4;
  uint64_t unit = startUnit;
  // Address each entry's data was placed at, so a later entry naming the same file can
  // point at it even when another entry has since rewritten that event's slot.
  std::array<std::optional<uint16_t>, kRows> placedAt{};

  for (int i = 0; i < kRows; ++i) {
    const SoundEffectEntry& e = soundTable[static_cast<size_t>(i)];
    // An event beyond the slot table (a damaged file) has no slot to fill.
    if (e.event <= 0 || e.event > rec::prompt_events || e.enabled == 0) continue;
    const size_t o = rec::PromptSlotOffset(e.event);
    // A later entry for the same event replaces the whole slot.
    std::memset(r + o, 0, rec::prompt_slot_size);
    PutU8(r, o + rec::slot_present, 1);
    PutU8(r, o + rec::slot_kind, static_cast<uint32_t>(e.kind));
    if (e.kind == 0) {
      std::optional<uint16_t> start;
      for (int j = 0; j < i && !start; ++j) {
        const SoundEffectEntry& prev = soundTable[static_cast<size_t>(j)];
        if (placedAt[static_cast<size_t>(j)] && IsPlacedWave(prev) && SamePath(prev, e))
          start = placedAt[static_cast<size_t>(j)];
      }
      if (!start) {
        start = static_cast<uint16_t>(unit & 0xFFFF);
        const uint64_t byteOffset = unit * 256;
        // Whole 4 KB blocks plus one, even for an exact multiple of 4096. A negative
        // recorded size (a damaged file) takes one block instead of moving backwards
        // over the prompts already placed.
        const int64_t blocks = e.fileSize < 0 ? 1 : static_cast<int64_t>(e.fileSize) / 4096 + 1;
        if (load && byteOffset <= std::numeric_limits<uint32_t>::max())
          load(PromptPlacement{.row = i,
                               .path = e.PathText(),
                               .byteOffset = static_cast<uint32_t>(byteOffset),
                               .maxLength = promptFileLimit,
                               .recordedSize = e.fileSize,
                               .slotBytes = static_cast<uint32_t>(blocks * 4096)});
        unit += static_cast<uint64_t>(blocks) * 16;
      }
      placedAt[static_cast<size_t>(i)] = start;
      PutU16(r, o + rec::slot_wave_start, *start);
    } else if (e.kind == 1) {
      PutU32(r, o + rec::slot_dtmf_steps, ((e.f1Step & 0xFFFF) << 16) | (e.f2Step & 0xFFFF));
      PutU32(r, o + rec::slot_dtmf_control, DtmfControl(e));
    }
  }
  const uint64_t areaBytes = (unit - startUnit) * 256;
  if (promptAreaBytes) *promptAreaBytes = static_cast<uint32_t>(areaBytes);
  return areaBytes <= promptFileLimit;
}

void CPageWave::RestoreFrom(const ConfigRecord& rec) {
  usedPromptSpaceKb = 0;
  language.Select(GetU8(rec.data(), rec::prompt_language));
  for (int r = 0; r < kRows; ++r) FitCheckWhileLoading(r);
}

const ControlTable<CPageWave>& CPageWave::ControlDecls() {
  using P = CPageWave;
  using namespace decl;
  static const ControlTable<P> kTable = {
      Shown<P, &P::remainingSpaceText>(kRemainingId),
      Combo<P, &P::language>(kLanguageId),
      List<P>(kListId, kRows, [](const P& p, int row) { return p.RowTexts(row); }),
  };
  return kTable;
}

}  // namespace tessera
