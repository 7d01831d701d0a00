#include "tessera/core/pages/CPageEQ.h"

#include <cstdio>

#include "tessera/core/eq/EqCoefficients.h"

namespace tessera {

namespace {
bool ValidBand(int i) { return i >= 0 && i < kEqBands; }
}  // namespace

CPageEQ::CPageEQ() { OnInitialize(); }

EqBandParams CPageEQ::DefaultBand() {
  EqBandParams b;
  b.enabled = 0;
  b.type = 0;
  b.highLow = 0;
  b.gainDb = 0.0f;
  b.centerHz = 500;
  b.sampleHz = 44100;
  b.bandwidthHz = 100;
  return b;
}

void CPageEQ::OnInitialize() {
  // Rows with the creation texts, bands at their defaults and their coefficients.
  for (size_t i = 0; i < kEqBands; ++i) {
    bands[i] = DefaultBand();
    coefficients[i] = ComputeEqCoefficients(bands[i]);
  }
  rowRedrawn.fill(false);
}

const std::array<const char*, CPageEQ::kColumns>& CPageEQ::ColumnTitles() {
  static const std::array<const char*, kColumns> kTitles = {
      "type", "highlow", "gain(dB)", "center freq(Hz)", "sample freq(Hz)", "bandwidth(Hz)", "Enable"};
  return kTitles;
}

const std::array<int, CPageEQ::kColumns>& CPageEQ::ColumnWidths() {
  static const std::array<int, kColumns> kWidths = {70, 70, 65, 90, 90, 100, 60};
  return kWidths;
}

std::vector<std::string> CPageEQ::EqNumberEntries() { return {"EQ0", "EQ1", "EQ2", "EQ3", "EQ4"}; }

std::vector<std::string> CPageEQ::RowTexts(int i) const {
  if (!ValidBand(i)) return {};
  const EqBandParams& b = bands[static_cast<size_t>(i)];
  char gain[64] = "0";
  if (rowRedrawn[static_cast<size_t>(i)]) std::snprintf(gain, sizeof gain, "%.4f", static_cast<double>(b.gainDb));
  return {b.type == 0 ? "Shelving" : "Peak",
          b.highLow == 0 ? "Low-Pass" : "High-Pass",
          gain,
          std::to_string(b.centerHz),
          std::to_string(b.sampleHz),
          std::to_string(b.bandwidthHz),
          b.enabled == 0 ? "Disable" : "Enable"};
}

void CPageEQ::RefreshRow(int i) {
  if (!ValidBand(i)) return;
  coefficients[static_cast<size_t>(i)] = ComputeEqCoefficients(bands[static_cast<size_t>(i)]);
  rowRedrawn[static_cast<size_t>(i)] = true;
}

void CPageEQ::RefreshRows() {
  for (int i = 0; i < kEqBands; ++i) RefreshRow(i);
}

std::optional<CEqConfigDlg> CPageEQ::DialogFor(int i) const {
  if (!ValidBand(i)) return std::nullopt;
  return CEqConfigDlg::FromBand(bands[static_cast<size_t>(i)]);
}

void CPageEQ::ApplyDialog(int i, const CEqConfigDlg& dlg) {
  if (!ValidBand(i)) return;
  bands[static_cast<size_t>(i)] = dlg.ToBand();
  RefreshRow(i);
}

void CPageEQ::CollectInto(ConfigRecord& record) const {
  for (size_t i = 0; i < kEqBands; ++i) coefficients[i].Encode(record.data() + rec::eq_bands + i * EqBandCoeffs::kSize);
}

const ControlTable<CPageEQ>& CPageEQ::ControlDecls() {
  using P = CPageEQ;
  using namespace decl;
  static const ControlTable<P> kTable = {
      List<P>(kIdBandList, kEqBands, [](const P& p, int row) { return p.RowTexts(row); }),
  };
  return kTable;
}

}  // namespace tessera
