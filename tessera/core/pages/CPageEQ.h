#pragma once
// "Audio Equalization" page: the five audio equalizer bands as the user set them and
// the fixed-point coefficients the firmware runs, kept in step with the bands.
#include <array>
#include <optional>
#include <string>
#include <vector>

#include "tessera/core/common/ControlDecl.h"
#include "tessera/core/config/ConfigRecord.h"
#include "tessera/core/config/TableEntries.h"
#include "tessera/core/eq/CEqConfigDlg.h"

namespace tessera {

class CPageEQ {
 public:
  // The declared controls in control order (see ControlDecl.h).
  static const ControlTable<CPageEQ>& ControlDecls();
  static constexpr int kIdBandList = 1175, kIdConfigEq = 1075, kIdEqNumber = 1177, kIdEnableEq = 1184;
  static constexpr int kColumns = 7;

  std::array<EqBandParams, kEqBands> bands{};
  std::array<EqBandCoeffs, kEqBands> coefficients{};  // always ComputeEqCoefficients(bands[i])
  // Row i has been redrawn from its band since the page was made (a load or an edit);
  // until then it shows the texts the page was created with, the gain as "0".
  std::array<bool, kEqBands> rowRedrawn{};

  CPageEQ();

  // Page window created: every band back to its defaults.
  void OnInitialize();

  static EqBandParams DefaultBand();
  static const std::array<const char*, kColumns>& ColumnTitles();
  static const std::array<int, kColumns>& ColumnWidths();
  static std::vector<std::string> EqNumberEntries();  // "EQ0" .. "EQ4"

  // Texts of row i: type, high/low, gain, centre, sampling rate, bandwidth, enable.
  std::vector<std::string> RowTexts(int i) const;
  // Redraws row i and recomputes its coefficients (after loading or editing).
  void RefreshRow(int i);
  void RefreshRows();

  // A click on the list: the band dialog on band i, or nothing when no row is selected
  // (i outside 0..4). Its OK is applied to band i (the gain cut to four decimals); an
  // index outside 0..4 is ignored.
  std::optional<CEqConfigDlg> DialogFor(int i) const;
  void ApplyDialog(int i, const CEqConfigDlg& dlg);

  // eq_bands: the five coefficient records as they stand.
  void CollectInto(ConfigRecord& rec) const;
};

}  // namespace tessera
