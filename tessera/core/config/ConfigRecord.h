#pragma once
// The 1178-byte configuration record the firmware reads at the start of the 4 KiB
// configuration sector after the code area. Packed, little-endian, fields at odd
// offsets: it is kept as bytes and every field is written at its offset.
#include <array>
#include <cstddef>
#include <cstdint>

namespace tessera {

namespace rec {
constexpr size_t kSize = 1178;  // 0x49A
constexpr size_t config_valid = 0x000;
constexpr size_t sys_flags = 0x001;              // u32
constexpr size_t pa_mute_gpio = 0x005;
constexpr size_t linein_detect_gpio = 0x006;
constexpr size_t sd_detect_gpio = 0x007;
constexpr size_t a2dp_volume = 0x008;
constexpr size_t hfp_volume = 0x009;
constexpr size_t prompt_volume = 0x00A;
constexpr size_t mic_volume = 0x00B;
constexpr size_t battery_channel = 0x00C;
constexpr size_t battery_check_interval = 0x00D;  // u32, s x 100
constexpr size_t low_battery_alarm_level = 0x011;  // u16
constexpr size_t low_battery_shutdown_level = 0x013;  // u16
constexpr size_t high_current_level = 0x015;  // u16
constexpr size_t charge_full_level = 0x017;   // u16
constexpr size_t sleep_timeout = 0x019;       // u16, s x 100
constexpr size_t shutdown_timeout = 0x01B;    // u32, s x 100
constexpr size_t status_led_gpio = 0x01F;
constexpr size_t led_polarity_reversed = 0x020;
constexpr size_t power_key_gpio = 0x021;
constexpr size_t power_key_active_high = 0x022;
constexpr size_t power_switch_mode = 0x023;
constexpr size_t reserved_024 = 0x024;        // 11 bytes, written 0
constexpr size_t reserved_024_len = 11;
constexpr size_t bt_flags = 0x02F;            // u32
constexpr size_t device_class = 0x033;
constexpr size_t device_name = 0x034;         // char[32]
constexpr size_t device_name_len = 32;
constexpr size_t pin_code = 0x054;            // char[16]
constexpr size_t pin_code_len = 16;
constexpr size_t bt_address = 0x064;          // u8[6], least significant byte first
constexpr size_t recovery_mode = 0x06A;
constexpr size_t recovery_startup_delay = 0x06B;  // u32 ms
constexpr size_t recovery_retries = 0x06F;
constexpr size_t recovery_retry_interval = 0x070;  // u32
constexpr size_t reconnect_count = 0x074;
constexpr size_t reconnect_interval = 0x075;  // u16
constexpr size_t pairing_timeout = 0x077;     // u16 (signed)
constexpr size_t auto_off_conditions = 0x079;
constexpr size_t disconnect_action = 0x07A;
constexpr size_t reserved_07b = 0x07B;        // 16 bytes, written 0
constexpr size_t reserved_07b_len = 16;
constexpr size_t prompt_language = 0x08B;
constexpr size_t prompt_slots_base = 0x080;   // slot of event e at 0x080 + 12 e, e = 1..43
constexpr size_t prompt_slot_size = 12;
// Parts of a prompt slot.
constexpr size_t slot_present = 0;       // u8, 1
constexpr size_t slot_kind = 1;          // u8, 0 wave, 1 DTMF
constexpr size_t slot_wave_start = 2;    // u16, in 256-byte units
constexpr size_t slot_dtmf_steps = 4;    // u32, F1 step << 16 | F2 step
constexpr size_t slot_dtmf_control = 8;  // u32
constexpr int prompt_events = 43;
constexpr size_t led0_gpio = 0x290;
constexpr size_t led1_gpio = 0x291;
constexpr size_t low_power_led_gpio = 0x292;
constexpr size_t led_patterns_base = 0x293;   // event e at 0x293 + 11 (e - 1), e = 1..22
constexpr size_t led_pattern_size = 11;
// Parts of an LED pattern.
constexpr size_t pattern_led = 0;          // u8
constexpr size_t pattern_on_ms = 1;        // u16
constexpr size_t pattern_off_ms = 3;       // u16
constexpr size_t pattern_repeat_s = 5;     // u8
constexpr size_t pattern_flash_count = 6;  // u8
constexpr size_t pattern_timeout_ms = 7;   // i32
constexpr int led_events = 22;
constexpr size_t key_click_time = 0x385;      // u16, ms / 10
constexpr size_t key_repeat_time = 0x387;
constexpr size_t key_long_press_time = 0x389;
constexpr size_t key_extra_long_delta = 0x38B;
constexpr size_t key_double_click_gap = 0x38D;
constexpr size_t key_events_base = 0x38F;     // event e at 0x38F + 4 e, e = 1..27
constexpr size_t key_word_size = 4;
constexpr int key_events = 27;
constexpr size_t reserved_38f = 0x38F;        // 4 bytes: the word of key event 0, written 0
constexpr size_t reserved_38f_len = 4;
constexpr size_t eq_bands = 0x3FF;            // 5 x 21 bytes
constexpr size_t noise_suppression = 0x468;   // u32
constexpr size_t echo_suppression = 0x46C;    // u32
constexpr size_t voice_eq = 0x470;            // 2 x 20 bytes
constexpr size_t voice_eq0_enable = 0x498;
constexpr size_t voice_eq1_enable = 0x499;

constexpr size_t PromptSlotOffset(int e) { return prompt_slots_base + prompt_slot_size * static_cast<size_t>(e); }
constexpr size_t LedPatternOffset(int e) { return led_patterns_base + led_pattern_size * static_cast<size_t>(e - 1); }
constexpr size_t KeyEventOffset(int e) { return key_events_base + key_word_size * static_cast<size_t>(e); }
static_assert(PromptSlotOffset(43) + prompt_slot_size == led0_gpio);
static_assert(LedPatternOffset(22) + led_pattern_size == key_click_time);
static_assert(KeyEventOffset(27) + key_word_size == eq_bands);
static_assert(voice_eq1_enable + 1 == kSize);
}  // namespace rec

// sys_flags bits
namespace sysbit {
constexpr uint32_t kDebugMask = 0x3;   // 1 UART, 2 IIC
constexpr int kSpi = 2, kLineIn = 3, kLineInHigh = 4, kPaMute = 5, kPaMuteHigh = 6, kDifferential = 7,
              kNRoad = 8, kLedPolarity = 9, kFadeIn = 10, kSoftBoot = 12, kMicBiasShift = 13, kExternalMos = 15,
              kSdCard = 17, kLineInAdc = 18, kSdDetectPin = 19, kNoSpeakerphone = 20;
}  // namespace sysbit

// bt_flags bits
namespace btbit {
constexpr int kA2dp = 0, kHfp = 1, kHsp = 2, kAutoReconnect = 4, kRecovery = 5, kAddressPolling = 6,
              kVoiceReport = 7, kPeriodicReconnect = 8, kBatteryDisplay = 9;
}  // namespace btbit

struct ConfigRecord {
  std::array<uint8_t, rec::kSize> bytes{};
  uint8_t* data() { return bytes.data(); }
  const uint8_t* data() const { return bytes.data(); }
};

}  // namespace tessera
