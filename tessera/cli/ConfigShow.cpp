#include "tessera/cli/ConfigShow.h"

#include <cstdio>

#include "tessera/cli/ConfigJson.h"
#include "tessera/core/config/RecordLayout.h"

namespace tessera {
namespace {

class Printer {
 public:
  std::string out;

  void Section(const char* title) {
    out += std::string(out.empty() ? "" : "\n") + "[" + title + "]\n";
  }
  void Line(const std::string& label, const std::string& value) {
    out += "  " + label + ": " + value + "\n";
  }

  static std::string Text(const OrderedJson& j) {
    if (j.is_string()) return j.get<std::string>();
    if (j.is_boolean()) return j.get<bool>() ? "on" : "off";
    if (j.is_object() && j.contains("hex")) return "(bytes) " + j["hex"].get<std::string>();
    if (j.is_object() && j.contains("bits")) return "(float bits) " + j["bits"].get<std::string>();
    return j.dump();
  }
  static std::string Quoted(const OrderedJson& j) {
    if (!j.is_string()) return Text(j);
    std::string q(1, '"');
    q += j.get<std::string>();
    q += '"';
    return q;
  }

  static std::string Scaled(long long v, int divisor, const char* unit) {
    char buf[64];
    if (v % divisor == 0)
      std::snprintf(buf, sizeof buf, "%lld %s", v / divisor, unit);
    else
      std::snprintf(buf, sizeof buf, "%.3f %s", static_cast<double>(v) / divisor, unit);
    return buf;
  }

