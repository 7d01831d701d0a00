#include "tessera/core/link/CPageTest.h"

#include <bitset>
#include <cstdio>
#include <random>

namespace tessera::link {

CPageTest::CPageTest(HopTimer& timer) : timer_(timer) {}

const ControlTable<CPageTest>& CPageTest::ControlDecls() {
  using P = CPageTest;
  using namespace tessera::decl;
  constexpr auto running = [](const P& p) { return p.SettingsEnabled(); };
  const auto shown = [](const FieldSpec& f, std::string (*text)(const P&)) {
    return ControlDecl<P>{.info = {.id = f.id, .kind = ControlKind::Integer, .field = f}, .text = text};
  };
  static const ControlTable<P> kTable = {
      shown(Fields()[0], [](const P& p) { return std::to_string(p.channel); }).When(running),
      shown(Fields()[1], [](const P& p) { return std::to_string(p.powerLevel); }).When(running),
      Check<P, &P::autoHopping>(kIdAutoHopping).When(running),
      Radio<P, &P::direction>({kIdTx, kIdRx}).When(running),
      Choice<P, &P::dataType, &P::DataTypes>(kIdDataType).When(running),
      Choice<P, &P::packetType, &P::PacketTypes>(kIdPacketType).When(running),
      Edit<P, &P::commandText>(Field(kIdCommandText, FieldKind::Text)),
  };
  return kTable;
}

const std::vector<std::string>& CPageTest::DataTypes() {
  static const std::vector<std::string> k{"Sing", "Pn9"};
  return k;
}

const std::vector<std::string>& CPageTest::PacketTypes() {
  static const std::vector<std::string> k{"NULL", "POLL", "FHS",  "DM1",   "DM3",   "DM5",   "DH1",
                                          "DH3",  "DH5",  "HV1",  "HV2",   "HV3",   "DV",    "AUX1",
                                          "2-DH1", "2-DH3", "2-DH5", "3-DH1", "3-DH3", "3-DH5"};
  return k;
}

const std::array<FieldSpec, 2>& CPageTest::Fields() {
  static const std::array<FieldSpec, 2> k{{
      {kIdChannel, FieldKind::UInt, true, 0, kMaxChannel, 0},
      {kIdPower, FieldKind::UInt, true, 0, 0, 0},
  }};
  return k;
}

int CPageTest::Mode(int dir, int data, int packet) {
  if (dir != 0) return 0;
  const bool pn9 = data == 1;
  if (packet <= 13) return pn9 ? 2 : 1;
  if (!pn9) return 4;  // 2-DH1 .. 3-DH5 with a single tone
  return packet <= 16 ? 3 : 5;
}

void CPageTest::OnPortOpened() {
  sendEnabled_ = true;
  dutTestEnabled_ = true;
}

void CPageTest::OnPortClosedByButton() {
  sendEnabled_ = false;
  dutTestEnabled_ = false;
  StopTimer();
}

void CPageTest::OnLeave() {
  sendEnabled_ = false;
  StopTimer();
}

void CPageTest::StopTimer() {
  timer_.Stop();
  hopRunning_ = false;
}

Outgoing CPageTest::OnDut() {
  if (!dutActive) {
    dutActive = 1;
    return RfFixedCommand("CMD+DUTTEST+OPEN\"", "DUT test mode enable");
  }
  dutActive = 0;
  return RfFixedCommand("CMD+DUTTEST+CLOSE\"", "DUT test mode disable");
}

Outgoing CPageTest::OnTest() {
  if (!singleCarrierActive) {
    singleCarrierActive = 1;
    return RfFixedCommand("CMD+SINWAVE+OPEN\"", "singlewave test mode enable");
  }
  singleCarrierActive = 0;
  StopTimer();
  return RfFixedCommand("CMD+SINWAVE+CLOSE\"", "singlewave test mode disable");
}

CPageTest::ConfResult CPageTest::OnConf(const ControlTextFn& controlText) {
  const auto& fields = Fields();
  FieldValue values[2];
  for (size_t i = 0; i < fields.size(); ++i) {
    if (auto message = ReadField(fields[i], controlText(fields[i].id), values[i]))
      return {FieldError{fields[i].id, *message}, {}};
  }
  channel = static_cast<unsigned>(values[0].i);
  powerLevel = static_cast<unsigned>(values[1].i);
  return {std::nullopt, Conf()};
}

Outgoing CPageTest::Conf() {
  const int mode = Mode(direction, dataType, packetType);
  char text[64], description[96];
  std::snprintf(text, sizeof text, "CMD+SINWAVE+CONF+%u+%u+%d\"", channel, powerLevel, mode);
  std::snprintf(description, sizeof description,
                "single wave configuration, frequency: %u, power level: %u.", channel, powerLevel);
  if (autoHopping) {
    timer_.Start(kHopPeriodMs);
    hopRunning_ = true;
  } else {
    StopTimer();
  }
  return RfFixedCommand(text, description);
}

void CPageTest::OnAutoHopping(bool checked, uint32_t seed) {
  autoHopping = checked ? 1 : 0;
  if (!checked) return;  // the timer runs on until the next Conf, the end of the test or a close
  std::minstd_rand rng(seed);
  std::bitset<kMaxChannel + 1> used;
  for (auto& entry : hopTable) {
    unsigned r;
    do {
      r = static_cast<unsigned>(rng() % kHopChannels) + 2;
    } while (used[r]);
    used[r] = true;
    entry = static_cast<uint8_t>(r);
  }
  hopPosition = 0;
}

std::optional<Outgoing> CPageTest::OnHopTimer() {
  if (!autoHopping) return std::nullopt;
  channel = hopTable[static_cast<size_t>(hopPosition)];
  hopPosition = (hopPosition + 1) % kHopChannels;
  return Conf();
}

}  // namespace tessera::link
