#include "tessera/core/pages/CAudioConfigDlg.h"

#include <fstream>

#include "qrplatform/Utf8Path.h"
#include "tessera/core/common/ByteIo.h"
#include "tessera/core/config/EventNames.h"

namespace tessera {

namespace {
constexpr const char* kCantOpen = "cant open the file";
constexpr const char* kPathTooLong =
    "The file path is longer than 255 bytes and cannot be stored. Move the file to a shorter path and choose it again.";
constexpr size_t kWaveHeaderReadSize = 48;
constexpr size_t kDataSizeOffset = 40;
}  // namespace

CAudioConfigDlg::CAudioConfigDlg(const SoundEffectEntry& entry, MessageSink* sink)
    : event(names::NameList(names::kPromptEventDialog)),
      kind(names::NameList(names::kPromptKindDialog)),
      enable(names::NameList(names::kPromptEnableDialog)),
      pattern(names::NameList(names::kDtmfPatternDialog)),
      mode(names::NameList(names::kDtmfModeDialog)),
      path(entry.PathText()),
      fileSize(entry.fileSize),
      duration(entry.duration),
      pause(entry.pause),
      f1Gain(-entry.f1Gain),
      f2Gain(-entry.f2Gain),
      f1Step(entry.f1Step),
      f2Step(entry.f2Step),
      f1Enable(entry.f1Enable),
      f2Enable(entry.f2Enable),
      sink_(sink) {
  event.Select(entry.event);
  kind.Select(entry.kind);
  enable.Select(1 - entry.enabled);  // the list reads "Enable", "Disable"
  pattern.Select(entry.pattern);
  mode.Select(entry.mode);
}

std::optional<FieldError> CAudioConfigDlg::ReadBack(const ControlTextFn& controlText) {
  return Controls().ReadBackTexts(controlText);
}

std::string CAudioConfigDlg::ControlText(int controlId) const {
  // The Browse button's caption is fixed in the code, not in the template.
  if (controlId == kBrowseId) return "wave文件";
  return decl::ShownText(ControlDecls(), *this, controlId);
}

bool CAudioConfigDlg::ReadWaveDataSize(const std::string& filePath, int32_t& size) {
  size = 0;
  std::ifstream f(qrplatform::PathFromUtf8(filePath), std::ios::binary);
  if (!f) return false;
  uint8_t header[kWaveHeaderReadSize] = {};
  f.read(reinterpret_cast<char*>(header), static_cast<std::streamsize>(sizeof header));
  if (static_cast<size_t>(f.gcount()) >= kDataSizeOffset + 4)
    size = static_cast<int32_t>(GetU32(header, kDataSizeOffset));
  return true;
}

bool CAudioConfigDlg::Browse(const std::string& chosenPath) {
  if (chosenPath.size() >= SoundEffectEntry::kPathSize) {
    if (sink_) sink_->Show(kPathTooLong);
    return false;
  }
  path = chosenPath;
  ReadWaveDataSize(path, fileSize);
  return true;
}

std::optional<FieldError> CAudioConfigDlg::Ok(const ControlTextFn& controlText, SoundEffectEntry& out) {
  if (auto err = ReadBack(controlText)) return err;
  // The file is sized again whatever the kind, so a tone with no file still reports it.
  if (!ReadWaveDataSize(path, fileSize) && sink_) sink_->Show(kCantOpen);
  // A prompt that will never be placed takes no flash space.
  if (event.selected == 0 || enable.selected == 1) fileSize = 0;
  out = BuildEntry();
  return std::nullopt;
}

SoundEffectEntry CAudioConfigDlg::BuildEntry() const {
  SoundEffectEntry e;
  // "Enable" is the first entry. An entry loaded with another non-zero flag opens with
  // nothing selected and stays enabled.
  e.enabled = 1 - enable.selected;
  e.event = event.selected;
  e.kind = kind.selected;
  if (e.kind == 0) {
    e.SetPath(path);
    e.fileSize = fileSize;
  } else if (e.kind == 1) {
    e.duration = duration;
    e.pause = pause;
    e.mode = mode.selected;
    e.pattern = pattern.selected;
    e.f1Enable = f1Enable;
    e.f2Enable = f2Enable;
    // The chip takes attenuations; the dialog shows them as negative gains.
    e.f1Gain = -f1Gain;
    e.f2Gain = -f2Gain;
    e.f1Step = f1Step;
    e.f2Step = f2Step;
  }
  return e;
}

const ControlTable<CAudioConfigDlg>& CAudioConfigDlg::ControlDecls() {
  using D = CAudioConfigDlg;
  using namespace decl;
  using K = FieldKind;
  // Kind rule: a wave file uses the path box, a tone the DTMF controls.
  constexpr auto wave = [](const D& d) { return d.PathControlsEnabled(); };
  constexpr auto tone = [](const D& d) { return d.DtmfControlsEnabled(); };
  static const ControlTable<D> kTable = {
      Combo<D, &D::event>(kEventId),
      Combo<D, &D::kind>(kKindId).Then([](D& d) { d.OnKindChanged(d.kind.selected); }),
      Combo<D, &D::enable>(kEnableId),
      Shown<D, &D::path>(kPathId).AsPath().When(wave),
      Combo<D, &D::pattern>(kPatternId).When(tone),
      Combo<D, &D::mode>(kModeId).When(tone),
      Edit<D, &D::duration>(Range(kDurationId, K::UInt, 0, 15)).When(tone),
      Edit<D, &D::pause>(Range(kPauseId, K::UInt, 0, 15)).When(tone),
      Edit<D, &D::f1Gain>(Range(kF1GainId, K::Int, -15, 0)).When(tone),
      Edit<D, &D::f1Step>(Range(kF1StepId, K::UInt, 0, 65535)).When(tone),
      Check<D, &D::f1Enable>(kF1EnableId).When(tone),
      Edit<D, &D::f2Gain>(Range(kF2GainId, K::Int, -15, 0)).When(tone),
      Edit<D, &D::f2Step>(Range(kF2StepId, K::UInt, 0, 65535)).When(tone),
      Check<D, &D::f2Enable>(kF2EnableId).When(tone),
  };
  return kTable;
}

}  // namespace tessera
