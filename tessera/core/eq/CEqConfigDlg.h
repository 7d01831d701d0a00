#pragma once
// The band dialog's data: one equalizer band as the user edits it, the limits its
// OK button enforces, and the conversions in and out for the two pages that open it
// (five audio bands, two voice equalizers).
#include <array>
#include <functional>
#include <optional>
#include <string>

#include "tessera/core/common/ControlDecl.h"
#include "tessera/core/common/Validation.h"
#include "tessera/core/config/TableEntries.h"

namespace tessera {

class CEqConfigDlg {
 public:
  // Control ids of the dialog template.
  static constexpr int kIdShelving = 1178, kIdPeak = 1179, kIdLowPass = 1180, kIdHighPass = 1181;
  static constexpr int kIdGain = 1182, kIdBandwidth = 1183, kIdCenter = 1184, kIdSample = 1185;
  static constexpr int kIdEnable = 1186;

  int type = 0;       // 0 Shelving, 1 Peak (radio group)
  int highLow = 0;    // 0 low, 1 high (radio group)
  float gainDb = 0;
  int bandwidthHz = 100;
  int centerHz = 500;
  int sampleHz = 44100;
  int enabled = 0;    // "Enable EQ"

  CEqConfigDlg() = default;
  static CEqConfigDlg FromBand(const EqBandParams& band);
  static CEqConfigDlg FromVoiceEq(const VoiceEqParams& eq, int on);

  // The edit fields in control order with the limits OK accepts.
  static const std::array<FieldSpec, 4>& Fields();
  // The field of an edit control (kIdGain .. kIdSample).
  static const FieldSpec& Field(int controlId);
  // The dialog's controls in tab order: type and side, the four edits with the limits
  // above, the switch.
  static const ControlTable<CEqConfigDlg>& ControlDecls();

  // Stores a read-back value into the member of controlId.
  void Store(int controlId, const FieldValue& value);
  // The band as typed so far, for a preview: each edit whose text passes its check
  // replaces the member, the others keep the last good value.
  void TakeValidTexts(const std::function<std::string(int controlId)>& controlText);

  // OK: validates the edits in order; on success every field holds its new value and
  // the dialog may close. On failure the fields before the bad one keep their new
  // values and the dialog stays open.
  std::optional<FieldError> ReadBack(const std::function<std::string(int controlId)>& controlText);
  // Member to edit text; the gain with up to six significant digits.
  std::string ControlText(int controlId) const;

  // What the equalizer page stores on OK: the gain cut to four decimals.
  EqBandParams ToBand() const;
  // The band a preview draws: as the equalizer page would store it, switched on, and
  // with a sampling rate below the lowest accepted one (a voice equalizer starts at
  // 1 Hz) raised to it.
  EqBandParams PreviewBand() const;
  // What the echo page stores on OK: the gain truncated toward zero to whole dB.
  VoiceEqParams ToVoiceEq() const;
};

}  // namespace tessera
