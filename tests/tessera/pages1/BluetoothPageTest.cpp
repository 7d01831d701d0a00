#include <gtest/gtest.h>

#include <map>

#include "tessera/core/common/ByteIo.h"
#include "tessera/core/pages/CPageBluetooth.h"

namespace tessera {
namespace {

const std::string kWrite = "Can't Write Configuration file.";

// The page's own texts with some controls overridden, as the window would hold them.
std::function<std::string(int)> Texts(const CPageBluetooth& page, std::map<int, std::string> over) {
  return [&page, over](int id) {
    auto it = over.find(id);
    return it != over.end() ? it->second : page.ControlText(id);
  };
}

ConfigRecord Collect(const CPageBluetooth& page) {
  ConfigRecord r;
  RecordingSink sink;
  EXPECT_TRUE(page.CollectInto(r, kWrite, sink));
  EXPECT_TRUE(sink.messages.empty());
  return r;
}

TEST(BluetoothPage, DefaultsAndInitialisation) {
  CPageBluetooth p;
  p.OnInitialize();
  EXPECT_EQ(p.deviceType.Text(), "WEARABLE HEADSET");
  ASSERT_EQ(p.deviceType.Count(), 6);
  EXPECT_EQ(p.deviceType.entries[0], "HANDSFREE");
  EXPECT_EQ(p.address, "0x112233445511");
  EXPECT_EQ(p.addressValid, 1);
  EXPECT_EQ(p.pinCode, "7391");
  EXPECT_EQ(p.deviceName, "QR5830_DEMO00");
  EXPECT_EQ(p.recoveryMode, 1);
  EXPECT_EQ(p.retryIntervalMs, 4500);
  EXPECT_EQ(p.retries, 10);
  EXPECT_EQ(p.reconnectCount, 2);
  EXPECT_EQ(p.reconnectIntervalMs, 4000);
  EXPECT_EQ(p.pairingTimeoutS, -1);
  EXPECT_TRUE(p.RecoveryControlsEnabled());
  EXPECT_TRUE(p.ReconnectControlsEnabled());
}

TEST(BluetoothPage, AddressCheck) {
  CPageBluetooth p;
  auto check = [&](const std::string& text) {
    auto err = p.OnAddressChanged(Texts(p, {{CPageBluetooth::kIdAddress, text}}));
    EXPECT_FALSE(err);
    return p.addressValid;
  };
  EXPECT_EQ(check("0x112233445511"), 1);
  EXPECT_EQ(check("0x11223344551"), 0);   // one digit deleted
  EXPECT_EQ(check("0X112233445511"), 0);  // capital X
  EXPECT_EQ(check("0x11223344551g"), 0);
  EXPECT_EQ(check("0xAbCdEf012345"), 1);
  EXPECT_EQ(check("1x112233445511"), 0);
}

TEST(BluetoothPage, AddressCheckReportsAnInvalidFieldElsewhereAndStillChecks) {
  CPageBluetooth p;
  auto err = p.OnAddressChanged(
      Texts(p, {{CPageBluetooth::kIdAddress, "0x1122"}, {CPageBluetooth::kIdRetries, "128"}}));
  ASSERT_TRUE(err);
  EXPECT_EQ(err->controlId, CPageBluetooth::kIdRetries);
  EXPECT_EQ(p.addressValid, 0);
}

TEST(BluetoothPage, ReadBackValidatesInControlOrder) {
  CPageBluetooth p;
  EXPECT_FALSE(p.ReadBack(Texts(p, {{CPageBluetooth::kIdRetries, "-1"}})));
  EXPECT_EQ(p.retries, -1);

  auto err = p.ReadBack(Texts(p, {{CPageBluetooth::kIdRetries, "-2"}}));
  ASSERT_TRUE(err);
  EXPECT_EQ(err->message, "“请填入一个在-1和127之间的整数。”");
  err = p.ReadBack(Texts(p, {{CPageBluetooth::kIdRetries, "128"}}));
  ASSERT_TRUE(err);
  EXPECT_EQ(err->controlId, CPageBluetooth::kIdRetries);

  err = p.ReadBack(Texts(p, {{CPageBluetooth::kIdAddress, "0x1122334455667"}}));
  ASSERT_TRUE(err);
  EXPECT_EQ(err->message, "“请填入不多于14个的字符。”");
  err = p.ReadBack(Texts(p, {{CPageBluetooth::kIdDeviceName, std::string(33, 'n')}}));
  ASSERT_TRUE(err);
  EXPECT_EQ(err->message, "“请填入不多于32个的字符。”");
  err = p.ReadBack(Texts(p, {{CPageBluetooth::kIdPinCode, std::string(17, '1')}}));
  ASSERT_TRUE(err);
  EXPECT_EQ(err->message, "“请填入不多于16个的字符。”");

  err = p.ReadBack(Texts(p, {{CPageBluetooth::kIdReconnections, "256"}}));
  ASSERT_TRUE(err);
  EXPECT_EQ(err->message, "“请填入一个在0和255之间的整数。”");
  err = p.ReadBack(Texts(p, {{CPageBluetooth::kIdReconnectInterval, "-5"}}));
  ASSERT_TRUE(err);
  EXPECT_EQ(err->message, "“请填入一个正整数。”");
  err = p.ReadBack(Texts(p, {{CPageBluetooth::kIdReconnectInterval, "32768"}}));
  ASSERT_TRUE(err);
  EXPECT_EQ(err->message, "“请填入一个在0和32767之间的整数。”");
  err = p.ReadBack(Texts(p, {{CPageBluetooth::kIdStartupTime, "3s"}}));
  ASSERT_TRUE(err);
  EXPECT_EQ(err->message, "请键入一个整数。");

  // The first failure stops the read; fields before it keep their new values.
  err = p.ReadBack(Texts(p, {{CPageBluetooth::kIdDeviceName, "NEW"},
                             {CPageBluetooth::kIdRetries, "500"},
                             {CPageBluetooth::kIdReconnections, "7"}}));
  ASSERT_TRUE(err);
  EXPECT_EQ(p.deviceName, "NEW");
  EXPECT_EQ(p.reconnectCount, 2);
}

TEST(BluetoothPage, EnableRulesKeepValues) {
  CPageBluetooth p;
  p.OnInitialize();
  p.recoveryEnable = 0;
  p.ApplyRecoveryRule();
  EXPECT_FALSE(p.RecoveryControlsEnabled());
  EXPECT_EQ(p.retries, 10);
  EXPECT_EQ(p.recoveryMode, 1);
  p.autoReconnect = 0;
  p.ApplyReconnectRule();
  EXPECT_FALSE(p.ReconnectControlsEnabled());
}

TEST(BluetoothPageCollect, DefaultsGiveTheExpectedFields) {
  CPageBluetooth p;
  p.OnInitialize();
  const ConfigRecord r = Collect(p);
  const uint8_t* b = r.data();
  EXPECT_EQ(b[rec::config_valid], 1);
  EXPECT_EQ(b[rec::device_class], 1);
  const uint8_t addr[6] = {0x11, 0x55, 0x44, 0x33, 0x22, 0x11};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(b[rec::bt_address + i], addr[i]);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(b + rec::device_name)), "QR5830_DEMO00");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(b + rec::pin_code)), "7391");
  // A2DP, HFP, HSP, auto reconnect, recovery.
  EXPECT_EQ(GetU32(b, rec::bt_flags), 0x37u);
  EXPECT_EQ(b[rec::recovery_mode], 2);
  EXPECT_EQ(GetU32(b, rec::recovery_startup_delay), 0u);
  EXPECT_EQ(b[rec::recovery_retries], 10);
  EXPECT_EQ(GetU32(b, rec::recovery_retry_interval), 4500u);
  EXPECT_EQ(b[rec::reconnect_count], 2);
  EXPECT_EQ(GetU16(b, rec::reconnect_interval), 4000);
  EXPECT_EQ(GetU16(b, rec::pairing_timeout), 0xFFFF);
  EXPECT_EQ(b[rec::auto_off_conditions], 3);
  EXPECT_EQ(b[rec::disconnect_action], 0);
  for (size_t i = 0x07B; i <= 0x08A; ++i) EXPECT_EQ(b[i], 0) << i;
}

