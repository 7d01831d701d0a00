#include "tessera/core/pages/CPageBluetooth.h"

#include <cstdio>

#include "tessera/core/common/ByteIo.h"

namespace tessera {

namespace {
// List order of the device-type box with the minor device class of the Bluetooth
// audio/video major class that the firmware advertises for each.
struct DeviceTypeEntry {
  const char* text;
  int deviceClass;
};
constexpr DeviceTypeEntry kDeviceTypes[] = {
    {"HANDSFREE", 2}, {"WEARABLE HEADSET", 1}, {"LOUDSPEAKER", 5},
    {"HEADPHONES", 6}, {"PORTABLE AUDIO", 7}, {"CAR AUDIO", 8},
};
constexpr int kWearableHeadsetIndex = 1;

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string FieldText(const uint8_t* base, size_t off, size_t len) {
  std::string s;
  for (size_t i = 0; i < len && base[off + i] != 0; ++i) s += static_cast<char>(base[off + i]);
  return s;
}

void PutBit(uint32_t& flags, int bit, int on) {
  if (on) flags |= 1u << bit;
}
int Bit(uint32_t flags, int bit) { return (flags >> bit) & 1u ? 1 : 0; }
}  // namespace

CPageBluetooth::CPageBluetooth() {
  for (const auto& t : kDeviceTypes) deviceType.Add(t.text);
  deviceType.Select(kWearableHeadsetIndex);
}

void CPageBluetooth::OnInitialize() {
  deviceType.Select(kWearableHeadsetIndex);
  ApplyRecoveryRule();
  ApplyReconnectRule();
}

bool CPageBluetooth::IsValidAddressText(const std::string& text) {
  if (text.size() != static_cast<size_t>(kAddressChars) || text[0] != '0' || text[1] != 'x') return false;
  for (size_t i = 2; i < text.size(); ++i)
    if (HexDigit(text[i]) < 0) return false;
  return true;
}

std::optional<FieldError> CPageBluetooth::OnAddressChanged(const std::function<std::string(int)>& controlText) {
  auto err = ReadBack(controlText);
  CheckAddress();
  return err;
}

std::optional<FieldError> CPageBluetooth::ReadBack(const std::function<std::string(int)>& controlText) {
  return ControlSet(*this, ControlDecls()).ReadBackTexts(controlText);
}

std::string CPageBluetooth::ControlText(int controlId) const {
  return decl::ShownText(ControlDecls(), *this, controlId);
}

int CPageBluetooth::DeviceClassOf(const std::string& text) {
  for (const auto& t : kDeviceTypes)
    if (text == t.text) return t.deviceClass;
  return -1;
}

bool CPageBluetooth::CollectInto(ConfigRecord& record, const std::string& context, MessageSink& sink) const {
  uint8_t* r = record.data();
  // The flag follows the text on every keystroke in the window; checking the text as
  // well keeps a caller that sets the member directly from building a bad address.
  if (!addressValid || !IsValidAddressText(address)) {
    sink.Show("Bt address error! " + context);
    return false;
  }
  PutU8(r, rec::config_valid, 1);

  const int deviceClass = DeviceClassOf(deviceType.Text());
  if (deviceClass < 0) {
    sink.Show("Bt device class error! " + context);
    return false;
  }
  PutU8(r, rec::device_class, static_cast<uint32_t>(deviceClass));

  // Text digits are most significant first; the firmware wants the least significant byte first.
  for (size_t k = 0; k < 6; ++k) {
    const int hi = HexDigit(address[2 + 2 * k]), lo = HexDigit(address[3 + 2 * k]);
    PutU8(r, rec::bt_address + 5 - k, static_cast<uint32_t>(hi * 16 + lo));
  }

  for (size_t i = 0; i < deviceName.size() && i < rec::device_name_len; ++i)
    r[rec::device_name + i] = static_cast<uint8_t>(deviceName[i]);
  for (size_t i = 0; i < pinCode.size() && i < rec::pin_code_len; ++i)
    r[rec::pin_code + i] = static_cast<uint8_t>(pinCode[i]);

  uint32_t flags = 0;
  PutBit(flags, btbit::kA2dp, a2dp);
  PutBit(flags, btbit::kHfp, hfp);
  PutBit(flags, btbit::kHsp, hsp);
  if (recoveryEnable) {
    flags |= 1u << btbit::kRecovery;
    PutU8(r, rec::recovery_mode, static_cast<uint32_t>(recoveryMode + 1));
    PutU8(r, rec::recovery_retries, static_cast<uint32_t>(retries));
    PutU32(r, rec::recovery_retry_interval, static_cast<uint32_t>(retryIntervalMs));
    PutU32(r, rec::recovery_startup_delay, static_cast<uint32_t>(startupTimeS) * 1000u);
  } else {
    // Recovery off: the firmware still reads these, so they get its neutral values.
    PutU8(r, rec::recovery_mode, 0);
    PutU8(r, rec::recovery_retries, 0xFF);
    PutU32(r, rec::recovery_retry_interval, 30000);
    PutU32(r, rec::recovery_startup_delay, 15000);
  }

  PutBit(flags, btbit::kAutoReconnect, autoReconnect);
  PutU8(r, rec::reconnect_count, static_cast<uint32_t>(reconnectCount));
  PutU16(r, rec::reconnect_interval, static_cast<uint32_t>(reconnectIntervalMs));
  PutBit(flags, btbit::kAddressPolling, addressPolling);
  PutBit(flags, btbit::kVoiceReport, voiceReport);
  uint32_t autoOff = 0;
  PutBit(autoOff, 0, autoOffNoConnection);
  PutBit(autoOff, 1, autoOffPauseTimeout);
  PutU8(r, rec::auto_off_conditions, autoOff);
  PutBit(flags, btbit::kPeriodicReconnect, periodicReconnect);
  PutBit(flags, btbit::kBatteryDisplay, batteryDisplay);
  PutU16(r, rec::pairing_timeout, static_cast<uint32_t>(pairingTimeoutS));
  PutU8(r, rec::disconnect_action, static_cast<uint32_t>(disconnectAction));
  PutU32(r, rec::bt_flags, flags);
  return true;
}

void CPageBluetooth::RestoreFrom(const ConfigRecord& record) {
  const uint8_t* r = record.data();
  addressValid = 1;
  char buf[32];
  std::snprintf(buf, sizeof buf, "0x%02x%02x%02x%02x%02x%02x", r[rec::bt_address + 5], r[rec::bt_address + 4],
                r[rec::bt_address + 3], r[rec::bt_address + 2], r[rec::bt_address + 1], r[rec::bt_address + 0]);
  address = buf;
  deviceName = FieldText(r, rec::device_name, rec::device_name_len);
  pinCode = FieldText(r, rec::pin_code, rec::pin_code_len);

  int index = kWearableHeadsetIndex;  // class 1, 3, 4 and anything unknown
  const int deviceClass = GetU8(r, rec::device_class);
  for (int i = 0; i < static_cast<int>(std::size(kDeviceTypes)); ++i)
    if (kDeviceTypes[i].deviceClass == deviceClass) index = i;
  deviceType.Select(deviceType.FindPrefix(kDeviceTypes[index].text));

  const uint32_t flags = GetU32(r, rec::bt_flags);
  a2dp = Bit(flags, btbit::kA2dp);
  hfp = Bit(flags, btbit::kHfp);
  hsp = Bit(flags, btbit::kHsp);
  autoReconnect = Bit(flags, btbit::kAutoReconnect);
  recoveryEnable = Bit(flags, btbit::kRecovery);
  addressPolling = Bit(flags, btbit::kAddressPolling);
  voiceReport = Bit(flags, btbit::kVoiceReport);
  periodicReconnect = Bit(flags, btbit::kPeriodicReconnect);
  batteryDisplay = Bit(flags, btbit::kBatteryDisplay);

  reconnectCount = GetU8(r, rec::reconnect_count);
  reconnectIntervalMs = GetU16(r, rec::reconnect_interval);
  retries = static_cast<int8_t>(GetU8(r, rec::recovery_retries));
  retryIntervalMs = GetI32(r, rec::recovery_retry_interval);
  startupTimeS = GetI32(r, rec::recovery_startup_delay) / 1000;
  recoveryMode = static_cast<int8_t>(GetU8(r, rec::recovery_mode)) - 1;  // 0 leaves both radios unchosen
  pairingTimeoutS = static_cast<int16_t>(GetU16(r, rec::pairing_timeout));
  const uint8_t autoOff = GetU8(r, rec::auto_off_conditions);
  autoOffNoConnection = autoOff & 1;
  autoOffPauseTimeout = (autoOff >> 1) & 1;
  disconnectAction = GetU8(r, rec::disconnect_action);
  Refresh();
}

void CPageBluetooth::Refresh() {
  ApplyRecoveryRule();
  ApplyReconnectRule();
  CheckAddress();
}

const ControlTable<CPageBluetooth>& CPageBluetooth::ControlDecls() {
  using P = CPageBluetooth;
  using namespace decl;
  using K = FieldKind;
  constexpr auto recovery = [](const P& p) { return p.RecoveryControlsEnabled(); };
  constexpr auto reconnect = [](const P& p) { return p.ReconnectControlsEnabled(); };
  static const ControlTable<P> kTable = {
      Check<P, &P::a2dp>(kIdA2dp),
      Check<P, &P::hfp>(kIdHfp),
      Check<P, &P::hsp>(kIdHsp),
      // Every change of the address text re-checks it (tick or cross).
      Edit<P, &P::address>(Chars(kIdAddress, kAddressChars)).Then([](P& p) { p.CheckAddress(); }),
      // The tick/cross picture: 1 shows the tick. Shown, never read back.
      ControlDecl<P>{.info = {.id = kIdAddressIndicator, .kind = ControlKind::CheckBox, .readOnly = true},
                     .value = Get<P, &P::addressValid>},
      Combo<P, &P::deviceType>(kIdDeviceType),
      Edit<P, &P::pinCode>(Chars(kIdPinCode, kPinChars)),
      Edit<P, &P::deviceName>(Chars(kIdDeviceName, kNameChars)),
      Check<P, &P::recoveryEnable>(kIdRecovery).Then([](P& p) { p.ApplyRecoveryRule(); }).AfterReadBack(),
      Radio<P, &P::recoveryMode>({kIdOnlyPairing, kIdAudioConnection}).When(recovery),
      Edit<P, &P::startupTimeS>(Field(kIdStartupTime, K::Int)).When(recovery),
      Edit<P, &P::retryIntervalMs>(Field(kIdRetryInterval, K::Int)).When(recovery),
      Edit<P, &P::retries>(Range(kIdRetries, K::Int, -1, 127)).When(recovery),
      Check<P, &P::autoReconnect>(kIdAutoReconnect).Then([](P& p) { p.ApplyReconnectRule(); }).AfterReadBack(),
      Edit<P, &P::reconnectCount>(Field(kIdReconnections, K::Byte)).When(reconnect),
      Edit<P, &P::reconnectIntervalMs>(Range(kIdReconnectInterval, K::UInt, 0, 32767)).When(reconnect),
      Edit<P, &P::pairingTimeoutS>(Field(kIdPairingTimeout, K::Short)),
      Check<P, &P::addressPolling>(kIdAddressPolling),
      Check<P, &P::voiceReport>(kIdVoiceReport),
      Check<P, &P::periodicReconnect>(kIdPeriodicReconnect),
      Check<P, &P::batteryDisplay>(kIdBatteryDisplay),
      Check<P, &P::autoOffNoConnection>(kIdNoConnection),
      Check<P, &P::autoOffPauseTimeout>(kIdPauseTimeout),
      Radio<P, &P::disconnectAction>({kIdWaitPairing, kIdAutoReconnection}),
  };
  return kTable;
}

}  // namespace tessera
