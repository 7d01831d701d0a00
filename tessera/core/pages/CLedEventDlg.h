#pragma once
// Model of the LED pattern dialog: which output blinks how during one device state.
#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "tessera/core/common/ControlDecl.h"
#include "tessera/core/common/Selector.h"
#include "tessera/core/common/Validation.h"
#include "tessera/core/config/TableEntries.h"

namespace tessera {

class CLedEventDlg {
 public:
  // The declared controls in control order (see ControlDecl.h).
  static const ControlTable<CLedEventDlg>& ControlDecls();
  // This dialog's controls bound to it, for the view's exchange.
  ControlSet Controls() { return ControlSet(*this, ControlDecls()); }
  static constexpr int kEventId = 1096, kLedId = 1125, kOnId = 1126, kOffId = 1127, kRepeatId = 1128,
                       kFlashId = 1129, kTimeoutId = 1130;

  explicit CLedEventDlg(const LedEventEntry& entry);

  // The edits read back in control order (declared in ControlDecls).
  std::optional<FieldError> ReadBack(const ControlTextFn& controlText);
  std::string ControlText(int controlId) const;

  // OK: validates the edits; on a failure the dialog stays open and out is untouched.
  // Otherwise out is rebuilt from the dialog (a pattern that is never on and never off
  // gets an off time of 100 ms).
  std::optional<FieldError> Ok(const ControlTextFn& controlText, LedEventEntry& out);
  // The entry the current values give.
  LedEventEntry BuildEntry() const;

  Selector event, led;
  unsigned int onMs = 0;
  unsigned int offMs = 0;
  uint8_t repeatS = 0;
  uint8_t flashCount = 0;
  int timeoutMs = 0;
};

}  // namespace tessera
