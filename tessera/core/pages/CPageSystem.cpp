#include "tessera/core/pages/CPageSystem.h"

#include "tessera/core/common/ByteIo.h"
#include "tessera/core/common/Gpio.h"

namespace tessera {

namespace {
// Threshold lists, 0.1 V steps, 13 entries each: the battery voltage itself on
// "VBAT", a divided voltage on the other channels.
constexpr int kThresholdEntries = 13;
const char* const kListVbat[kThresholdEntries] = {"2.8V", "2.9V", "3.0V", "3.1V", "3.2V", "3.3V", "3.4V",
                                                  "3.5V", "3.6V", "3.7V", "3.8V", "3.9V", "4.0V"};
const char* const kListOther[kThresholdEntries] = {"0.1V", "0.2V", "0.3V", "0.4V", "0.5V", "0.6V", "0.7V",
                                                   "0.8V", "0.9V", "1.0V", "1.1V", "1.2V", "1.3V"};
const char* const* ThresholdList(int channelIndex) { return channelIndex == 0 ? kListVbat : kListOther; }

void PutBit(uint32_t& flags, int bit, int on) {
  if (on) flags |= 1u << bit;
}
int Bit(uint32_t flags, int bit) { return (flags >> bit) & 1u ? 1 : 0; }
uint32_t GpioBit(int gpio) { return gpio >= 0 && gpio < 32 ? 1u << gpio : 0; }
}  // namespace

CPageSystem::CPageSystem(PageHost* host) : host_(host) {
  channel = Selector({"VBAT"}, 0);
  highCurrentThreshold = Selector({"2.4V", "2.5V", "2.6V", "2.7V", "2.8V", "2.9V", "3.0V", "3.1V", "3.2V", "3.3V"}, 3);
  powerFullThreshold = Selector({"3.8V", "3.9V", "4.0V", "4.1V", "4.2V"}, 4);
  micBias = Selector({"2.6V", "2.4V", "2.1V", "1.8V"}, 2);
  RebuildAlarmList();
}

void CPageSystem::OnInitialize() {
  channel.Select(0);
  highCurrentThreshold.Select(3);
  powerFullThreshold.Select(4);
  micBias.Select(2);
  OnDebugPort();
  OnSpi();
  OnPaMuteEnable();
  OnLineInEnable();
  OnSdEnable();
  OnChannelChanged(0);
  OnOutputMode();
}

void CPageSystem::RefreshPool() {
  if (host_) host_->RefreshGpioAvailability();
}

void CPageSystem::OnDebugPort() {
  debugIfaceEnabled_ = debugPort != 0;
  if (host_) {
    const uint32_t reserved = host_->ReservedGpioMask();
    host_->SetReservedGpioMask(debugPort ? reserved | kDebugPortPins : reserved & ~kDebugPortPins);
  }
  RefreshPool();
}

void CPageSystem::OnSpi() {
  if (host_) {
    const uint32_t reserved = host_->ReservedGpioMask();
    host_->SetReservedGpioMask(spi ? reserved | kSpiPins : reserved & ~kSpiPins);
  }
  RefreshPool();
}

void CPageSystem::OnPaMuteEnable() {
  paMuteControlsEnabled_ = paMuteEnable != 0;
  RefreshPool();
}

void CPageSystem::OnLineInEnable() {
  lineInControlsEnabled_ = lineInEnable != 0;
  RefreshPool();
}

void CPageSystem::OnLineInAdc() {
  // Detection by ADC needs no detect pin, whatever "Line in Enable" says.
  lineInControlsEnabled_ = lineInAdc == 0;
  RefreshPool();
}

void CPageSystem::OnSdEnable() {
  sdSeparatePinEnabled_ = sdEnable != 0;
  sdDetectSelectorEnabled_ = sdSeparatePin != 0;
  RefreshPool();
}

void CPageSystem::OnSdSeparatePin() {
  sdDetectSelectorEnabled_ = sdSeparatePin != 0;
  RefreshPool();
}

void CPageSystem::OnOutputMode() { roadRadiosEnabled_ = outputMode == 0; }

void CPageSystem::OnPaMuteSelected(int index) {
  paMuteCombo.Select(index);
  paMuteGpio = GpioNumberFromText(paMuteCombo.Text());
  RefreshPool();
}

void CPageSystem::OnLineInSelected(int index) {
  lineInCombo.Select(index);
  lineInGpio = GpioNumberFromText(lineInCombo.Text());
  RefreshPool();
}

void CPageSystem::OnSdDetectSelected(int index) {
  sdDetectCombo.Select(index);
  sdDetectGpio = GpioNumberFromText(sdDetectCombo.Text());
  RefreshPool();
}

void CPageSystem::OnChannelChanged(int index) {
  channel.Select(index);
  RebuildAlarmList();
}

void CPageSystem::OnAlarmChanged(int index) {
  alarmThreshold.Select(index);
  RebuildShutdownList();
}

void CPageSystem::SelectRemembered(Selector& combo, int& gpio, uint32_t& mask) {
  const int i = (GpioBit(gpio) & mask) ? combo.FindPrefix(GpioText(gpio)) : -1;
  if (i >= 0) {
    combo.Select(i);
  } else {
    // The remembered pin is gone: take the first free one (GPIO 0 from an empty list).
    gpio = GpioNumberFromText(combo.Text());
  }
  mask &= ~GpioBit(gpio);
}

void CPageSystem::AllocateGpios(uint32_t mask) {
  FillGpioCombo(paMuteCombo, mask);
  paMuteCombo.Select(0);
  if (paMuteEnable) SelectRemembered(paMuteCombo, paMuteGpio, mask);

  FillGpioCombo(lineInCombo, mask);
  lineInCombo.Select(0);
  if (lineInEnable && !lineInAdc) SelectRemembered(lineInCombo, lineInGpio, mask);

  FillGpioCombo(sdDetectCombo, mask);
  sdDetectCombo.Select(0);
  if (sdEnable) {
    if (!sdSeparatePin) sdDetectGpio = kFixedSdDetectGpio;
    SelectRemembered(sdDetectCombo, sdDetectGpio, mask);
  }

  if (host_) host_->SetAvailableGpioMask(mask);
}

void CPageSystem::RebuildAlarmList() {
  RebuildAlarmList(channel.selected == 0 ? kAlarmDefaultVbat : kAlarmDefaultOther);
}

void CPageSystem::RebuildAlarmList(int selection) {
  alarmThreshold.Clear();
  const char* const* list = ThresholdList(channel.selected);
  for (int k = 0; k < kThresholdEntries; ++k) alarmThreshold.Add(list[k]);
  alarmThreshold.Select(selection);
  RebuildShutdownList();
}

void CPageSystem::RebuildShutdownList() {
  // The shutdown level is always at least two steps below the alarm level.
  shutdownThreshold.Clear();
  const int a = alarmThreshold.selected;
  const char* const* list = ThresholdList(channel.selected);
  for (int k = 0; k < a - 1 && k < kThresholdEntries; ++k) shutdownThreshold.Add(list[k]);
  shutdownThreshold.Select(a - 2);
}

int CPageSystem::BatteryLevel(int channelIndex, int selection) {
  // Integer arithmetic as the firmware's ADC scale: 551 is 2.8 V on VBAT.
  if (channelIndex == 0) return (selection + 28) * 866 / 44;
  return 73 * (selection + 1);
}

int CPageSystem::BatterySelection(int channelIndex, unsigned level) {
  const int l = static_cast<int>(level & 0x3FF);
  if (channelIndex == 0) return l * 44 / 866 - 27;
  return l * 5 / 365 - 1;
}

std::optional<FieldError> CPageSystem::ReadBack(const std::function<std::string(int)>& controlText) {
  return ControlSet(*this, ControlDecls()).ReadBackTexts(controlText);
}

std::string CPageSystem::ControlText(int controlId) const {
  return decl::ShownText(ControlDecls(), *this, controlId);
}

bool CPageSystem::CollectInto(ConfigRecord& record, bool ledPolarityReversed, MessageSink& sink) const {
  uint8_t* r = record.data();
  // Above 655 s the value x 100 no longer fits the record's 16 bits and the board would
  // sleep after some other time.
  if (sleepTimeoutS > static_cast<unsigned>(kMaxSleepTimeoutS)) {
    sink.Show(IntRangeMessage(0, kMaxSleepTimeoutS));
    return false;
  }
  uint32_t flags = 0;
  if (debugPort) flags |= debugIface == 0 ? 1u : debugIface == 1 ? 2u : 0u;
  PutBit(flags, sysbit::kSpi, spi);
  PutBit(flags, sysbit::kPaMute, paMuteEnable);
  PutBit(flags, sysbit::kLineIn, lineInEnable);
  PutBit(flags, sysbit::kLineInHigh, lineInHigh);
  PutBit(flags, sysbit::kLineInAdc, lineInAdc);
  PutBit(flags, sysbit::kPaMuteHigh, paMuteHigh);
  PutBit(flags, sysbit::kSdCard, sdEnable);
  PutBit(flags, sysbit::kSdDetectPin, sdSeparatePin);
  PutBit(flags, sysbit::kDifferential, outputMode == 1);
  PutBit(flags, sysbit::kNRoad, roadSelect == 0);
  PutBit(flags, sysbit::kLedPolarity, ledPolarityReversed);
  PutU8(r, rec::led_polarity_reversed, ledPolarityReversed ? 1 : 0);
  PutBit(flags, sysbit::kFadeIn, fadeIn);

  PutU8(r, rec::power_switch_mode, 0);
  if (softBoot) {
    if (externalMos) {
      PutU32(r, rec::sys_flags, flags);
      sink.Show("不能同时选中外部MOS开关机和软关机");
      return false;
    }
    flags |= 1u << sysbit::kSoftBoot;
    PutU8(r, rec::power_switch_mode, 0xAA);
  }
  if (externalMos) {
    // The external switch is driven from a real pin; GPIO23 and above do not exist.
    if (powerKeyGpio > 22) {
      PutU32(r, rec::sys_flags, flags);
      sink.Show("外部MOS开关机控制脚无效");
      return false;
    }
    flags |= 1u << sysbit::kExternalMos;
    PutU8(r, rec::power_switch_mode, 0x55);
  }
  PutBit(flags, sysbit::kNoSpeakerphone, noSpeakerphone);
  flags |= static_cast<uint32_t>(micBias.selected & 3) << sysbit::kMicBiasShift;
  PutU32(r, rec::sys_flags, flags);

  // The selectors' texts, not the remembered numbers: what the user sees is stored.
  PutU8(r, rec::linein_detect_gpio, static_cast<uint32_t>(GpioNumberFromText(lineInCombo.Text())));
  PutU8(r, rec::sd_detect_gpio,
        sdEnable ? static_cast<uint32_t>(GpioNumberFromText(sdDetectCombo.Text())) : kGpioUnused);
  PutU8(r, rec::pa_mute_gpio, static_cast<uint32_t>(GpioNumberFromText(paMuteCombo.Text())));

  PutU8(r, rec::power_key_gpio, static_cast<uint32_t>(powerKeyGpio));
  PutU8(r, rec::power_key_active_high, static_cast<uint32_t>(powerKeyActiveHigh));

  const int ch = channel.selected;
  PutU8(r, rec::battery_channel, static_cast<uint32_t>(ch));
  PutU32(r, rec::battery_check_interval, detectIntervalS * 100u);
  PutU16(r, rec::low_battery_alarm_level, static_cast<uint32_t>(BatteryLevel(ch, alarmThreshold.selected)));
  PutU16(r, rec::low_battery_shutdown_level, static_cast<uint32_t>(BatteryLevel(ch, shutdownThreshold.selected)));
  PutU16(r, rec::high_current_level, 0);
  PutU16(r, rec::charge_full_level, 0);
  PutU16(r, rec::sleep_timeout, sleepTimeoutS * 100u);
  PutU32(r, rec::shutdown_timeout, static_cast<uint32_t>(shutdownTimeoutS) * 100u);

  PutU8(r, rec::a2dp_volume, static_cast<uint32_t>(a2dpVolume));
  PutU8(r, rec::hfp_volume, static_cast<uint32_t>(hfpVolume));
  PutU8(r, rec::prompt_volume, static_cast<uint32_t>(promptVolume));
  PutU8(r, rec::mic_volume, static_cast<uint32_t>(micVolume));
  return true;
}

void CPageSystem::RestoreFrom(const ConfigRecord& record) {
  const uint8_t* r = record.data();
  a2dpVolume = GetU8(r, rec::a2dp_volume);
  hfpVolume = GetU8(r, rec::hfp_volume);
  promptVolume = GetU8(r, rec::prompt_volume);
  micVolume = GetU8(r, rec::mic_volume);
  sleepTimeoutS = GetU16(r, rec::sleep_timeout) / 100u;
  shutdownTimeoutS = GetI32(r, rec::shutdown_timeout) / 100;
  detectIntervalS = GetU32(r, rec::battery_check_interval) / 100;
  powerKeyGpio = GetU8(r, rec::power_key_gpio);
  powerKeyActiveHigh = GetU8(r, rec::power_key_active_high);

  // Battery: the alarm choice decides the shutdown list, so it goes first.
  const int ch = GetU8(r, rec::battery_channel) == 0 ? 0 : 1;
  channel.Select(ch);
  RebuildAlarmList(BatterySelection(ch, GetU16(r, rec::low_battery_alarm_level)));
  shutdownThreshold.Select(BatterySelection(ch, GetU16(r, rec::low_battery_shutdown_level)));
  // Hidden charging lists; the stored 0 leaves them without a selection.
  highCurrentThreshold.Select((static_cast<int>(GetU16(r, rec::high_current_level) & 0x3FF) - 441) * 15 / 280 + 1);
  powerFullThreshold.Select((static_cast<int>(GetU16(r, rec::charge_full_level) & 0x3FF) - 700) * 15 / 280 + 1);

  const uint32_t flags = GetU32(r, rec::sys_flags);
  if (flags & sysbit::kDebugMask) {
    debugPort = 1;
    debugIface = (flags & 1u) ? 0 : 1;
  } else {
    debugPort = 0;
    debugIface = -1;
  }

  lineInGpio = GetU8(r, rec::linein_detect_gpio);
  paMuteGpio = GetU8(r, rec::pa_mute_gpio);
  sdDetectGpio = GetU8(r, rec::sd_detect_gpio);
  spi = Bit(flags, sysbit::kSpi);
  lineInEnable = Bit(flags, sysbit::kLineIn);
  lineInHigh = Bit(flags, sysbit::kLineInHigh);
  paMuteEnable = Bit(flags, sysbit::kPaMute);
  paMuteHigh = Bit(flags, sysbit::kPaMuteHigh);
  outputMode = Bit(flags, sysbit::kDifferential);
  roadSelect = Bit(flags, sysbit::kNRoad) ? 0 : 1;
  fadeIn = Bit(flags, sysbit::kFadeIn);
  softBoot = Bit(flags, sysbit::kSoftBoot);
  externalMos = Bit(flags, sysbit::kExternalMos);
  sdEnable = Bit(flags, sysbit::kSdCard);
  lineInAdc = Bit(flags, sysbit::kLineInAdc);
  sdSeparatePin = Bit(flags, sysbit::kSdDetectPin);
  noSpeakerphone = Bit(flags, sysbit::kNoSpeakerphone);
  micBias.Select(static_cast<int>((flags >> sysbit::kMicBiasShift) & 3u));

  // Until the pool refresh rebuilds the lists, show the loaded pins. Matched against
  // the list's own "GPIO%02d" form: "GPIO2" as a prefix would pick GPIO20.
  lineInCombo.SelectOrAdd(GpioText(lineInGpio));
  sdDetectCombo.SelectOrAdd(GpioText(sdDetectGpio));
  paMuteCombo.SelectOrAdd(GpioText(paMuteGpio));
}

void CPageSystem::Reapply() {
  OnDebugPort();
  OnSpi();
  OnLineInEnable();
  OnPaMuteEnable();
  OnSdEnable();
  OnSdSeparatePin();
  // Not among the loaded rules before, which left the N/P radios' enable state stale.
  OnOutputMode();
  OnPaMuteSelected(paMuteCombo.selected);
  OnLineInSelected(lineInCombo.selected);
}

const ControlTable<CPageSystem>& CPageSystem::ControlDecls() {
  using P = CPageSystem;
  using namespace decl;
  using K = FieldKind;
  // The check boxes' handlers read the page back first, all but "AD for linein
  // detection"; the selector and radio handlers work on their controls alone.
  static const ControlTable<P> kTable = {
      // GPIO configuration
      Check<P, &P::debugPort>(kIdDebugPort).Then([](P& p) { p.OnDebugPort(); })
          .AfterReadBack(),
      Radio<P, &P::debugIface>({kIdUart, kIdIic}).When([](const P& p) { return p.DebugIfaceEnabled(); }),
      Check<P, &P::spi>(kIdSpi).When([](const P& p) { return p.spiCheckEnabled; }).Then([](P& p) { p.OnSpi(); })
          .AfterReadBack(),
      Check<P, &P::paMuteEnable>(kIdPaMuteEnable).Then([](P& p) { p.OnPaMuteEnable(); })
          .AfterReadBack(),
      Check<P, &P::paMuteHigh>(kIdPaMuteHigh).When([](const P& p) { return p.PaMuteControlsEnabled(); }),
      Combo<P, &P::paMuteCombo>(kIdPaMuteGpio)
          .When([](const P& p) { return p.PaMuteControlsEnabled(); })
          .Then([](P& p) { p.OnPaMuteSelected(p.paMuteCombo.selected); }),
      Check<P, &P::lineInEnable>(kIdLineInEnable).Then([](P& p) { p.OnLineInEnable(); })
          .AfterReadBack(),
      Check<P, &P::lineInHigh>(kIdLineInHigh).When([](const P& p) { return p.LineInControlsEnabled(); }),
      Combo<P, &P::lineInCombo>(kIdLineInGpio)
          .When([](const P& p) { return p.LineInControlsEnabled(); })
          .Then([](P& p) { p.OnLineInSelected(p.lineInCombo.selected); }),
      Check<P, &P::lineInAdc>(kIdLineInAdc).Then([](P& p) { p.OnLineInAdc(); }),
      Check<P, &P::sdEnable>(kIdSdEnable).Then([](P& p) { p.OnSdEnable(); })
          .AfterReadBack(),
      Check<P, &P::sdSeparatePin>(kIdSdSeparatePin)
          .When([](const P& p) { return p.SdSeparatePinEnabled(); })
          .Then([](P& p) { p.OnSdSeparatePin(); })
          .AfterReadBack(),
      Combo<P, &P::sdDetectCombo>(kIdSdDetectGpio)
          .When([](const P& p) { return p.SdDetectSelectorEnabled(); })
          .Then([](P& p) { p.OnSdDetectSelected(p.sdDetectCombo.selected); }),
      // Audio parameters
      Edit<P, &P::a2dpVolume>(Range(kIdA2dpVolume, K::Byte, 0, 15)),
      Edit<P, &P::promptVolume>(Range(kIdPromptVolume, K::Byte, 0, 15)),
      Edit<P, &P::hfpVolume>(Range(kIdHfpVolume, K::Byte, 0, 15)),
      Edit<P, &P::micVolume>(Range(kIdMicVolume, K::Byte, 0, 95)),
      Check<P, &P::noSpeakerphone>(kIdNoSpeakerphone),
      Radio<P, &P::outputMode>({kIdSingleEnded, kIdDifferential}).Then([](P& p) { p.OnOutputMode(); }),
      Radio<P, &P::roadSelect>({kIdNRoad, kIdPRoad}).When([](const P& p) { return p.RoadRadiosEnabled(); }),
      // Low power configuration
      Combo<P, &P::channel>(kIdChannel).Then([](P& p) { p.OnChannelChanged(p.channel.selected); }),
      Edit<P, &P::detectIntervalS>(Field(kIdDetectInterval, K::UInt)),
      Combo<P, &P::alarmThreshold>(kIdAlarmThreshold).Then([](P& p) { p.OnAlarmChanged(p.alarmThreshold.selected); }),
      Combo<P, &P::shutdownThreshold>(kIdShutdownThreshold),
      // Charging configuration (hidden controls)
      Combo<P, &P::highCurrentThreshold>(kIdHighCurrent),
      Combo<P, &P::powerFullThreshold>(kIdPowerFull),
      Check<P, &P::analogBuck>(kIdAnalogBuck),
      Check<P, &P::digitalBuck>(kIdDigitalBuck),
      Check<P, &P::fadeIn>(kIdFadeIn),
      // Other. The record keeps the sleep timeout as s x 100 in 16 bits: 655 s at most.
      Edit<P, &P::sleepTimeoutS>(Range(kIdSleepTimeout, K::UInt, 0, kMaxSleepTimeoutS)),
      Edit<P, &P::shutdownTimeoutS>(Field(kIdShutdownTimeout, K::Int)),
      Check<P, &P::softBoot>(kIdSoftBoot),
      Check<P, &P::externalMos>(kIdExternalMos),
      Edit<P, &P::powerKeyGpio>(Field(kIdPowerKeyGpio, K::Byte)),
      Check<P, &P::powerKeyActiveHigh>(kIdPowerKeyActiveHigh),
      Combo<P, &P::micBias>(kIdMicBias),
  };
  return kTable;
}

}  // namespace tessera