TEST(BluetoothPageCollect, AddressIsStoredLeastSignificantByteFirst) {
  CPageBluetooth p;
  p.address = "0x112233445566";
  p.CheckAddress();
  const ConfigRecord r = Collect(p);
  const uint8_t want[6] = {0x66, 0x55, 0x44, 0x33, 0x22, 0x11};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(r.data()[rec::bt_address + i], want[i]);
}

TEST(BluetoothPageCollect, RefusesABadAddressOrDeviceType) {
  CPageBluetooth p;
  p.address = "0XAABBCCDDEEFF";
  p.CheckAddress();
  ConfigRecord r;
  RecordingSink sink;
  EXPECT_FALSE(p.CollectInto(r, kWrite, sink));
  ASSERT_EQ(sink.messages.size(), 1u);
  EXPECT_EQ(sink.messages[0], "Bt address error! Can't Write Configuration file.");

  // A caller that sets the text without running the check is refused too.
  p.address = "0xZZBBCCDDEEFF";
  p.addressValid = 1;
  EXPECT_FALSE(p.CollectInto(r, kWrite, sink));

  p.address = "0xAABBCCDDEEFF";
  p.CheckAddress();
  p.deviceType = Selector({"Wearable Headset"}, 0);  // comparison is case-sensitive
  sink.messages.clear();
  EXPECT_FALSE(p.CollectInto(r, "Can't generate flash image.", sink));
  ASSERT_EQ(sink.messages.size(), 1u);
  EXPECT_EQ(sink.messages[0], "Bt device class error! Can't generate flash image.");
}

