#pragma once
// "RF Test" page: the radio's device-under-test mode, the single-carrier test with its
// channel, data pattern and packet type, random channel hopping, and free text to the
// board. Nothing here is stored in the configuration.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tessera/core/common/ControlDecl.h"
#include "tessera/core/common/Validation.h"
#include "tessera/core/link/HopTimer.h"
#include "tessera/core/link/LinkProtocol.h"

namespace tessera::link {

class CPageTest {
 public:
  static constexpr int kIdSend = 1075, kIdCommandText = 1074, kIdDut = 1080, kIdTest = 1086,
                       kIdConf = 1087, kIdAutoHopping = 1083, kIdChannel = 1088,
                       kIdChannelSpin = 1171, kIdPower = 1089, kIdPowerSpin = 1172, kIdTx = 1202,
                       kIdRx = 1203, kIdDataType = 1084, kIdPacketType = 1085;
  static constexpr int kHopChannels = 78, kHopPeriodMs = 63, kMaxChannel = 80;

  unsigned channel = 0;     // edit 1088, 0..80
  unsigned powerLevel = 0;  // edit 1089, only 0
  int direction = 0;        // 0 TX (1202), 1 RX (1203)
  int autoHopping = 0;      // check box 1083
  int dataType = 0;         // list 1084: "Sing", "Pn9"
  int packetType = 0;       // list 1085: "NULL" .. "3-DH5"
  std::string commandText;  // edit 1074
  int dutActive = 0;
  int singleCarrierActive = 0;
  std::array<uint8_t, kHopChannels> hopTable{};
  int hopPosition = 0;

  explicit CPageTest(HopTimer& timer);

  static const std::vector<std::string>& DataTypes();
  static const std::vector<std::string>& PacketTypes();
  // The channel and power edits with the limits Conf accepts.
  static const std::array<FieldSpec, 2>& Fields();
  static int Mode(int direction, int dataType, int packetType);
  // The page's controls in tab order: the single-carrier settings (locked unless the
  // test runs) and the free text. The channel and power edits show the members; Conf
  // reads them, both or neither.
  static const ControlTable<CPageTest>& ControlDecls();

  std::string DutCaption() const { return dutActive ? "  disable " : "  enable   "; }
  std::string TestCaption() const { return singleCarrierActive ? "end test" : "  TEST  "; }

  // Link-dependent controls: Send (1075), DUT (1080), TEST (1086).
  bool SendEnabled() const { return sendEnabled_; }
  bool DutTestEnabled() const { return dutTestEnabled_; }
  // The ten single-carrier settings, unlocked while the test runs.
  bool SettingsEnabled() const { return singleCarrierActive != 0; }
  bool HopTimerRunning() const { return hopRunning_; }

  void OnPortOpened();
  void OnPortClosedByButton();
  // Leaving the page closes the port but leaves DUT and TEST as they are.
  void OnLeave();

  Outgoing OnDut();
  Outgoing OnTest();
  // Conf with the channel and power edits' texts: a range message and nothing to send
  // when either is invalid (the timer state unchanged).
  struct ConfResult {
    std::optional<FieldError> error;
    Outgoing out;
  };
  ConfResult OnConf(const ControlTextFn& controlText);
  Outgoing Conf();  // with the members as they stand
  // Auto hopping clicked: a fresh random order of channels 2..79 when checked.
  void OnAutoHopping(bool checked, uint32_t seed);
  // One hopping tick: nothing when auto hopping is unchecked.
  std::optional<Outgoing> OnHopTimer();
  Outgoing OnSend() const { return FreeTextCommand(commandText); }

 private:
  void StopTimer();
  HopTimer& timer_;
  bool sendEnabled_ = false;
  bool dutTestEnabled_ = false;
  bool hopRunning_ = false;
};

}  // namespace tessera::link
