#include "tessera/core/config/RecordLayout.h"

#include "tessera/core/config/ConfigFile.h"
#include "tessera/core/config/ConfigRecord.h"
#include "tessera/core/config/TableEntries.h"

namespace tessera::layout {
namespace {

// ---- record ----------------------------------------------------------------

// sys_flags: bits 0-1 are the debug port (sysbit::kDebugMask).
constexpr BitField kSysBits[] = {
    {"debug_port", 0, 2, &kDebugPortNames},
    {"spi", sysbit::kSpi, 1, nullptr},
    {"line_in_enable", sysbit::kLineIn, 1, nullptr},
    {"line_in_active_high", sysbit::kLineInHigh, 1, nullptr},
    {"pa_mute_enable", sysbit::kPaMute, 1, nullptr},
    {"pa_mute_active_high", sysbit::kPaMuteHigh, 1, nullptr},
    {"differential_output", sysbit::kDifferential, 1, nullptr},
    {"n_road", sysbit::kNRoad, 1, nullptr},
    {"led_polarity_reversed", sysbit::kLedPolarity, 1, nullptr},
    {"sound_fade_in", sysbit::kFadeIn, 1, nullptr},
    {"soft_boot", sysbit::kSoftBoot, 1, nullptr},
    {"mic_bias", sysbit::kMicBiasShift, 2, &kMicBiasNames},
    {"external_mos_switch", sysbit::kExternalMos, 1, nullptr},
    {"sd_card_enable", sysbit::kSdCard, 1, nullptr},
    {"line_in_detect_by_adc", sysbit::kLineInAdc, 1, nullptr},
    {"separate_sd_detect_pin", sysbit::kSdDetectPin, 1, nullptr},
    {"no_speakerphone", sysbit::kNoSpeakerphone, 1, nullptr},
};

constexpr BitField kBtBits[] = {
    {"a2dp", btbit::kA2dp, 1, nullptr},
    {"hfp", btbit::kHfp, 1, nullptr},
    {"hsp", btbit::kHsp, 1, nullptr},
    {"auto_reconnect", btbit::kAutoReconnect, 1, nullptr},
    {"connection_recovery", btbit::kRecovery, 1, nullptr},
    {"reconnect_address_polling", btbit::kAddressPolling, 1, nullptr},
    {"voice_report", btbit::kVoiceReport, 1, nullptr},
    {"periodic_reconnect", btbit::kPeriodicReconnect, 1, nullptr},
    {"battery_display", btbit::kBatteryDisplay, 1, nullptr},
};

constexpr Field kPromptSlotFields[] = {
    {"present", Kind::U8, rec::slot_present},         {"kind", Kind::NamedU8, rec::slot_kind, 0, &kSoundKindNames},
    {"wave_start", Kind::U16, rec::slot_wave_start},     {"dtmf_steps", Kind::Hex32, rec::slot_dtmf_steps},
    {"dtmf_control", Kind::Hex32, rec::slot_dtmf_control},
};
constexpr ArraySpec kPromptSlots{
    rec::prompt_slot_size, rec::prompt_events, kPromptSlotFields, &kPromptEventNames, 1, false};

constexpr Field kLedPatternFields[] = {
    {"led", Kind::NamedU8, rec::pattern_led, 0, &kLedOutputNames},
    {"on_ms", Kind::U16, rec::pattern_on_ms},
    {"off_ms", Kind::U16, rec::pattern_off_ms},
    {"repeat_s", Kind::U8, rec::pattern_repeat_s},
    {"flash_count", Kind::U8, rec::pattern_flash_count},
    {"timeout_ms", Kind::I32, rec::pattern_timeout_ms},
};
constexpr ArraySpec kLedPatterns{
    rec::led_pattern_size, rec::led_events, kLedPatternFields, &kLedEventNames, 1, false};

constexpr Field kKeyWordFields[] = {{"word", Kind::Hex32, 0}};
constexpr ArraySpec kKeyWords{rec::key_word_size, rec::key_events, kKeyWordFields, &kKeyEventNames, 1, false};

constexpr Field kEqCoeffFields[] = {
    {"enabled", Kind::U8, EqBandCoeffs::kAtEnabled}, {"a1", Kind::I32, EqBandCoeffs::kAtA1},  {"a2", Kind::I32, EqBandCoeffs::kAtA2},
    {"b0", Kind::I32, EqBandCoeffs::kAtB0},     {"b1", Kind::I32, EqBandCoeffs::kAtB1}, {"b2", Kind::I32, EqBandCoeffs::kAtB2},
};
constexpr ArraySpec kEqCoeffs{EqBandCoeffs::kSize, kEqBands, kEqCoeffFields, nullptr, 0, false};

constexpr Field kVoiceEqFields[] = {
    {"type", Kind::NamedU8, VoiceEqParams::kAtType, 0, &kEqTypeNames},
    {"high_low", Kind::NamedU8, VoiceEqParams::kAtHighLow, 0, &kEqSideNames},
    {"padding", Kind::U16, VoiceEqParams::kAtPadding},
    {"gain_db", Kind::I32, VoiceEqParams::kAtGainDb},
    {"center_hz", Kind::I32, VoiceEqParams::kAtCenterHz},
    {"sample_hz", Kind::I32, VoiceEqParams::kAtSampleHz},
    {"bandwidth_hz", Kind::I32, VoiceEqParams::kAtBandwidthHz},
};
constexpr ArraySpec kVoiceEqArray{
    VoiceEqParams::kSize, kVoiceEqs, kVoiceEqFields, nullptr, 0, false};

constexpr Field kRecordFields[] = {
    {"config_valid", Kind::U8, rec::config_valid},
    {"sys_flags", Kind::Flags, rec::sys_flags, 0, nullptr, kSysBits},
    {"pa_mute_gpio", Kind::Gpio, rec::pa_mute_gpio},
    {"linein_detect_gpio", Kind::Gpio, rec::linein_detect_gpio},
    {"sd_detect_gpio", Kind::Gpio, rec::sd_detect_gpio},
    {"a2dp_volume", Kind::U8, rec::a2dp_volume},
    {"hfp_volume", Kind::U8, rec::hfp_volume},
    {"prompt_volume", Kind::U8, rec::prompt_volume},
    {"mic_volume", Kind::U8, rec::mic_volume},
    {"battery_channel", Kind::U8, rec::battery_channel},
    {"battery_check_interval", Kind::U32, rec::battery_check_interval},
    {"low_battery_alarm_level", Kind::U16, rec::low_battery_alarm_level},
    {"low_battery_shutdown_level", Kind::U16, rec::low_battery_shutdown_level},
    {"high_current_level", Kind::U16, rec::high_current_level},
    {"charge_full_level", Kind::U16, rec::charge_full_level},
    {"sleep_timeout", Kind::U16, rec::sleep_timeout},
    {"shutdown_timeout", Kind::I32, rec::shutdown_timeout},
    {"status_led_gpio", Kind::Gpio, rec::status_led_gpio},
    {"led_polarity_reversed", Kind::U8, rec::led_polarity_reversed},
    {"power_key_gpio", Kind::U8, rec::power_key_gpio},
    {"power_key_active_high", Kind::U8, rec::power_key_active_high},
    {"power_switch_mode", Kind::U8, rec::power_switch_mode},
    {"reserved_024", Kind::Bytes, rec::reserved_024, rec::reserved_024_len},
    {"bt_flags", Kind::Flags, rec::bt_flags, 0, nullptr, kBtBits},
    {"device_class", Kind::NamedU8, rec::device_class, 0, &kDeviceClassNames},
    {"device_name", Kind::Text, rec::device_name, rec::device_name_len},
    {"pin_code", Kind::Text, rec::pin_code, rec::pin_code_len},
    {"bt_address", Kind::BtAddress, rec::bt_address, 6},
    {"recovery_mode", Kind::U8, rec::recovery_mode},
    {"recovery_startup_delay", Kind::U32, rec::recovery_startup_delay},
    {"recovery_retries", Kind::I8, rec::recovery_retries},
    {"recovery_retry_interval", Kind::U32, rec::recovery_retry_interval},
    {"reconnect_count", Kind::U8, rec::reconnect_count},
    {"reconnect_interval", Kind::U16, rec::reconnect_interval},
    {"pairing_timeout", Kind::I16, rec::pairing_timeout},
    {"auto_off_conditions", Kind::U8, rec::auto_off_conditions},
    {"disconnect_action", Kind::U8, rec::disconnect_action},
    {"reserved_07b", Kind::Bytes, rec::reserved_07b, rec::reserved_07b_len},
    {"prompt_language", Kind::U8, rec::prompt_language},
    {"prompt_slots", Kind::Array, rec::PromptSlotOffset(1), 0, nullptr, {}, &kPromptSlots},
    {"led0_gpio", Kind::Gpio, rec::led0_gpio},
    {"led1_gpio", Kind::Gpio, rec::led1_gpio},
    {"low_power_led_gpio", Kind::Gpio, rec::low_power_led_gpio},
    {"led_patterns", Kind::Array, rec::led_patterns_base, 0, nullptr, {}, &kLedPatterns},
    {"key_click_time", Kind::U16, rec::key_click_time},
    {"key_repeat_time", Kind::U16, rec::key_repeat_time},
    {"key_long_press_time", Kind::U16, rec::key_long_press_time},
    {"key_extra_long_delta", Kind::U16, rec::key_extra_long_delta},
    {"key_double_click_gap", Kind::U16, rec::key_double_click_gap},
    {"reserved_38f", Kind::Bytes, rec::reserved_38f, rec::reserved_38f_len},
    {"key_events", Kind::Array, rec::KeyEventOffset(1), 0, nullptr, {}, &kKeyWords},
    {"eq_bands", Kind::Array, rec::eq_bands, 0, nullptr, {}, &kEqCoeffs},
    {"noise_suppression", Kind::U32, rec::noise_suppression},
    {"echo_suppression", Kind::U32, rec::echo_suppression},
    {"voice_eq", Kind::Array, rec::voice_eq, 0, nullptr, {}, &kVoiceEqArray},
    {"voice_eq0_enable", Kind::U8, rec::voice_eq0_enable},
    {"voice_eq1_enable", Kind::U8, rec::voice_eq1_enable},
};

// ---- tables ----------------------------------------------------------------

constexpr Field kSoundFields[] = {
    {"enabled", Kind::I32, SoundEffectEntry::kAtEnabled},
    {"event", Kind::NamedI32, SoundEffectEntry::kAtEvent, 0, &kPromptEventNames},
    {"kind", Kind::NamedI32, SoundEffectEntry::kAtKind, 0, &kSoundKindNames},
    {"path", Kind::Text, SoundEffectEntry::kAtPath, SoundEffectEntry::kPathSize},
    {"file_size", Kind::I32, SoundEffectEntry::kAtFileSize},
    {"pattern", Kind::NamedI32, SoundEffectEntry::kAtPattern, 0, &kDtmfPatternNames},
    {"mode", Kind::NamedI32, SoundEffectEntry::kAtMode, 0, &kDtmfModeNames},
    {"duration", Kind::U32, SoundEffectEntry::kAtDuration},
    {"pause", Kind::U32, SoundEffectEntry::kAtPause},
    {"f1_gain", Kind::I32, SoundEffectEntry::kAtF1Gain},
    {"f1_step", Kind::U32, SoundEffectEntry::kAtF1Step},
    {"f1_enable", Kind::I32, SoundEffectEntry::kAtF1Enable},
    {"f2_gain", Kind::I32, SoundEffectEntry::kAtF2Gain},
    {"f2_step", Kind::U32, SoundEffectEntry::kAtF2Step},
    {"f2_enable", Kind::I32, SoundEffectEntry::kAtF2Enable},
};
constexpr ArraySpec kSoundTable{
    SoundEffectEntry::kSize, kSoundEntries, kSoundFields, nullptr, 0, true};

constexpr Field kLedFields[] = {
    {"event", Kind::NamedI32, LedEventEntry::kAtEvent, 0, &kLedEventNames},
    {"led", Kind::NamedI32, LedEventEntry::kAtLed, 0, &kLedOutputNames},
    {"reserved", Kind::I32, LedEventEntry::kAtReserved},
    {"on_ms", Kind::U32, LedEventEntry::kAtOnMs},
    {"off_ms", Kind::U32, LedEventEntry::kAtOffMs},
    {"repeat_s", Kind::U8, LedEventEntry::kAtRepeatS},
    {"flash_count", Kind::U8, LedEventEntry::kAtFlashCount},
    {"padding", Kind::U16, LedEventEntry::kAtPadding},
    {"timeout_ms", Kind::I32, LedEventEntry::kAtTimeoutMs},
};
constexpr ArraySpec kLedTable{LedEventEntry::kSize, kLedEntries, kLedFields, nullptr, 0, true};

constexpr Field kKeyFields[] = {
    {"event", Kind::NamedI32, KeyEventEntry::kAtEvent, 0, &kKeyEventNames},
    {"gpios", Kind::GpioMask, KeyEventEntry::kAtGpioMask},
    {"type", Kind::NamedI32, KeyEventEntry::kAtType, 0, &kKeyTypeNames},
    {"state", Kind::NamedI32, KeyEventEntry::kAtState, 0, &kKeyStateNames},
};
constexpr ArraySpec kKeyTable{KeyEventEntry::kSize, kKeyEntries, kKeyFields, nullptr, 0, true};

constexpr Field kEqFields[] = {
    {"enabled", Kind::I32, EqBandParams::kAtEnabled},
    {"type", Kind::NamedI32, EqBandParams::kAtType, 0, &kEqTypeNames},
    {"high_low", Kind::NamedI32, EqBandParams::kAtHighLow, 0, &kEqSideNames},
    {"gain_db", Kind::F32, EqBandParams::kAtGainDb},
    {"center_hz", Kind::I32, EqBandParams::kAtCenterHz},
    {"sample_hz", Kind::I32, EqBandParams::kAtSampleHz},
    {"bandwidth_hz", Kind::I32, EqBandParams::kAtBandwidthHz},
};
constexpr ArraySpec kEqTable{EqBandParams::kSize, kEqBands, kEqFields, nullptr, 0, false};

constexpr Field kFileFields[] = {
    {"sound_effects", Kind::Array, cfgfile::kSound, 0, nullptr, {}, &kSoundTable},
    {"leds", Kind::Array, cfgfile::kLed, 0, nullptr, {}, &kLedTable},
    {"keys", Kind::Array, cfgfile::kKeys, 0, nullptr, {}, &kKeyTable},
    {"eq", Kind::Array, cfgfile::kEq, 0, nullptr, {}, &kEqTable},
    {"flash_type", Kind::NamedI32, cfgfile::kFlashIndex, 0, &kFlashTypeNameTable},
    {"chip_type", Kind::NamedI32, cfgfile::kChipIndex, 0, &kChipTypeNameTable},
};

}  // namespace

std::span<const Field> RecordFields() { return kRecordFields; }
std::span<const Field> FileFields() { return kFileFields; }

}  // namespace tessera::layout