TEST(BluetoothPageCollect, DeviceClassesFollowTheTexts) {
  CPageBluetooth p;
  const int want[6] = {2, 1, 5, 6, 7, 8};
  for (int i = 0; i < 6; ++i) {
    p.deviceType.Select(i);
    EXPECT_EQ(Collect(p).data()[rec::device_class], want[i]);
  }
}

TEST(BluetoothPageCollect, FullLengthNameAndPinHaveNoTerminator) {
  CPageBluetooth p;
  p.deviceName = std::string(32, 'N');
  p.pinCode = std::string(16, '9');
  const ConfigRecord r = Collect(p);
  for (size_t i = 0; i < 32; ++i) EXPECT_EQ(r.data()[rec::device_name + i], 'N');
  for (size_t i = 0; i < 16; ++i) EXPECT_EQ(r.data()[rec::pin_code + i], '9');
  EXPECT_EQ(r.data()[rec::bt_address], 0x11);  // the field after the PIN is untouched
}

TEST(BluetoothPageCollect, RecoveryOffStoresNeutralValues) {
  CPageBluetooth p;
  p.recoveryEnable = 0;
  p.startupTimeS = 9;
  p.retries = 3;
  p.retryIntervalMs = 100;
  p.recoveryMode = 0;
  const ConfigRecord r = Collect(p);
  const uint8_t* b = r.data();
  EXPECT_EQ(b[rec::recovery_mode], 0);
  EXPECT_EQ(GetU32(b, rec::recovery_startup_delay), 15000u);
  EXPECT_EQ(b[rec::recovery_retries], 0xFF);
  EXPECT_EQ(GetU32(b, rec::recovery_retry_interval), 30000u);
  EXPECT_EQ(GetU32(b, rec::bt_flags) & (1u << btbit::kRecovery), 0u);

  p.recoveryEnable = 1;
  p.retries = -1;
  const ConfigRecord on = Collect(p);
  EXPECT_EQ(on.data()[rec::recovery_mode], 1);
  EXPECT_EQ(GetU32(on.data(), rec::recovery_startup_delay), 9000u);
  EXPECT_EQ(on.data()[rec::recovery_retries], 0xFF);
  EXPECT_EQ(GetU32(on.data(), rec::recovery_retry_interval), 100u);
}

TEST(BluetoothPageCollect, SwitchBits) {
  CPageBluetooth p;
  p.a2dp = p.hfp = p.hsp = p.autoReconnect = p.recoveryEnable = 0;
  p.addressPolling = 1;
  EXPECT_EQ(GetU32(Collect(p).data(), rec::bt_flags), 1u << 6);
  p.addressPolling = 0;
  p.voiceReport = 1;
  EXPECT_EQ(GetU32(Collect(p).data(), rec::bt_flags), 1u << 7);
  p.voiceReport = 0;
  p.periodicReconnect = 1;
  EXPECT_EQ(GetU32(Collect(p).data(), rec::bt_flags), 1u << 8);
  p.periodicReconnect = 0;
  p.batteryDisplay = 1;
  EXPECT_EQ(GetU32(Collect(p).data(), rec::bt_flags), 1u << 9);
  p.autoOffNoConnection = 0;
  p.disconnectAction = 1;
  EXPECT_EQ(Collect(p).data()[rec::auto_off_conditions], 2);
  EXPECT_EQ(Collect(p).data()[rec::disconnect_action], 1);
}

