#pragma once
// "Echo Test" page: hands-free noise and echo suppression levels, the two voice
// equalizers, and a second view of the System page's HFP and microphone volumes
// (shown here as DAC and microphone gains, saved back there).
#include <array>
#include <string>
#include <vector>

#include "tessera/core/common/ControlDecl.h"
#include "tessera/core/common/MessageSink.h"
#include "tessera/core/config/ConfigRecord.h"
#include "tessera/core/config/TableEntries.h"
#include "tessera/core/eq/CEqConfigDlg.h"
#include "tessera/core/pages/CPageSystem.h"

namespace tessera {

class CPageEcho {
 public:
  // The declared controls in control order (see ControlDecl.h).
  static const ControlTable<CPageEcho>& ControlDecls();
  static constexpr int kIdNoiseSuppression = 1187, kIdEchoSuppression = 1188, kIdDacGain = 1191,
                       kIdMicGain = 1192, kIdConfEq0 = 1189, kIdConfEq1 = 1190, kIdApplyEq0 = 1196,
                       kIdApplyEq1 = 1197, kIdSummary0 = 1194, kIdSummary1 = 1195, kIdSave = 1193,
                       kIdConf = 1198;
  static constexpr int kDacGainEntries = 16, kMicGainEntries = 96;

  int dacGainIndex = 0;            // list 1191: entry k is 2 - 2k dB
  int echoSuppressionIndex = 0;    // list 1188: "1", "2", "3"
  int micGainIndex = 77;           // list 1192: entry m is m x 0.5 dB (77 = 38.5 dB)
  int noiseSuppressionIndex = 0;   // list 1187: "0" .. "3"
  std::array<VoiceEqParams, kVoiceEqs> voiceEqs{};
  std::array<int, kVoiceEqs> voiceEqOn{};
  std::array<std::string, kVoiceEqs> summaries{};  // boxes 1194, 1195

  CPageEcho();

  static VoiceEqParams DefaultVoiceEq();
  static std::vector<std::string> NoiseSuppressionEntries();
  static std::vector<std::string> EchoSuppressionEntries();
  static std::vector<std::string> DacGainEntries();  // "2dB", "0dB", ... "-28dB"
  static std::vector<std::string> MicGainEntries();  // "0dB", "0.5dB", ... "47.5dB"

  // Page window created: settings locked until Conf or an open port.
  void OnInitialize();
  // Every activation: the gains are taken from the System page's volumes.
  void OnActivate(const CPageSystem& system);
  // Conf: unlocks the settings; the apply buttons still need an open port.
  void OnConf(bool portOpen);
  // Port opened / closed or page left.
  void SetPortOpen(bool open);
  bool SettingsEnabled() const { return settingsEnabled_; }  // 1187, 1188, 1191, 1192, 1189, 1190, 1193
  bool ApplyEnabled() const { return applyEnabled_; }        // 1196, 1197

  // Save: the gains become the System page's HFP and microphone default volumes.
  void Save(CPageSystem& system, MessageSink& sink) const;

  // The band dialog on voice equalizer k, and its OK applied (gain cut to whole dB).
  CEqConfigDlg DialogFor(int k) const;
  void ApplyDialog(int k, const CEqConfigDlg& dlg);

  static std::string SummaryText(const VoiceEqParams& eq, int on);
  void RefreshSummary(int k);
  // Both summaries (after loading).
  void Refresh();

  void CollectInto(ConfigRecord& rec) const;
  void RestoreFrom(const ConfigRecord& rec);

  // Takes the port-dependent enable states of other (a restored copy keeps the link's).
  void TakeLinkState(const CPageEcho& other) {
    settingsEnabled_ = other.settingsEnabled_;
    applyEnabled_ = other.applyEnabled_;
  }

 private:
  bool settingsEnabled_ = false;
  bool applyEnabled_ = false;
};

}  // namespace tessera
