#include "tessera/core/pages/CPageEcho.h"

#include <cstdio>

#include "tessera/core/common/ByteIo.h"

namespace tessera {

namespace {
bool ValidEq(int k) { return k >= 0 && k < kVoiceEqs; }
}  // namespace

CPageEcho::CPageEcho() {
  voiceEqs.fill(DefaultVoiceEq());
}

VoiceEqParams CPageEcho::DefaultVoiceEq() {
  VoiceEqParams e;
  e.centerHz = 1;
  e.sampleHz = 1;
  e.bandwidthHz = 1;
  return e;
}

std::vector<std::string> CPageEcho::NoiseSuppressionEntries() { return {"0", "1", "2", "3"}; }
std::vector<std::string> CPageEcho::EchoSuppressionEntries() { return {"1", "2", "3"}; }

std::vector<std::string> CPageEcho::DacGainEntries() {
  std::vector<std::string> v;
  for (int k = 0; k < kDacGainEntries; ++k) v.push_back(std::to_string(2 - 2 * k) + "dB");
  return v;
}

std::vector<std::string> CPageEcho::MicGainEntries() {
  std::vector<std::string> v;
  for (int i = 0; i < kMicGainEntries / 2; ++i) {
    v.push_back(std::to_string(i) + "dB");
    v.push_back(std::to_string(i) + ".5dB");
  }
  return v;
}

void CPageEcho::OnInitialize() {
  settingsEnabled_ = false;
  applyEnabled_ = false;
}

void CPageEcho::OnActivate(const CPageSystem& system) {
  // An HFP volume of 15 is the loudest DAC gain (+2 dB, index 0).
  dacGainIndex = 15 - system.hfpVolume;
  micGainIndex = system.micVolume;
}

void CPageEcho::OnConf(bool portOpen) {
  settingsEnabled_ = true;
  applyEnabled_ = portOpen;
}

void CPageEcho::SetPortOpen(bool open) {
  settingsEnabled_ = open;
  applyEnabled_ = open;
}

void CPageEcho::Save(CPageSystem& system, MessageSink& sink) const {
  system.hfpVolume = 15 - dacGainIndex;
  system.micVolume = micGainIndex;
  sink.Show("Save OK!\r\n");
}

CEqConfigDlg CPageEcho::DialogFor(int k) const {
  return ValidEq(k) ? CEqConfigDlg::FromVoiceEq(voiceEqs[static_cast<size_t>(k)], voiceEqOn[static_cast<size_t>(k)])
                    : CEqConfigDlg{};
}

void CPageEcho::ApplyDialog(int k, const CEqConfigDlg& dlg) {
  if (!ValidEq(k)) return;
  voiceEqs[static_cast<size_t>(k)] = dlg.ToVoiceEq();
  voiceEqOn[static_cast<size_t>(k)] = dlg.enabled;
  RefreshSummary(k);
}

std::string CPageEcho::SummaryText(const VoiceEqParams& eq, int on) {
  char buf[512];
  std::snprintf(buf, sizeof buf,
                "均衡器类型: %s\r\n滤波类型: %s\r\n增益: %dDB\r\n中心频率: %dHZ\r\n采样率: %dHZ\r\n3DB带宽: %dHZ\r\n%s\r\n",
                eq.type == 0 ? "shelving" : "peak", eq.highLow == 0 ? "低通" : "高通", eq.gainDb, eq.centerHz,
                eq.sampleHz, eq.bandwidthHz, on ? "使能" : "");
  return buf;
}

void CPageEcho::RefreshSummary(int k) {
  if (!ValidEq(k)) return;
  summaries[static_cast<size_t>(k)] = SummaryText(voiceEqs[static_cast<size_t>(k)], voiceEqOn[static_cast<size_t>(k)]);
}

void CPageEcho::Refresh() {
  for (int k = 0; k < kVoiceEqs; ++k) RefreshSummary(k);
}

void CPageEcho::CollectInto(ConfigRecord& record) const {
  uint8_t* r = record.data();
  PutU32(r, rec::noise_suppression, static_cast<uint32_t>(noiseSuppressionIndex));
  PutU32(r, rec::echo_suppression, static_cast<uint32_t>(echoSuppressionIndex) + 1u);
  EncodeTable(voiceEqs, r + rec::voice_eq);
  PutU8(r, rec::voice_eq0_enable, static_cast<uint32_t>(voiceEqOn[0]));
  PutU8(r, rec::voice_eq1_enable, static_cast<uint32_t>(voiceEqOn[1]));
}

void CPageEcho::RestoreFrom(const ConfigRecord& record) {
  const uint8_t* r = record.data();
  noiseSuppressionIndex = GetI32(r, rec::noise_suppression);
  echoSuppressionIndex = static_cast<int32_t>(GetU32(r, rec::echo_suppression) - 1u);
  DecodeTable(voiceEqs, r + rec::voice_eq);
  voiceEqOn[0] = GetU8(r, rec::voice_eq0_enable);
  voiceEqOn[1] = GetU8(r, rec::voice_eq1_enable);
}

const ControlTable<CPageEcho>& CPageEcho::ControlDecls() {
  using P = CPageEcho;
  using namespace decl;
  // The settings stay locked until Conf or an open port.
  constexpr auto unlocked = [](const P& p) { return p.SettingsEnabled(); };
  static const ControlTable<P> kTable = {
      Choice<P, &P::noiseSuppressionIndex, &P::NoiseSuppressionEntries>(kIdNoiseSuppression).When(unlocked),
      Choice<P, &P::echoSuppressionIndex, &P::EchoSuppressionEntries>(kIdEchoSuppression).When(unlocked),
      Choice<P, &P::dacGainIndex, &P::DacGainEntries>(kIdDacGain).When(unlocked),
      Choice<P, &P::micGainIndex, &P::MicGainEntries>(kIdMicGain).When(unlocked),
      ControlDecl<P>{.info = {.id = kIdSummary0, .kind = ControlKind::Text, .field = {kIdSummary0, FieldKind::Text},
                              .readOnly = true},
                     .text = [](const P& p) { return p.summaries[0]; }},
      ControlDecl<P>{.info = {.id = kIdSummary1, .kind = ControlKind::Text, .field = {kIdSummary1, FieldKind::Text},
                              .readOnly = true},
                     .text = [](const P& p) { return p.summaries[1]; }},
  };
  return kTable;
}

}  // namespace tessera