  void Flags(const OrderedJson& flags,
             const std::vector<std::pair<const char*, const char*>>& labels) {
    for (const auto& [key, label] : labels) Line(label, Text(flags[key]));
    if (flags["other_bits"] != "0x00000000") Line("other bits", Text(flags["other_bits"]));
  }
};

// Event 0 marks an empty entry; its other bytes may still hold the page's defaults.
bool EmptyEntry(const OrderedJson& e) {
  if (e.is_null()) return true;
  const OrderedJson& ev = e["event"];
  return ev == 0 || ev == kPromptEventNames.Name(0) || ev == kLedEventNames.Name(0) ||
         ev == kKeyEventNames.Name(0);
}

// Battery threshold as the pages' lists show it: the level back to its list index.
std::string Threshold(long long level, long long channel) {
  long long v = level & 0x3FF;
  char buf[32];
  if (channel == 0)
    std::snprintf(buf, sizeof buf, "%.1fV (level %lld)",
                  static_cast<double>(v * 44 / 866 + 1) / 10.0, level);
  else
    std::snprintf(buf, sizeof buf, "%.1fV (level %lld)", static_cast<double>(v * 5 / 365) / 10.0,
                  level);
  return buf;
}

}  // namespace

bool ShowConfig(const std::vector<uint8_t>& file, std::string& text, std::string& error) {
  OrderedJson j;
  if (!ExportConfigJson(file, j, error)) return false;
  const OrderedJson& r = j["record"];
  Printer p;
  auto n = [&](const char* key) { return r[key].get<long long>(); };

  p.Section("Main view");
  p.Line("Type of FLASH", p.Text(j["flash_type"]));
  p.Line("Chip type", p.Text(j["chip_type"]));
  p.Line("bin file", p.Quoted(j["bin_path"]));

  p.Section("Bluetooth");
  p.Flags(r["bt_flags"], {{"a2dp", "A2DP"},
                          {"hfp", "HFP"},
                          {"hsp", "HSP"},
                          {"connection_recovery", "Enable Connection Recovery"},
                          {"auto_reconnect", "Enable Automatic Reconnection"},
                          {"reconnect_address_polling", "Reconnect Address Polling"},
                          {"voice_report", "Voice Report"},
                          {"periodic_reconnect", "Automatic reconnection (periodic)"},
                          {"battery_display", "Battery Display"}});
  p.Line("Device Address", p.Text(r["bt_address"]));
  p.Line("Device Type", p.Text(r["device_class"]));
  p.Line("Default Pin Code", p.Quoted(r["pin_code"]));
  p.Line("Device Name", p.Quoted(r["device_name"]));
  static const char* kRecovery[] = {"off", "Only pairing", "Audio Connection"};
  long long mode = n("recovery_mode");
  p.Line("Connection recovery", mode >= 0 && mode <= 2 ? kRecovery[mode] : std::to_string(mode));
  p.Line("Startup time", p.Scaled(n("recovery_startup_delay"), 1000, "s"));
  p.Line("Retry interval", std::to_string(n("recovery_retry_interval")) + " ms");
  p.Line("Number of retries", std::to_string(n("recovery_retries")));
  p.Line("Reconnections", std::to_string(n("reconnect_count")));
  p.Line("Reconnection interval", std::to_string(n("reconnect_interval")) + " ms");
  p.Line("Pairing Timeout", std::to_string(n("pairing_timeout")) + " s");
  long long autoOff = n("auto_off_conditions");
  p.Line("Automatic shutdown on No Connection", (autoOff & 1) ? "on" : "off");
  p.Line("Automatic shutdown on Pause timeout", (autoOff & 2) ? "on" : "off");
  p.Line("After disconnection", n("disconnect_action") == 0 ? "Waiting for pairing"
                                : n("disconnect_action") == 1
                                    ? "Automatic Reconnection"
                                    : std::to_string(n("disconnect_action")));

  p.Section("System");
  p.Flags(r["sys_flags"], {{"debug_port", "DebugPort"},
                           {"spi", "SPI"},
                           {"pa_mute_enable", "PA Mute Enable"},
                           {"pa_mute_active_high", "PA Mute High Effective"},
                           {"line_in_enable", "Line in Enable"},
                           {"line_in_active_high", "Line in high effective"},
                           {"line_in_detect_by_adc", "AD for linein detection"},
                           {"sd_card_enable", "SD Card Enable"},
                           {"separate_sd_detect_pin", "There are separate SD card detection feet"},
                           {"differential_output", "Differential Output"},
                           {"n_road", "N Road"},
                           {"sound_fade_in", "Light fade"},
                           {"soft_boot", "Soft Boot"},
                           {"external_mos_switch", "Additional MOS Switching Machine"},
                           {"no_speakerphone", "No speakerphone features"},
                           {"mic_bias", "mic bias voltage"}});
  p.Line("PA Mute", p.Text(r["pa_mute_gpio"]));
  p.Line("Line in", p.Text(r["linein_detect_gpio"]));
  p.Line("SD Card Detection", p.Text(r["sd_detect_gpio"]));
  p.Line("A2DP default volume", std::to_string(n("a2dp_volume")));
  p.Line("Beep default volume", std::to_string(n("prompt_volume")));
  p.Line("HFP default volume", std::to_string(n("hfp_volume")));
  p.Line("mic default volume", std::to_string(n("mic_volume")));
  long long channel = n("battery_channel");
  p.Line("Channel", channel == 0 ? "VBAT" : std::to_string(channel));
  p.Line("Detection Interval", p.Scaled(n("battery_check_interval"), 100, "s"));
  p.Line("Alarm Threshold", Threshold(n("low_battery_alarm_level"), channel));
  p.Line("Shutdown Threshold", Threshold(n("low_battery_shutdown_level"), channel));
  p.Line("Sleep Timeout", p.Scaled(n("sleep_timeout"), 100, "s"));
  p.Line("Shutdown timeout", p.Scaled(n("shutdown_timeout"), 100, "s"));
  p.Line("Power control pin", std::to_string(n("power_key_gpio")));
  p.Line("Pin High Active", std::to_string(n("power_key_active_high")));

  p.Section("Sound effect");
  p.Line("Language selection", std::to_string(n("prompt_language")));
  const OrderedJson& sounds = j["sound_effects"];
  for (size_t i = 0; i < sounds.size(); ++i) {
    const OrderedJson& e = sounds[i];
    if (EmptyEntry(e)) continue;
    std::string v = p.Text(e["event"]) + ", " + (e["enabled"] == 1 ? "Enable" : "Disable") + ", " +
                    p.Text(e["kind"]);
    if (e["kind"] == 1 || e["kind"] == "DTMF tone")
      v += ", " + p.Text(e["pattern"]) + ", " + p.Text(e["mode"]) + ", duration " +
           p.Text(e["duration"]) + ", pause " + p.Text(e["pause"]) + ", F1 gain -" +
           p.Text(e["f1_gain"]) + " dB step " + p.Text(e["f1_step"]) +
           (e["f1_enable"] == 1 ? " on" : " off") + ", F2 gain -" + p.Text(e["f2_gain"]) +
           " dB step " + p.Text(e["f2_step"]) + (e["f2_enable"] == 1 ? " on" : " off");
    else
      v += ", " + p.Quoted(e["path"]) + ", " + p.Text(e["file_size"]) + " bytes";
    p.Line("entry " + std::to_string(i), v);
  }

  p.Section("LED");
  p.Line("LED0", p.Text(r["led0_gpio"]));
  p.Line("LED1", p.Text(r["led1_gpio"]));
  p.Line("Low Power LED", p.Text(r["low_power_led_gpio"]));
  p.Line("Polarity Reversal", r["sys_flags"]["led_polarity_reversed"].get<bool>() ? "on" : "off");
  const OrderedJson& leds = j["leds"];
  for (size_t i = 0; i < leds.size(); ++i) {
    const OrderedJson& e = leds[i];
    if (EmptyEntry(e)) continue;
    p.Line("entry " + std::to_string(i),
           p.Text(e["event"]) + ", " + p.Text(e["led"]) + ", on " + p.Text(e["on_ms"]) +
               " ms, off " + p.Text(e["off_ms"]) + " ms, repeat " + p.Text(e["repeat_s"]) + " s, " +
               p.Text(e["flash_count"]) + " flashes, timeout " + p.Text(e["timeout_ms"]) + " ms");
  }

  p.Section("Key");
  p.Line("Click", std::to_string(n("key_click_time") * 10) + " ms");
  p.Line("Double-click interval", std::to_string(n("key_double_click_gap") * 10) + " ms");
  p.Line("Long press", std::to_string(n("key_long_press_time") * 10) + " ms");
  p.Line("Extra Long Press",
         std::to_string(((n("key_long_press_time") + n("key_extra_long_delta")) & 0xFFFF) * 10) +
             " ms");
  p.Line("Repeat button", std::to_string(n("key_repeat_time") * 10) + " ms");
  const OrderedJson& keys = j["keys"];
  for (size_t i = 0; i < keys.size(); ++i) {
    const OrderedJson& e = keys[i];
    if (EmptyEntry(e)) continue;
    std::string gpios;
    for (const auto& g : e["gpios"]) {
      if (!gpios.empty()) gpios += '+';
      gpios += g.get<std::string>();
    }
    p.Line("entry " + std::to_string(i), p.Text(e["event"]) + ", " +
                                             (gpios.empty() ? "no GPIO" : gpios) + ", " +
                                             p.Text(e["type"]) + ", " + p.Text(e["state"]));
  }

  p.Section("EQ");
  const OrderedJson& bands = j["eq"];
  for (size_t i = 0; i < bands.size(); ++i) {
    const OrderedJson& e = bands[i];
    p.Line("EQ" + std::to_string(i),
           std::string(e["enabled"] == 1 ? "Enable" : "Disable") + ", " + p.Text(e["type"]) + ", " +
               p.Text(e["high_low"]) + ", gain " + p.Text(e["gain_db"]) + " dB, center " +
               p.Text(e["center_hz"]) + " Hz, sample " + p.Text(e["sample_hz"]) +
               " Hz, bandwidth " + p.Text(e["bandwidth_hz"]) + " Hz");
  }

  p.Section("Echo");
  p.Line("Noise Suppression", std::to_string(n("noise_suppression")));
  p.Line("Echo Suppression", std::to_string(n("echo_suppression") - 1));
  for (size_t i = 0; i < 2; ++i) {
    const OrderedJson& e = r["voice_eq"][i];
    p.Line("Equalizer " + std::to_string(i),
           std::string(n(i == 0 ? "voice_eq0_enable" : "voice_eq1_enable") ? "on" : "off") + ", " +
               p.Text(e["type"]) + ", " + p.Text(e["high_low"]) + ", gain " + p.Text(e["gain_db"]) +
               " dB, center " + p.Text(e["center_hz"]) + " Hz, sample " + p.Text(e["sample_hz"]) +
               " Hz, bandwidth " + p.Text(e["bandwidth_hz"]) + " Hz");
  }

  p.Section("Record parts derived from the tables");
  p.Line("config_valid", std::to_string(n("config_valid")));
  p.Line("status LED", p.Text(r["status_led_gpio"]));
  p.Line("power switch mode", std::to_string(n("power_switch_mode")));
  for (const auto& s : r["prompt_slots"])
    if (s["present"] != 0)
      p.Line("prompt " + p.Text(s["event"]),
             p.Text(s["kind"]) + ", wave_start " + p.Text(s["wave_start"]) + ", dtmf " +
                 p.Text(s["dtmf_steps"]) + " " + p.Text(s["dtmf_control"]));
  for (const auto& s : r["key_events"])
    if (s["word"] != "0x00000000") p.Line("key " + p.Text(s["event"]), p.Text(s["word"]));
  for (size_t i = 0; i < r["eq_bands"].size(); ++i) {
    const OrderedJson& c = r["eq_bands"][i];
    p.Line("EQ" + std::to_string(i) + " coefficients",
           p.Text(c["enabled"]) + ": " + p.Text(c["a1"]) + " " + p.Text(c["a2"]) + " " +
               p.Text(c["b0"]) + " " + p.Text(c["b1"]) + " " + p.Text(c["b2"]));
  }
  text = p.out;
  return true;
}

}  // namespace tessera
