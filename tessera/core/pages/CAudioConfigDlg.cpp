#include "pages/CAudioConfigDlg.h"

#include <fstream>

#include "common/ByteIo.h"
#include "pages/EventNames.h"

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

const std::array<FieldSpec, 6>& CAudioConfigDlg::Fields() {
  static const std::array<FieldSpec, 6> kFields = {{
      {kDurationId, FieldKind::UInt, true, 0, 15},
      {kPauseId, FieldKind::UInt, true, 0, 15},
      {kF1GainId, FieldKind::Int, true, -15, 0},
      {kF1StepId, FieldKind::UInt, true, 0, 65535},
      {kF2GainId, FieldKind::Int, true, -15, 0},
      {kF2StepId, FieldKind::UInt, true, 0, 65535},
  }};
  return kFields;
}

std::optional<FieldError> CAudioConfigDlg::ReadBack(const ControlTextFn& controlText) {
  const auto& fields = Fields();
  return ReadFields(fields, controlText, [&](size_t i, const FieldValue& v) {
    switch (fields[i].id) {
      case kDurationId: duration = static_cast<unsigned int>(v.i); break;
      case kPauseId: pause = static_cast<unsigned int>(v.i); break;
      case kF1GainId: f1Gain = static_cast<int>(v.i); break;
      case kF1StepId: f1Step = static_cast<unsigned int>(v.i); break;
      case kF2GainId: f2Gain = static_cast<int>(v.i); break;
      case kF2StepId: f2Step = static_cast<unsigned int>(v.i); break;
      default: break;
    }
  });
}

std::string CAudioConfigDlg::ControlText(int controlId) const {
  switch (controlId) {
    case kDurationId: return std::to_string(duration);
    case kPauseId: return std::to_string(pause);
    case kF1GainId: return std::to_string(f1Gain);
    case kF1StepId: return std::to_string(f1Step);
    case kF2GainId: return std::to_string(f2Gain);
    case kF2StepId: return std::to_string(f2Step);
    case kPathId: return path;
    case kBrowseId: return "wave文件";
    case kEventId: return event.Text();
    case kKindId: return kind.Text();
    case kEnableId: return enable.Text();
    case kPatternId: return pattern.Text();
    case kModeId: return mode.Text();
    default: return {};
  }
}

bool CAudioConfigDlg::ReadWaveDataSize(const std::string& filePath, int32_t& size) {
  size = 0;
  std::ifstream f(filePath, std::ios::binary);
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
  static const ControlTable<CAudioConfigDlg> kTable = {};
  return kTable;
}

}  // namespace tessera
