#pragma once
// Model of the prompt dialog: a device event played either as a custom wave file,
// whose samples go into the flash image, or as a DTMF tone the chip generates.
#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "tessera/core/common/ControlDecl.h"
#include "tessera/core/common/MessageSink.h"
#include "tessera/core/common/Selector.h"
#include "tessera/core/common/Validation.h"
#include "tessera/core/config/TableEntries.h"

namespace tessera {

class CAudioConfigDlg {
 public:
  // The declared controls in control order (see ControlDecl.h).
  static const ControlTable<CAudioConfigDlg>& ControlDecls();
  // This dialog's controls bound to it, for the view's exchange.
  ControlSet Controls() { return ControlSet(*this, ControlDecls()); }
  static constexpr int kEventId = 1096, kKindId = 1097, kEnableId = 1098, kPathId = 1099, kBrowseId = 1100,
                       kPatternId = 1101, kModeId = 1102, kDurationId = 1103, kPauseId = 1104, kF1GainId = 1105,
                       kF1StepId = 1106, kF1EnableId = 1107, kF2GainId = 1108, kF2StepId = 1109,
                       kF2EnableId = 1110;

  // Opens on a copy of entry; sink receives "cant open the file" and path complaints.
  CAudioConfigDlg(const SoundEffectEntry& entry, MessageSink* sink);

  // The edits read back in control order (declared in ControlDecls).
  std::optional<FieldError> ReadBack(const ControlTextFn& controlText);
  std::string ControlText(int controlId) const;

  // Kind rule: a wave file uses the path box and Browse, a tone the DTMF controls.
  bool PathControlsEnabled() const { return kind.selected == 0; }
  bool DtmfControlsEnabled() const { return kind.selected == 1; }
  void OnKindChanged(int index) { kind.Select(index); }

  // Browse confirmed with chosenPath: the path and the data size found in its header.
  // A path that cannot be stored whole (256 bytes or more) is refused with a message
  // and changes nothing.
  bool Browse(const std::string& chosenPath);

  // OK: validates the edits (on failure the dialog stays open, out untouched), then
  // sizes the file named in the path box again and builds out. A file that cannot be
  // opened is reported and counts 0 bytes; so does a disabled or event-less prompt.
  std::optional<FieldError> Ok(const ControlTextFn& controlText, SoundEffectEntry& out);
  // The entry the current values give.
  SoundEffectEntry BuildEntry() const;

  // Data size of a wave file: the u32 at offset 40 of its canonical 44-byte header.
  // False when the file cannot be opened; a file too short for the field gives size 0.
  static bool ReadWaveDataSize(const std::string& path, int32_t& size);

  Selector event, kind, enable, pattern, mode;
  std::string path;
  int32_t fileSize = 0;
  unsigned int duration = 0, pause = 0;
  int f1Gain = 0, f2Gain = 0;  // dB as shown, -15..0
  unsigned int f1Step = 0, f2Step = 0;
  int f1Enable = 0, f2Enable = 0;

 private:
  MessageSink* sink_ = nullptr;
};

}  // namespace tessera
