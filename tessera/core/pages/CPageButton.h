#pragma once
// Key page: the press-classification timings and the 32 key assignments. The firmware
// keeps the timings in 10 ms ticks and one GPIO/state/press-type word per key event.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tessera/core/common/ControlDecl.h"
#include "tessera/core/common/Validation.h"
#include "tessera/core/config/ConfigRecord.h"
#include "tessera/core/config/TableEntries.h"
#include "tessera/core/pages/CKeyEventDlg.h"
#include "tessera/core/pages/PageHost.h"

namespace tessera {

class CPageButton {
 public:
  // The declared controls in control order (see ControlDecl.h).
  static const ControlTable<CPageButton>& ControlDecls();
  static constexpr int kClickId = 1068, kRepeatId = 1071, kLongPressId = 1072, kExtraLongId = 1069,
                       kDoubleClickId = 1070, kListId = 1112;
  static constexpr int kRows = 32;
  static constexpr int kColumns = 4;

  explicit CPageButton(PageHost* host = nullptr) : host_(host) {}
  void SetHost(PageHost* host) { host_ = host; }

  // The page window was created: default assignments 0..12, the rest empty.
  void OnInitialize();
  bool Initialized() const { return initialized_; }

  // The five timing edits read back (declared in ControlDecls).
  std::optional<FieldError> ReadBack(const ControlTextFn& controlText);
  std::string ControlText(int controlId) const;

  // The assignment list's columns (all centred), in the order of the row texts.
  static const std::array<const char*, kColumns>& ColumnTitles();
  static const std::array<int, kColumns>& ColumnWidths();
  // The four list texts of row i (event, GPIOs, press type, state).
  std::vector<std::string> RowTexts(int row) const;
  static std::vector<std::string> EmptyRowTexts();

  // A click on the list: the dialog for that row with the view's current GPIO pool, or
  // nothing when no row is selected (row outside 0..31).
  std::optional<CKeyEventDlg> BeginEdit(int row);
  // The dialog closed with OK: entry row becomes what the dialog built.
  bool CommitEdit(int row, const CKeyEventDlg& dlg);

  // Called by the GPIO refresh with the pins still free after the System and LED pages:
  // an entry none of whose pins is free is cleared; an entry with at least one free
  // pin keeps all of its pins.
  void DropUnavailableKeys(uint32_t mask);

  // Key timings and key event words of the record.
  void CollectInto(ConfigRecord& rec) const;
  // Timings from the record (the table comes from its own copy in the file).
  void RestoreFrom(const ConfigRecord& rec);

  // Timings in ms.
  unsigned int clickMs = 30;
  unsigned int repeatMs = 100;
  unsigned int longPressMs = 1100;
  unsigned int extraLongPressMs = 3300;
  unsigned int doubleClickMs = 0;

  std::array<KeyEventEntry, 32> keyTable{};
  // Copy of the view's pool taken when the dialog opens.
  uint32_t availableGpioMask = 0;

 private:
  PageHost* host_ = nullptr;
  bool initialized_ = false;
};

}  // namespace tessera
