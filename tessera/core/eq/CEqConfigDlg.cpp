#include "tessera/core/eq/CEqConfigDlg.h"

#include <cmath>
#include <cstdio>

#include "tessera/core/eq/EqCoefficients.h"

namespace tessera {

CEqConfigDlg CEqConfigDlg::FromBand(const EqBandParams& band) {
  CEqConfigDlg d;
  d.type = band.type;
  d.highLow = band.highLow;
  d.gainDb = band.gainDb;
  d.bandwidthHz = band.bandwidthHz;
  d.centerHz = band.centerHz;
  d.sampleHz = band.sampleHz;
  d.enabled = band.enabled;
  return d;
}

CEqConfigDlg CEqConfigDlg::FromVoiceEq(const VoiceEqParams& eq, int on) {
  CEqConfigDlg d;
  d.type = eq.type;
  d.highLow = eq.highLow;
  d.gainDb = static_cast<float>(eq.gainDb);
  d.bandwidthHz = eq.bandwidthHz;
  d.centerHz = eq.centerHz;
  d.sampleHz = eq.sampleHz;
  d.enabled = on;
  return d;
}

const std::array<FieldSpec, 4>& CEqConfigDlg::Fields() {
  static const std::array<FieldSpec, 4> kFields = {{
      {kIdGain, FieldKind::Float, true, -24, 18},
      {kIdBandwidth, FieldKind::Int, true, 1, 20000},
      {kIdCenter, FieldKind::Int, true, 1, 20000},
      {kIdSample, FieldKind::Int, true, 8000, 48000},
  }};
  return kFields;
}

EqBandParams CEqConfigDlg::PreviewBand() const {
  EqBandParams band = ToBand();
  band.enabled = 1;
  const auto lowest = static_cast<int32_t>(Field(kIdSample).min);
  if (band.sampleHz < lowest) band.sampleHz = lowest;
  return band;
}

const FieldSpec& CEqConfigDlg::Field(int controlId) {
  for (const FieldSpec& f : Fields())
    if (f.id == controlId) return f;
  return Fields()[0];
}

const ControlTable<CEqConfigDlg>& CEqConfigDlg::ControlDecls() {
  using D = CEqConfigDlg;
  // One edit per field of Fields(), read and written through ControlText and Store.
  const auto edit = [](int id, std::string (*text)(const D&), void (*store)(D&, const FieldValue&)) {
    const FieldSpec& f = Field(id);
    return ControlDecl<D>{
        .info = {.id = id, .kind = f.kind == FieldKind::Float ? ControlKind::Number : ControlKind::Integer, .field = f},
        .text = text,
        .store = store};
  };
  static const ControlTable<D> kTable = {
      decl::Radio<D, &D::type>({kIdShelving, kIdPeak}),
      decl::Radio<D, &D::highLow>({kIdLowPass, kIdHighPass}),
      edit(kIdGain, [](const D& d) { return d.ControlText(kIdGain); },
           [](D& d, const FieldValue& v) { d.Store(kIdGain, v); }),
      edit(kIdBandwidth, [](const D& d) { return d.ControlText(kIdBandwidth); },
           [](D& d, const FieldValue& v) { d.Store(kIdBandwidth, v); }),
      edit(kIdCenter, [](const D& d) { return d.ControlText(kIdCenter); },
           [](D& d, const FieldValue& v) { d.Store(kIdCenter, v); }),
      edit(kIdSample, [](const D& d) { return d.ControlText(kIdSample); },
           [](D& d, const FieldValue& v) { d.Store(kIdSample, v); }),
      decl::Check<D, &D::enabled>(kIdEnable),
  };
  return kTable;
}

void CEqConfigDlg::Store(int controlId, const FieldValue& v) {
  switch (controlId) {
    case kIdGain: gainDb = static_cast<float>(v.f); break;
    case kIdBandwidth: bandwidthHz = static_cast<int>(v.i); break;
    case kIdCenter: centerHz = static_cast<int>(v.i); break;
    case kIdSample: sampleHz = static_cast<int>(v.i); break;
    default: break;
  }
}

std::optional<FieldError> CEqConfigDlg::ReadBack(const std::function<std::string(int)>& controlText) {
  return ControlSet(*this, ControlDecls()).ReadBackTexts(controlText);
}

void CEqConfigDlg::TakeValidTexts(const std::function<std::string(int)>& controlText) {
  ControlSet(*this, ControlDecls()).TakeValidEdits([&](const ControlInfo& info) {
    return std::optional<ControlInput>(ControlInput{.text = controlText(info.id)});
  });
}

std::string CEqConfigDlg::ControlText(int controlId) const {
  char buf[64];
  switch (controlId) {
    case kIdGain: std::snprintf(buf, sizeof buf, "%g", static_cast<double>(gainDb)); return buf;
    case kIdBandwidth: return std::to_string(bandwidthHz);
    case kIdCenter: return std::to_string(centerHz);
    case kIdSample: return std::to_string(sampleHz);
    default: return {};
  }
}

EqBandParams CEqConfigDlg::ToBand() const {
  EqBandParams b;
  b.enabled = enabled;
  b.type = type;
  b.highLow = highLow;
  b.gainDb = CutGainToFourDecimals(gainDb);
  b.centerHz = centerHz;
  b.sampleHz = sampleHz;
  b.bandwidthHz = bandwidthHz;
  return b;
}

VoiceEqParams CEqConfigDlg::ToVoiceEq() const {
  VoiceEqParams e;
  e.type = static_cast<uint8_t>(type);
  e.highLow = static_cast<uint8_t>(highLow);
  e.gainDb = static_cast<int32_t>(std::trunc(gainDb));  // -3.5 -> -3, 0.9 -> 0
  e.centerHz = centerHz;
  e.sampleHz = sampleHz;
  e.bandwidthHz = bandwidthHz;
  return e;
}

}  // namespace tessera
