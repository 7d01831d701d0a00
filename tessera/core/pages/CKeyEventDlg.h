#pragma once
// Model of the key assignment dialog: one key event bound to a press type, a device
// state and GPIO0..GPIO21. Only pins that were free when the dialog opened can be
// ticked; a pin taken since the entry was made opens unticked and is dropped on OK.
#include <array>
#include <cstdint>

#include "tessera/core/common/ControlDecl.h"
#include "tessera/core/common/Selector.h"
#include "tessera/core/config/TableEntries.h"

namespace tessera {

class CKeyEventDlg {
 public:
  // The declared controls in control order (see ControlDecl.h).
  static const ControlTable<CKeyEventDlg>& ControlDecls();
  // This dialog's controls bound to it, for the view's exchange.
  ControlSet Controls() { return ControlSet(*this, ControlDecls()); }
  static constexpr int kEventId = 1096, kTypeId = 1097, kStateId = 1098;
  static constexpr int kGpioCount = 22;  // key masks cover GPIO0..GPIO21

  // Opens on entry with the GPIO pool as it stands now.
  CKeyEventDlg(const KeyEventEntry& entry, uint32_t availableGpioMask);

  // Check box control id of GPIOn (n = 0..21), or 0 outside that range.
  static int GpioCheckId(int n);

  bool GpioEnabled(int n) const;
  bool GpioChecked(int n) const;
  // Ticks or unticks GPIOn; refused (false) for a disabled or nonexistent box.
  bool SetGpioChecked(int n, bool checked);
  // The event selection changed: boxes are re-enabled from the pool copy.
  void OnEventChanged(int index);

  // OK: the new entry, all 16 bytes rebuilt from the dialog.
  KeyEventEntry Ok() const;

  Selector event, type, state;
  uint32_t availableGpioMask = 0;

 private:
  std::array<int, kGpioCount> gpioChecked_{};
};

}  // namespace tessera
