#pragma once
// LED page: the pins of the two indicator LEDs and the low-power LED, the polarity, and
// 32 LED patterns (31 of them editable). Second link of the GPIO allocation: it takes
// its pins from what the System page left and passes the rest on to the key page.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tessera/core/common/ControlDecl.h"
#include "tessera/core/common/Selector.h"
#include "tessera/core/config/ConfigRecord.h"
#include "tessera/core/config/TableEntries.h"
#include "tessera/core/pages/CLedEventDlg.h"
#include "tessera/core/pages/PageHost.h"

namespace tessera {

class CPageLED {
 public:
  // The declared controls in control order (see ControlDecl.h).
  static const ControlTable<CPageLED>& ControlDecls();
  static constexpr int kLowPowerLedId = 1063, kLed0Id = 1064, kLed1Id = 1065, kListId = 1066,
                       kPolarityId = 1136;
  static constexpr int kRows = 31;  // entry 31 is kept and stored but never listed
  static constexpr int kColumns = 7;
  static constexpr int kUnused = 0xFF;

  explicit CPageLED(PageHost* host = nullptr) : host_(host) {}
  void SetHost(PageHost* host) { host_ = host; }

  // The page window was created: LED pins 11/11/20 and the default patterns.
  void OnInitialize();
  bool Initialized() const { return initialized_; }

  // The selector of control 1063, 1064 or 1065; nullptr for any other id.
  Selector* SelectorFor(int controlId);
  const Selector* SelectorFor(int controlId) const;
  // The user picked entry index of a GPIO selector: its member follows the text and the
  // view's GPIO allocation runs again.
  void OnSelectorChanged(int controlId, int index);
  // After a load: each selector's current text is taken into its member as if the user
  // had picked it (low-power LED, LED0, LED1 in that order).
  void ReReadSelectors();

  // GPIO allocation with the pins the System page left: refills the three selectors,
  // keeps each member where it still can, and hands on the mask minus the pins of LED1
  // and the low-power LED. LED0's pin stays available to the keys. Returns that mask
  // (also stored in the view).
  uint32_t AllocateGpios(uint32_t mask);

  // The pattern list's columns (all centred), in the order of the row texts.
  static const std::array<const char*, kColumns>& ColumnTitles();
  static const std::array<int, kColumns>& ColumnWidths();
  // The seven list texts of row i (0..30); empty for any other row.
  std::vector<std::string> RowTexts(int row) const;
  static std::vector<std::string> EmptyRowTexts();

  // A click on the list: the dialog for that row, or nothing without a selected row.
  std::optional<CLedEventDlg> BeginEdit(int row) const;
  // The dialog closed with OK and produced entry (see CLedEventDlg::Ok).
  bool CommitEdit(int row, const LedEventEntry& entry);

  // LED GPIO fields, the status LED and the LED patterns of the record.
  void CollectInto(ConfigRecord& rec) const;
  // LED GPIO members, selectors and the polarity switch from the record (the table
  // comes from its own copy).
  void RestoreFrom(const ConfigRecord& rec);

  // GPIO number, or kUnused.
  int lowPowerLedGpio = 11;
  int led0Gpio = 11;
  int led1Gpio = 20;
  // "Polarity Reversal": the System page's collect stores it in the record.
  int polarityReversed = 1;

  Selector lowPowerLedSel, led0Sel, led1Sel;
  std::array<LedEventEntry, 32> ledTable{};

 private:
  int* MemberFor(int controlId);
  void TakeSelectorText(int controlId);
  PageHost* host_ = nullptr;
  bool initialized_ = false;
};

}  // namespace tessera
