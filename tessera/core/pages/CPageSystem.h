#pragma once
// "System parameters" page: which optional functions use GPIO pins, default
// volumes, battery thresholds, timeouts and the power-switch arrangement. First in
// the GPIO allocation order: pins it takes never reach the LED or Key pages.
//
// Handlers work on the members; the window reads its controls back into the
// members (ReadBack) before calling a check-box handler, so every handler sees the
// values the user has just entered.
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "tessera/core/common/ControlDecl.h"
#include "tessera/core/common/MessageSink.h"
#include "tessera/core/common/Selector.h"
#include "tessera/core/common/Validation.h"
#include "tessera/core/config/ConfigRecord.h"
#include "tessera/core/pages/PageHost.h"

namespace tessera {

class CPageSystem {
 public:
  // The declared controls in control order (see ControlDecl.h).
  static const ControlTable<CPageSystem>& ControlDecls();
  // Control ids of the page template.
  static constexpr int kIdDebugPort = 1094, kIdUart = 1019, kIdIic = 1020, kIdSpi = 1013, kIdPaMuteEnable = 1095,
                       kIdPaMuteHigh = 1015, kIdPaMuteGpio = 1014, kIdLineInEnable = 1018, kIdLineInHigh = 1017,
                       kIdLineInGpio = 1016, kIdLineInAdc = 1040, kIdSdEnable = 1036, kIdSdSeparatePin = 1038,
                       kIdSdDetectGpio = 1037, kIdA2dpVolume = 1021, kIdPromptVolume = 1022, kIdHfpVolume = 1023,
                       kIdMicVolume = 1024, kIdNoSpeakerphone = 1209, kIdSingleEnded = 1025,
                       kIdDifferential = 1026, kIdNRoad = 1091, kIdPRoad = 1092, kIdChannel = 1027,
                       kIdDetectInterval = 1028, kIdAlarmThreshold = 1030, kIdShutdownThreshold = 1031,
                       kIdHighCurrent = 1032, kIdPowerFull = 1033, kIdAnalogBuck = 1164, kIdDigitalBuck = 1168,
                       kIdFadeIn = 1165, kIdSleepTimeout = 1034, kIdShutdownTimeout = 1035, kIdSoftBoot = 1166,
                       kIdExternalMos = 1208, kIdPowerKeyGpio = 1201, kIdPowerKeyActiveHigh = 1029,
                       kIdMicBias = 1167;
  // Fixed reservations in the view's pool.
  static constexpr uint32_t kDebugPortPins = 0x3;  // GPIO0, GPIO1
  static constexpr uint32_t kSpiPins = 0x3C0;      // GPIO6 to GPIO9
  static constexpr int kFixedSdDetectGpio = 12;    // SD detect when there is no separate pin
  static constexpr int kAlarmDefaultVbat = 5;      // "3.3V"
  static constexpr int kAlarmDefaultOther = 3;     // "0.4V"
  // The record keeps the sleep timeout in 10 ms units in 16 bits.
  static constexpr int kMaxSleepTimeoutS = 655;

  // GPIO configuration
  int debugPort = 1;
  int debugIface = 0;  // radio index: 0 "Uart", 1 "IIC", -1 neither
  int spi = 0;
  int paMuteEnable = 0;
  int paMuteHigh = 0;
  Selector paMuteCombo;
  int paMuteGpio = 19;
  int lineInEnable = 0;
  int lineInHigh = 0;
  Selector lineInCombo;
  int lineInGpio = 21;
  int lineInAdc = 0;
  int sdEnable = 0;
  int sdSeparatePin = 0;
  Selector sdDetectCombo;
  int sdDetectGpio = 12;

  // Audio parameters
  int a2dpVolume = 12;    // 0 to 15
  int promptVolume = 10;  // 0 to 15
  int hfpVolume = 11;     // 0 to 15; also written by the Echo page's Save
  int micVolume = 54;     // 0 to 95; also written by the Echo page's Save
  int noSpeakerphone = 0;
  int outputMode = 1;  // radio index: 0 "Single-Ended Output", 1 "Differential Output"
  int roadSelect = 0;  // radio index: 0 "N Road", 1 "P Road", -1 neither

  // Low power configuration
  Selector channel;            // the single entry "VBAT"
  unsigned detectIntervalS = 30;
  Selector alarmThreshold;     // built by the page
  Selector shutdownThreshold;  // built by the page

