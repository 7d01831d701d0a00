#pragma once
// "Bluetooth Parameters" page: profiles, identity (address, class, PIN, name),
// connection recovery after power-up, reconnection after link loss and a few
// behaviour switches. Plain members; the window binds its controls to them.
#include <array>
#include <functional>
#include <optional>
#include <string>

#include "tessera/core/common/ControlDecl.h"
#include "tessera/core/common/MessageSink.h"
#include "tessera/core/common/Selector.h"
#include "tessera/core/common/Validation.h"
#include "tessera/core/config/ConfigRecord.h"

namespace tessera {

class CPageBluetooth {
 public:
  // The declared controls in control order (see ControlDecl.h).
  static const ControlTable<CPageBluetooth>& ControlDecls();
  // Control ids of the page template.
  static constexpr int kIdA2dp = 1036, kIdHfp = 1037, kIdHsp = 1038, kIdAddress = 1039, kIdDeviceType = 1040,
                       kIdPinCode = 1041, kIdDeviceName = 1042, kIdAddressIndicator = 1043, kIdRecovery = 1044,
                       kIdOnlyPairing = 1045, kIdAudioConnection = 1046, kIdStartupTime = 1047,
                       kIdRetryInterval = 1048, kIdRetries = 1049, kIdAutoReconnect = 1050,
                       kIdReconnections = 1051, kIdReconnectInterval = 1052, kIdPairingTimeout = 1053,
                       kIdAddressPolling = 1054, kIdVoiceReport = 1055, kIdPeriodicReconnect = 1168,
                       kIdBatteryDisplay = 1200, kIdNoConnection = 1057, kIdPauseTimeout = 1058,
                       kIdWaitPairing = 1059, kIdAutoReconnection = 1060;
  static constexpr int kAddressChars = 14, kPinChars = 16, kNameChars = 32;

  int a2dp = 1;
  int hfp = 1;
  int hsp = 1;
  std::string address = "0x112233445511";
  Selector deviceType;  // "HANDSFREE", "WEARABLE HEADSET", ... (list order is not class order)
  std::string pinCode = "7391";
  std::string deviceName = "QR5830_DEMO00";
  int recoveryEnable = 1;
  int recoveryMode = 1;  // radio index: 0 "Only pairing", 1 "Audio Connection", -1 neither
  int startupTimeS = 0;
  int retryIntervalMs = 4500;
  int retries = 10;  // -1 to 127
  int autoReconnect = 1;
  int reconnectCount = 2;            // 0 to 255
  int reconnectIntervalMs = 4000;    // 0 to 32767
  int pairingTimeoutS = -1;          // signed 16-bit
  int addressPolling = 0;
  int voiceReport = 0;
  int periodicReconnect = 0;
  int batteryDisplay = 0;
  int autoOffNoConnection = 1;
  int autoOffPauseTimeout = 1;
  int disconnectAction = 0;  // radio index: 0 "Waiting for pairing", 1 "Automatic Reconnection"

  // Whether the address text has the form "0x" + 12 hex digits (tick or cross).
  int addressValid = 1;

  CPageBluetooth();

  // Page window created: device type "WEARABLE HEADSET", both enable rules.
  void OnInitialize();

  // Enable rules, kept as state for the window to mirror.
  bool RecoveryControlsEnabled() const { return recoveryControlsEnabled_; }    // 1045-1049
  bool ReconnectControlsEnabled() const { return reconnectControlsEnabled_; }  // 1051, 1052
  void ApplyRecoveryRule() { recoveryControlsEnabled_ = recoveryEnable != 0; }
  void ApplyReconnectRule() { reconnectControlsEnabled_ = autoReconnect != 0; }

  static bool IsValidAddressText(const std::string& text);
  // Recomputes addressValid from the address member.
  void CheckAddress() { addressValid = IsValidAddressText(address) ? 1 : 0; }
  // Address text changed: the page reads every control back, then checks the
  // address. The read-back's failure (from any field) is returned for display.
  std::optional<FieldError> OnAddressChanged(const std::function<std::string(int controlId)>& controlText);

  std::optional<FieldError> ReadBack(const std::function<std::string(int controlId)>& controlText);
  std::string ControlText(int controlId) const;

  // Record: identity, profiles, recovery and reconnection fields. context is the
  // caller's sentence for the two error messages. False (with a message) when the
  // address or the device type is not usable.
  bool CollectInto(ConfigRecord& rec, const std::string& context, MessageSink& sink) const;
  // Record back into the members (the window is refreshed by Refresh afterwards).
  void RestoreFrom(const ConfigRecord& rec);
  // After loading: both enable rules and the address check.
  void Refresh();

  // device_class of a "Device Type" text; -1 for any other text.
  static int DeviceClassOf(const std::string& text);

 private:
  bool recoveryControlsEnabled_ = true;
  bool reconnectControlsEnabled_ = true;
};

}  // namespace tessera