TEST(BluetoothPageRestore, AddressNamesAndClass) {
  ConfigRecord r;
  uint8_t* b = r.data();
  const uint8_t addr[6] = {0x66, 0x55, 0x44, 0x33, 0x22, 0x11};
  for (int i = 0; i < 6; ++i) b[rec::bt_address + i] = addr[i];
  for (size_t i = 0; i < 32; ++i) b[rec::device_name + i] = 'A';
  for (size_t i = 0; i < 16; ++i) b[rec::pin_code + i] = '5';
  b[rec::device_class] = 3;
  CPageBluetooth p;
  p.addressValid = 0;
  p.RestoreFrom(r);
  EXPECT_EQ(p.address, "0x112233445566");
  EXPECT_EQ(p.addressValid, 1);
  EXPECT_EQ(p.deviceName, std::string(32, 'A'));
  EXPECT_EQ(p.pinCode, std::string(16, '5'));
  EXPECT_EQ(p.deviceType.Text(), "WEARABLE HEADSET");
  for (int cls : {1, 4, 0, 255}) {
    b[rec::device_class] = static_cast<uint8_t>(cls);
    p.RestoreFrom(r);
    EXPECT_EQ(p.deviceType.Text(), "WEARABLE HEADSET") << cls;
  }
  b[rec::device_class] = 8;
  p.RestoreFrom(r);
  EXPECT_EQ(p.deviceType.Text(), "CAR AUDIO");
  b[rec::device_class] = 2;
  p.RestoreFrom(r);
  EXPECT_EQ(p.deviceType.Text(), "HANDSFREE");

  PutU8(b, rec::bt_address, 0xAB);
  p.RestoreFrom(r);
  EXPECT_EQ(p.address, "0x1122334455ab");  // lower-case hex
}

TEST(BluetoothPageRestore, RecoveryOffLeavesRadiosUnchosenAndDisabled) {
  CPageBluetooth p;
  p.recoveryEnable = 0;
  p.autoReconnect = 0;
  ConfigRecord r = Collect(p);
  CPageBluetooth q;
  q.RestoreFrom(r);
  EXPECT_EQ(q.recoveryEnable, 0);
  EXPECT_EQ(q.recoveryMode, -1);
  EXPECT_EQ(q.retries, -1);
  EXPECT_EQ(q.startupTimeS, 15);
  EXPECT_EQ(q.retryIntervalMs, 30000);
  EXPECT_FALSE(q.RecoveryControlsEnabled());
  EXPECT_FALSE(q.ReconnectControlsEnabled());
}

TEST(BluetoothPageRestore, CollectRestoreRoundTrip) {
  CPageBluetooth p;
  p.address = "0xa1b2c3d4e5f6";
  p.deviceType.Select(3);
  p.pinCode = "0000";
  p.deviceName = "Speaker";
  p.recoveryMode = 0;
  p.startupTimeS = 4;
  p.retryIntervalMs = 1200;
  p.retries = 127;
  p.reconnectCount = 255;
  p.reconnectIntervalMs = 32767;
  p.pairingTimeoutS = -32768;
  p.addressPolling = p.voiceReport = p.periodicReconnect = p.batteryDisplay = 1;
  p.autoOffPauseTimeout = 0;
  p.disconnectAction = 1;
  p.hsp = 0;
  const ConfigRecord first = Collect(p);
  CPageBluetooth q;
  q.RestoreFrom(first);
  q.Refresh();
  EXPECT_EQ(q.address, p.address);
  EXPECT_EQ(q.deviceType.Text(), "HEADPHONES");
  EXPECT_EQ(q.pairingTimeoutS, -32768);
  EXPECT_EQ(q.retries, 127);
  EXPECT_EQ(Collect(q).bytes, first.bytes);
}

}  // namespace
}  // namespace tessera