  // Charging configuration (hidden controls; values kept and exchanged)
  Selector highCurrentThreshold;  // "2.4V" .. "3.3V"
  Selector powerFullThreshold;    // "3.8V" .. "4.2V"
  int analogBuck = 0;
  int digitalBuck = 0;
  int fadeIn = 0;

  // Other
  unsigned sleepTimeoutS = 8;  // 0 to 655 (kMaxSleepTimeoutS)
  int shutdownTimeoutS = -1;
  int softBoot = 0;
  int externalMos = 0;
  int powerKeyGpio = 255;  // 0 to 255
  int powerKeyActiveHigh = 0;
  Selector micBias;  // "2.6V", "2.4V", "2.1V", "1.8V"

  // The view enables the "SPI" box only for the package that has the SPI pins; its
  // check mark (and so the reservation) is kept either way.
  bool spiCheckEnabled = true;

  explicit CPageSystem(PageHost* host = nullptr);
  void SetHost(PageHost* host) { host_ = host; }

  // Page window created: selections, then the DebugPort, SPI, PA mute, line-in and
  // SD rules (each with a GPIO refresh), the channel rule and the output rule.
  void OnInitialize();

  // Enable state of dependent controls.
  bool DebugIfaceEnabled() const { return debugIfaceEnabled_; }          // "Uart", "IIC"
  bool PaMuteControlsEnabled() const { return paMuteControlsEnabled_; }  // selector, "High Effective"
  bool LineInControlsEnabled() const { return lineInControlsEnabled_; }  // selector, "high effective"
  bool SdSeparatePinEnabled() const { return sdSeparatePinEnabled_; }
  bool SdDetectSelectorEnabled() const { return sdDetectSelectorEnabled_; }
  bool RoadRadiosEnabled() const { return roadRadiosEnabled_; }          // "N Road", "P Road"

  // Handlers, run after the window has stored the new check/radio value.
  void OnDebugPort();
  void OnSpi();
  void OnPaMuteEnable();
  void OnLineInEnable();
  void OnLineInAdc();
  void OnSdEnable();
  void OnSdSeparatePin();
  void OnOutputMode();
  // Selector handlers: select the entry, remember its GPIO, refresh the pool.
  void OnPaMuteSelected(int index);
  void OnLineInSelected(int index);
  void OnSdDetectSelected(int index);
  void OnChannelChanged(int index);
  void OnAlarmChanged(int index);

  // Called by the view's pool refresh with the pins free after the package and the
  // reservations: rebuilds the three GPIO selectors, takes this page's pins and
  // stores the rest as the view's available mask.
  void AllocateGpios(uint32_t mask);

  // Battery lists: the alarm list with the channel's default selection, or with a
  // given one (after loading; an index outside the list leaves it unselected). Both
  // rebuild the shutdown list.
  void RebuildAlarmList();
  void RebuildAlarmList(int selection);
  void RebuildShutdownList();

  // ADC count of a threshold selection and back (firmware units).
  static int BatteryLevel(int channelIndex, int selection);
  static int BatterySelection(int channelIndex, unsigned level);

  std::optional<FieldError> ReadBack(const std::function<std::string(int controlId)>& controlText);
  std::string ControlText(int controlId) const;

  // sys_flags (with the LED page's polarity switch), GPIO fields, power key, battery,
  // timeouts and volumes. False, with a message, for the two power-switch conflicts and
  // for a sleep timeout the record cannot hold.
  bool CollectInto(ConfigRecord& rec, bool ledPolarityReversed, MessageSink& sink) const;
  void RestoreFrom(const ConfigRecord& rec);
  // After loading: DebugPort, SPI, line-in, PA mute, SD and separate-pin rules, then
  // the PA mute and line-in selections re-read into their members.
  void Reapply();

 private:
  void RefreshPool();
  void SelectRemembered(Selector& combo, int& gpio, uint32_t& mask);

  PageHost* host_ = nullptr;
  bool debugIfaceEnabled_ = true;
  bool paMuteControlsEnabled_ = false;
  bool lineInControlsEnabled_ = false;
  bool sdSeparatePinEnabled_ = false;
  bool sdDetectSelectorEnabled_ = false;
  bool roadRadiosEnabled_ = false;
};

}  // namespace tessera
