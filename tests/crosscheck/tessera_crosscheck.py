#!/usr/bin/env python3
"""Independent cross-check of tessera-cli's configuration files and flash images.

Builds random configurations as a user of the window could make them (through
`tessera-cli new`, `export`, an edit of the JSON and `import --recollect`), works out
in plain Python what the configuration record, the plain image, the CRC image, the
copies and the summary must be, and compares them byte for byte with what the tool
writes.  Also checks `tessera-cli eq` and export/import round trips.

Standard library only.  Deterministic for a given --seed.  The last line printed is
"N passed, M failed"; the exit code is non-zero when anything failed.
"""

import argparse
import json
import math
import os
import random
import shutil
import struct
import subprocess
import sys
import tempfile

RECORD_SIZE = 1178
SOUND_SIZE, LED_SIZE, KEY_SIZE, EQ_SIZE = 312, 28, 16, 28
FIXED_SIZE = RECORD_SIZE + 42 * SOUND_SIZE + 32 * LED_SIZE + 32 * KEY_SIZE + 5 * EQ_SIZE + 8

FLASH_NAMES = ["GD_4Mbit", "GD_8Mbit", "GD_16Mbit", "GD_32Mbit"]
FLASH_KB = [512, 1024, 2048, 4096]
CHIP_NAMES = ["QFN40_5X5", "QFN48_6X6", "QFN56_7X7"]
CHIP_MASK = [0x3C0803, 0x7FFFFF, 0x3C7FFF]
DEVICE_TYPES = {2: "HANDSFREE", 1: "WEARABLE HEADSET", 5: "LOUDSPEAKER", 6: "HEADPHONES",
                7: "PORTABLE AUDIO", 8: "CAR AUDIO"}

# (offset, width, name) of the record's fields, for naming a differing byte.
RECORD_FIELDS = [
    (0x000, 1, "config_valid"), (0x001, 4, "sys_flags"), (0x005, 1, "pa_mute_gpio"),
    (0x006, 1, "linein_detect_gpio"), (0x007, 1, "sd_detect_gpio"), (0x008, 1, "a2dp_volume"),
    (0x009, 1, "hfp_volume"), (0x00A, 1, "prompt_volume"), (0x00B, 1, "mic_volume"),
    (0x00C, 1, "battery_channel"), (0x00D, 4, "battery_check_interval"),
    (0x011, 2, "low_battery_alarm_level"), (0x013, 2, "low_battery_shutdown_level"),
    (0x015, 2, "high_current_level"), (0x017, 2, "charge_full_level"),
    (0x019, 2, "sleep_timeout"), (0x01B, 4, "shutdown_timeout"), (0x01F, 1, "status_led_gpio"),
    (0x020, 1, "led_polarity_reversed"), (0x021, 1, "power_key_gpio"),
    (0x022, 1, "power_key_active_high"), (0x023, 1, "power_switch_mode"),
    (0x024, 11, "reserved_024"), (0x02F, 4, "bt_flags"), (0x033, 1, "device_class"),
    (0x034, 32, "device_name"), (0x054, 16, "pin_code"), (0x064, 6, "bt_address"),
    (0x06A, 1, "recovery_mode"), (0x06B, 4, "recovery_startup_delay"),
    (0x06F, 1, "recovery_retries"), (0x070, 4, "recovery_retry_interval"),
    (0x074, 1, "reconnect_count"), (0x075, 2, "reconnect_interval"),
    (0x077, 2, "pairing_timeout"), (0x079, 1, "auto_off_conditions"),
    (0x07A, 1, "disconnect_action"), (0x07B, 16, "reserved_07b"), (0x08B, 1, "prompt_language"),
]
for _e in range(1, 44):
    _o = 0x080 + 12 * _e
    RECORD_FIELDS += [(_o, 1, "prompt_slots[%d].present" % _e), (_o + 1, 1, "prompt_slots[%d].kind" % _e),
                      (_o + 2, 2, "prompt_slots[%d].wave_start" % _e),
                      (_o + 4, 4, "prompt_slots[%d].dtmf_steps" % _e),
                      (_o + 8, 4, "prompt_slots[%d].dtmf_control" % _e)]
RECORD_FIELDS += [(0x290, 1, "led0_gpio"), (0x291, 1, "led1_gpio"), (0x292, 1, "low_power_led_gpio")]
for _e in range(1, 23):
    _o = 0x293 + 11 * (_e - 1)
    RECORD_FIELDS += [(_o, 1, "led_patterns[%d].led" % _e), (_o + 1, 2, "led_patterns[%d].on_ms" % _e),
                      (_o + 3, 2, "led_patterns[%d].off_ms" % _e), (_o + 5, 1, "led_patterns[%d].repeat_s" % _e),
                      (_o + 6, 1, "led_patterns[%d].flash_count" % _e),
                      (_o + 7, 4, "led_patterns[%d].timeout_ms" % _e)]
RECORD_FIELDS += [(0x385, 2, "key_click_time"), (0x387, 2, "key_repeat_time"),
                  (0x389, 2, "key_long_press_time"), (0x38B, 2, "key_extra_long_delta"),
                  (0x38D, 2, "key_double_click_gap"), (0x38F, 4, "reserved_38f")]
RECORD_FIELDS += [(0x38F + 4 * _e, 4, "key_events[%d]" % _e) for _e in range(1, 28)]
for _b in range(5):
    _o = 0x3FF + 21 * _b
    RECORD_FIELDS += [(_o, 1, "eq_bands[%d].enabled" % _b)]
    RECORD_FIELDS += [(_o + 1 + 4 * _k, 4, "eq_bands[%d].%s" % (_b, _n)) for _k, _n in enumerate(["a1", "a2", "b0", "b1", "b2"])]
RECORD_FIELDS += [(0x468, 4, "noise_suppression"), (0x46C, 4, "echo_suppression"),
                  (0x470, 20, "voice_eq[0]"), (0x484, 20, "voice_eq[1]"),
                  (0x498, 1, "voice_eq0_enable"), (0x499, 1, "voice_eq1_enable")]


def record_field_name(offset):
    for o, w, n in RECORD_FIELDS:
        if o <= offset < o + w:
            return n
    return "record byte 0x%03X" % offset


def cfg_field_name(offset):
    if offset < RECORD_SIZE:
        return record_field_name(offset)
    o = offset - RECORD_SIZE
    for size, count, name in ((SOUND_SIZE, 42, "sound_effects"), (LED_SIZE, 32, "leds"),
                              (KEY_SIZE, 32, "keys"), (EQ_SIZE, 5, "eq")):
        if o < size * count:
            return "%s[%d] byte %d" % (name, o // size, o % size)
        o -= size * count
    if o < 4:
        return "flash_type"
    if o < 8:
        return "chip_type"
    return "bin_path"


def first_differences(a, b, namer, limit=4):
    out = []
    for i in range(min(len(a), len(b))):
        if a[i] != b[i]:
            out.append("0x%X (%s): tool %02X, expected %02X" % (i, namer(i), a[i], b[i]))
            if len(out) >= limit:
                break
    if len(a) != len(b):
        out.append("length: tool %d, expected %d" % (len(a), len(b)))
    return out


# ---------------------------------------------------------------- single precision

def f32(x):
    return struct.unpack("<f", struct.pack("<f", x))[0]


def trunc32(x):
    v = int(x)  # toward zero
    return v


PI_F = struct.unpack("<f", bytes.fromhex("DA0F4940"))[0]
C_F = struct.unpack("<f", bytes.fromhex("CDCC4C3D"))[0]


def eq_coefficients(enabled, typ, high_low, gain, fc, fs, bw):
    """Fixed-point biquad (a1, a2, b0, b1, b2) of one band; gain is a float value."""
    k0 = math.tan(fc * PI_F / fs)
    k = f32(k0)
    k2 = f32(k0 * k)
    v = math.pow(10.0, abs(gain) * C_F)
    boost = gain > 0
    if typ != 0:
        q = f32(fc / bw)
        r = (1.0 / q) * k
        rf = f32(r)
        if boost:
            n = f32(16384.0 / (r + k2 + 1))
            b0 = trunc32((v * rf + k2 + 1) * n)
            b1 = trunc32(2 * (k2 - 1) * n)
            b2 = trunc32((1 - v * rf + k2) * n)
            a1 = b1
            a2 = trunc32((1 - rf + k2) * n)
        else:
            n = 16384.0 / (v * r + k2 + 1)
            b0 = trunc32((rf + k2 + 1) * n)
            b1 = trunc32(2 * (k2 - 1) * n)
            b2 = trunc32((1 - rf + k2) * n)
            a1 = b1
            a2 = trunc32((1 - v * r + k2) * n)
        return a1, a2, b0, b1, b2
    s = f32(math.sqrt(2.0) * k)
    if high_low == 0:
        w = f32(math.sqrt(2 * v) * k)
        if boost:
            n = f32(16384.0 / (s + k2 + 1))
            b0 = trunc32((v * k2 + w + 1) * n)
            b1 = trunc32(2 * (v * k2 - 1) * n)
            b2 = trunc32((1 - w + v * k2) * n)
            a1 = trunc32(2 * (k2 - 1) * n)
            a2 = trunc32((1 - s + k2) * n)
        else:
            n = 16384.0 / (v * k2 + w + 1)
            b0 = trunc32((s + k2 + 1) * n)
            b1 = trunc32(2 * (k2 - 1) * n)
            b2 = trunc32((1 - s + k2) * n)
            a1 = trunc32(2 * (v * k2 - 1) * n)
            a2 = trunc32((1 - w + v * k2) * n)
        return a1, a2, b0, b1, b2
    if boost:
        w = math.sqrt(2 * v) * k
        n = f32(16384.0 / (s + k2 + 1))
        b0 = trunc32((w + v + k2) * n)
        b1 = trunc32(2 * (k2 - v) * n)
        b2 = trunc32((v - w + k2) * n)
        a1 = trunc32(2 * (k2 - 1) * n)
        a2 = trunc32((1 - s + k2) * n)
        return a1, a2, b0, b1, b2
    u = f32(math.sqrt(2.0 / v) * k)
    w = math.sqrt(2 * v) * k
    n1 = 16384.0 / (w + v + k2)
    b0 = trunc32((s + k2 + 1) * n1)
    b1 = trunc32(2 * (k2 - 1) * n1)
    b2 = trunc32((1 - s + k2) * n1)
    p = k2 / v
    n2 = 16384.0 / (p + u + 1)
    a1 = trunc32(2 * (p - 1) * n2)
    a2 = trunc32((1 - u + p) * n2)
    return a1, a2, b0, b1, b2


EQ_REFERENCE = [  # type, highLow, gain, fc -> a1 a2 b0 b1 b2 at 44100 Hz, 100 Hz bandwidth
    (0, 0, 0.0, 500, (-31118, 14813, 16384, -31118, 14813)),
    (1, 0, 6.0, 1000, (-32207, 16152, 16498, -32207, 16038)),
    (1, 0, -6.0, 1000, (-31982, 15926, 16269, -31982, 16040)),
    (0, 0, 6.0, 200, (-32107, 15736, 16520, -32101, 15606)),
    (0, 0, -6.0, 200, (-31835, 15477, 16248, -31842, 15606)),
    (0, 1, 6.0, 5000, (-16960, 6026, 28316, -36552, 13685)),
    (0, 1, -6.0, 5000, (-21149, 7918, 9479, -9813, 3486)),
]


# ---------------------------------------------------------------- CRC image

def _crc_table():
    table = []
    for i in range(256):
        c = i << 8
        for _ in range(8):
            c = ((c << 1) ^ 0x8005) if c & 0x8000 else (c << 1)
            c &= 0xFFFF
        table.append(c)
    return table


CRC_TABLE = _crc_table()


def crc16_cms(data, crc=0xFFFF):
    for b in data:
        crc = ((crc << 8) & 0xFFFF) ^ CRC_TABLE[((crc >> 8) ^ b) & 0xFF]
    return crc


def crc_image(plain):
    blocks = (len(plain) + 31) // 32
    padded = plain + b"\xFF" * (blocks * 32 - len(plain))
    out = bytearray()
    cache = {}
    for k in range(blocks):
        blk = padded[32 * k:32 * k + 32]
        c = cache.get(blk)
        if c is None:
            c = crc16_cms(blk)
            cache[blk] = c
        out += blk
        out += bytes([c >> 8, c & 0xFF])
    check = image_checksum(bytes(out[34816:]))
    return bytes(out) + struct.pack("<I", check), check


def image_checksum(data):
    """Complement of the sum of the first byte of every whole 4-byte group and every
    byte of the incomplete last group."""
    whole = 4 * (len(data) // 4)
    s = (sum(data[0:whole:4]) + sum(data[whole:])) & 0xFFFFFFFF
    return (~s) & 0xFFFFFFFF


# ---------------------------------------------------------------- the tool

class Cli:
    def __init__(self, path):
        self.path = path

    def run(self, *args, cwd=None):
        p = subprocess.run([self.path] + [str(a) for a in args], capture_output=True, cwd=cwd)
        return p.returncode, p.stdout.decode("utf-8", "replace"), p.stderr.decode("utf-8", "replace")


# ---------------------------------------------------------------- random configurations

def gpio_name(n):
    return "UNUSED" if n == 0xFF else "GPIO%02d" % n


def bits_of(mask):
    return [n for n in range(25) if mask >> n & 1]


def kb_of_size(s):
    if s <= 0:
        return 0
    return 4 * ((34 * ((s + 31) // 32)) // 4096 + 1)


def free_prompt_kb(flash, crc):
    f = FLASH_KB[flash] if 1 <= flash <= 3 else 512
    c = 448 if flash == 0 else 512
    if not crc:
        return f - (c + 16)
    return f - ((((c + 16) * 1024 // 32) * 17 * 2 + 1023) // 1024)


def make_wave(path, rng, n):
    samples = bytes(rng.getrandbits(8) for _ in range(n))
    hdr = b"RIFF" + struct.pack("<I", 36 + n) + b"WAVEfmt " + struct.pack("<IHHIIHH", 16, 1, 1, 16000, 32000, 2, 16)
    hdr += b"data" + struct.pack("<I", n)
    with open(path, "wb") as f:
        f.write(hdr + samples)


class Config:
    """Page values as a user leaves them, plus the tables."""


def random_config(rng, tmp, idx):
    c = Config()
    c.flash = rng.randrange(4)
    c.chip = rng.randrange(3)
    # Bluetooth page
    c.a2dp, c.hfp, c.hsp = (rng.randrange(2) for _ in range(3))
    c.auto_reconnect = rng.randrange(2)
    c.recovery = rng.randrange(2)
    c.polling, c.voice_report, c.periodic, c.battery_display = (rng.randrange(2) for _ in range(4))
    c.device_class = rng.choice([0, 1, 2, 3, 4, 5, 6, 7, 8, 9])
    alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789_-"
    c.name = "".join(rng.choice(alphabet) for _ in range(rng.choice([0, 1, 5, 13, 31, 32])))
    c.pin = "".join(rng.choice("0123456789") for _ in range(rng.choice([0, 4, 6, 15, 16])))
    c.address = bytes(rng.getrandbits(8) for _ in range(6))  # least significant first
    c.recovery_mode = rng.choice([1, 2])
    c.startup_delay = rng.choice([0, 1000, 5000, 123000, rng.randrange(0, 200000)])
    c.retries = rng.randrange(-1, 128)
    c.retry_interval = rng.randrange(0, 100000)
    c.reconnect_count = rng.randrange(256)
    c.reconnect_interval = rng.randrange(32768)
    c.pairing_timeout = rng.randrange(-32768, 32768)
    c.auto_off = rng.randrange(4)
    c.disconnect_action = rng.randrange(2)
    # System page
    c.debug = rng.randrange(2)
    c.debug_iic = rng.randrange(2)
    c.spi = rng.randrange(2)
    c.pa_enable, c.pa_high = rng.randrange(2), rng.randrange(2)
    c.line_enable, c.line_high, c.line_adc = rng.randrange(2), rng.randrange(2), rng.randrange(2)
    c.sd_enable, c.sd_separate = rng.randrange(2), rng.randrange(2)
    c.differential, c.n_road = rng.randrange(2), rng.randrange(2)
    c.fade = rng.randrange(2)
    mode = rng.randrange(3)
    c.soft_boot = 1 if mode == 1 else 0
    c.mos = 1 if mode == 2 else 0
    c.no_speaker = rng.randrange(2)
    c.mic_bias = rng.randrange(4)
    pool = bits_of(CHIP_MASK[c.chip])
    c.pa_gpio = rng.choice(pool + [rng.randrange(25)])
    c.line_gpio = rng.choice(pool + [rng.randrange(25)])
    c.sd_gpio = rng.choice(pool + [12])
    c.volumes = (rng.randrange(16), rng.randrange(16), rng.randrange(16), rng.randrange(96))
    c.interval = rng.randrange(0, 100000)
    c.alarm = rng.randrange(13)
    c.shutdown = rng.randrange(13) if rng.random() < 0.3 else (rng.randrange(c.alarm - 1) if c.alarm >= 2 else 0)
    c.sleep = rng.randrange(0, 32768)
    c.shutdown_timeout = rng.choice([-1, 0, rng.randrange(0, 20000000)])
    c.power_pin = rng.randrange(23) if c.mos else rng.randrange(256)
    c.pin_high = rng.randrange(2)
    # LED page
    c.polarity = rng.randrange(2)
    c.led_lp = rng.choice(pool + [0xFF, rng.randrange(25)])
    c.led0 = rng.choice(pool + [0xFF, rng.randrange(25)])
    c.led1 = rng.choice(pool + [0xFF, rng.randrange(25)])
    c.leds = []
    for _ in range(32):
        if rng.random() < 0.4:
            c.leds.append(None)
            continue
        c.leds.append(dict(event=0 if rng.random() < 0.05 else rng.randrange(1, 23), led=rng.randrange(5),
                           on_ms=rng.choice([rng.randrange(0, 5000), rng.randrange(0, 200000)]),
                           off_ms=rng.choice([rng.randrange(0, 5000), rng.randrange(0, 200000)]),
                           repeat_s=rng.randrange(256), flash_count=rng.randrange(1, 256),
                           timeout_ms=rng.choice([-1, rng.randrange(0, 1000000)])))
    # Key page
    c.key_times = [rng.randrange(65536) for _ in range(5)]  # click, repeat, long, extra, double
    c.keys = []
    for _ in range(32):
        if rng.random() < 0.5:
            c.keys.append(None)
            continue
        mask = 0
        for _ in range(rng.choice([1, 1, 2, 3])):
            mask |= 1 << (rng.choice(pool) if rng.random() < 0.8 else rng.randrange(22))
        mask &= 0x3FFFFF
        if rng.random() < 0.05:
            mask = 0  # no box checked in the dialog
        # "Invalid" is one of the dialog's events too.
        event = 0 if rng.random() < 0.05 else rng.randrange(1, 28)
        c.keys.append(dict(event=event, mask=mask, type=rng.randrange(6), state=rng.randrange(4)))
    # Sound-effect page
    files = []
    for j in range(rng.choice([0, 1, 2, 4, 6])):
        n = rng.choice([8, 100, 2 * rng.randrange(4, 3000), 4092, 4096, 2 * rng.randrange(2048, 6000)])
        p = os.path.join(tmp, "p%d_%d.wav" % (idx, j))
        make_wave(p, rng, n)
        files.append((p, n))
    c.sounds = []
    for _ in range(42):
        r = rng.random()
        if r < 0.55:
            c.sounds.append(None)
        elif r < 0.75 and files:
            p, n = rng.choice(files)
            c.sounds.append(dict(enabled=1 if rng.random() < 0.85 else 0, event=rng.randrange(1, 44), kind=0,
                                 path=p, file_size=n))
        else:
            c.sounds.append(dict(enabled=1 if rng.random() < 0.85 else 0, event=rng.randrange(1, 44), kind=1,
                                 pattern=rng.randrange(2), mode=rng.randrange(2), duration=rng.randrange(16),
                                 pause=rng.randrange(16), f1_gain=rng.randrange(16), f1_step=rng.randrange(65536),
                                 f1_enable=rng.randrange(2), f2_gain=rng.randrange(16),
                                 f2_step=rng.randrange(65536), f2_enable=rng.randrange(2)))
    for s in c.sounds:
        if s and rng.random() < 0.05:
            s["event"] = 0  # "INVALID"
        # The dialog records size 0 for a disabled entry or one without an event.
        if s and s["kind"] == 0 and (not s["enabled"] or s["event"] == 0):
            s["file_size"] = 0
    # EQ page
    c.eq = [random_band(rng) for _ in range(5)]
    # Echo page
    c.noise = rng.randrange(4)
    c.echo = rng.randrange(3)
    c.voice_eq = [dict(type=rng.randrange(2), high_low=rng.randrange(2), padding=0, gain_db=rng.randrange(-24, 19),
                       center_hz=rng.randrange(1, 20001), sample_hz=rng.randrange(8000, 48001),
                       bandwidth_hz=rng.randrange(1, 20001)) for _ in range(2)]
    c.voice_en = (rng.randrange(2), rng.randrange(2))
    return c


def random_band(rng):
    fs = rng.choice([8000, 16000, 22050, 32000, 44100, 48000, rng.randrange(8000, 48001)])
    fc = rng.randrange(20, max(21, min(20000, int(fs * 0.45))))
    gain = f32(rng.choice([0.0, 6.0, -6.0, rng.randrange(-240, 181) / 10.0, rng.uniform(-24, 18)]))
    return dict(enabled=rng.randrange(2), type=rng.randrange(2), high_low=rng.randrange(2), gain_db=gain,
                center_hz=fc, sample_hz=fs, bandwidth_hz=rng.randrange(1, 20001))


def address_text(addr):
    return "0x" + "".join("%02X" % b for b in reversed(addr))


def config_json(base, c, bin_path):
    d = json.loads(json.dumps(base))
    r = d["record"]
    sf = r["sys_flags"]
    sf.update(debug_port=(0 if not c.debug else (2 if c.debug_iic else 1)), spi=bool(c.spi),
              line_in_enable=bool(c.line_enable), line_in_active_high=bool(c.line_high),
              pa_mute_enable=bool(c.pa_enable), pa_mute_active_high=bool(c.pa_high),
              differential_output=bool(c.differential), n_road=bool(c.n_road),
              led_polarity_reversed=bool(c.polarity), sound_fade_in=bool(c.fade), soft_boot=bool(c.soft_boot),
              mic_bias=c.mic_bias, external_mos_switch=bool(c.mos), sd_card_enable=bool(c.sd_enable),
              line_in_detect_by_adc=bool(c.line_adc), separate_sd_detect_pin=bool(c.sd_separate),
              no_speakerphone=bool(c.no_speaker), other_bits="0x00000000")
    r["pa_mute_gpio"] = gpio_name(c.pa_gpio)
    r["linein_detect_gpio"] = gpio_name(c.line_gpio)
    r["sd_detect_gpio"] = gpio_name(c.sd_gpio)
    r["a2dp_volume"], r["hfp_volume"], r["prompt_volume"], r["mic_volume"] = c.volumes
    r["battery_channel"] = 0
    r["battery_check_interval"] = c.interval * 100
    r["low_battery_alarm_level"] = (c.alarm + 28) * 866 // 44
    r["low_battery_shutdown_level"] = (c.shutdown + 28) * 866 // 44
    r["sleep_timeout"] = (c.sleep * 100) & 0xFFFF
    r["shutdown_timeout"] = c.shutdown_timeout * 100
    r["power_key_gpio"] = c.power_pin
    r["power_key_active_high"] = c.pin_high
    r["bt_flags"].update(a2dp=bool(c.a2dp), hfp=bool(c.hfp), hsp=bool(c.hsp), auto_reconnect=bool(c.auto_reconnect),
                         connection_recovery=bool(c.recovery), reconnect_address_polling=bool(c.polling),
                         voice_report=bool(c.voice_report), periodic_reconnect=bool(c.periodic),
                         battery_display=bool(c.battery_display), other_bits="0x00000000")
    r["device_class"] = c.device_class
    r["device_name"] = c.name
    r["pin_code"] = c.pin
    r["bt_address"] = address_text(c.address)
    r["recovery_mode"] = c.recovery_mode
    r["recovery_startup_delay"] = c.startup_delay
    r["recovery_retries"] = c.retries
    r["recovery_retry_interval"] = c.retry_interval
    r["reconnect_count"] = c.reconnect_count
    r["reconnect_interval"] = c.reconnect_interval
    r["pairing_timeout"] = c.pairing_timeout
    r["auto_off_conditions"] = c.auto_off
    r["disconnect_action"] = c.disconnect_action
    r["prompt_language"] = 0
    r["led0_gpio"], r["led1_gpio"], r["low_power_led_gpio"] = gpio_name(c.led0), gpio_name(c.led1), gpio_name(c.led_lp)
    click, repeat, long_, extra, double = c.key_times
    r["key_click_time"] = click // 10
    r["key_repeat_time"] = repeat // 10
    r["key_long_press_time"] = long_ // 10
    r["key_extra_long_delta"] = (extra // 10 - long_ // 10) & 0xFFFF
    r["key_double_click_gap"] = double // 10
    r["noise_suppression"] = c.noise
    r["echo_suppression"] = c.echo + 1
    r["voice_eq"] = c.voice_eq
    r["voice_eq0_enable"], r["voice_eq1_enable"] = c.voice_en
    d["sound_effects"] = [None if s is None else full_sound(s) for s in c.sounds]
    d["leds"] = [None if e is None else dict(event=e["event"], led=e["led"], reserved=0, on_ms=e["on_ms"],
                                             off_ms=e["off_ms"], repeat_s=e["repeat_s"],
                                             flash_count=e["flash_count"], padding=0, timeout_ms=e["timeout_ms"])
                 for e in c.leds]
    d["keys"] = [None if k is None else dict(event=k["event"], gpios=[gpio_name(n) for n in range(22) if k["mask"] >> n & 1],
                                             type=k["type"], state=k["state"]) for k in c.keys]
    d["eq"] = [dict(b) for b in c.eq]
    d["flash_type"] = c.flash
    d["chip_type"] = c.chip
    d["bin_path"] = bin_path
    return d


def full_sound(s):
    e = dict(enabled=s["enabled"], event=s["event"], kind=s["kind"], path="", file_size=0, pattern=0, mode=0,
             duration=0, pause=0, f1_gain=0, f1_step=0, f1_enable=0, f2_gain=0, f2_step=0, f2_enable=0)
    e.update({k: v for k, v in s.items()})
    return e


# ---------------------------------------------------------------- expected state after Read Config

def sound_bytes(s):
    if s is None:
        return bytes(SOUND_SIZE)
    e = full_sound(s)
    path = e["path"].encode()
    return struct.pack("<iii256siiiIIiIiiIi", e["enabled"], e["event"], e["kind"], path, e["file_size"],
                       e["pattern"], e["mode"], e["duration"], e["pause"], e["f1_gain"], e["f1_step"],
                       e["f1_enable"], e["f2_gain"], e["f2_step"], e["f2_enable"])


def led_bytes(e):
    if e is None:
        return bytes(LED_SIZE)
    return struct.pack("<iiiIIBBxxi", e["event"], e["led"], 0, e["on_ms"], e["off_ms"], e["repeat_s"],
                       e["flash_count"], e["timeout_ms"])


def key_bytes(k):
    if k is None:
        return bytes(KEY_SIZE)
    return struct.pack("<iIii", k["event"], k["mask"], k["type"], k["state"])


def eq_bytes(b):
    return struct.pack("<iiifiii", b["enabled"], b["type"], b["high_low"], b["gain_db"], b["center_hz"],
                       b["sample_hz"], b["bandwidth_hz"])


class Allocation:
    pass


def allocate(c, keys, sys_state, reserved, led_state):
    """One GPIO refresh: System, LED, Key pages. Mutates members and keys; returns selections."""
    m = CHIP_MASK[c.chip] & ~reserved
    a = Allocation()

    def first(mask):
        b = bits_of(mask)
        return b[0] if b else 0

    # PA mute
    a.pa_sel = first(m)
    if c.pa_enable:
        if not (m >> sys_state["pa"] & 1):
            sys_state["pa"] = first(m)
        a.pa_sel = sys_state["pa"]
        m &= ~(1 << sys_state["pa"])
    a.line_sel = first(m)
    if c.line_enable and not c.line_adc:
        if not (m >> sys_state["line"] & 1):
            sys_state["line"] = first(m)
        a.line_sel = sys_state["line"]
        m &= ~(1 << sys_state["line"])
    a.sd_sel = first(m)
    if c.sd_enable:
        if not c.sd_separate:
            sys_state["sd"] = 12
        if not (m >> sys_state["sd"] & 1):
            sys_state["sd"] = first(m)
        a.sd_sel = sys_state["sd"]
        m &= ~(1 << sys_state["sd"])
    for name in ("lp", "led0", "led1"):
        v = led_state[name]
        if v != 0xFF and not (m >> v & 1):
            led_state[name] = first(m)
    for name in ("led1", "lp"):
        if led_state[name] != 0xFF:
            m &= ~(1 << led_state[name])
    for i, k in enumerate(keys):
        if k is not None and not (k["mask"] & m):
            keys[i] = None
    a.key_mask = m
    return a


def expected_after_read(c):
    """Page values and tables after Read Config of the imported file."""
    st = Config()
    # Sound-effect page: load fit check of rows 0..41.
    sounds = [None if s is None else dict(s) for s in c.sounds]
    free = free_prompt_kb(c.flash, True)
    used = 0
    for r in range(42):
        s = sounds[r]
        if s is None:
            continue
        shared = False
        if True:
            for i in range(r + 1, 42):
                o = sounds[i]
                if o and o["enabled"] and o["event"] and o["kind"] != 1 and o.get("path", "") == s.get("path", ""):
                    shared = True
                    break
        if shared:
            continue
        kb = kb_of_size(s.get("file_size", 0))
        used += kb
        if used > free:
            used -= kb
            sounds[r] = None
    st.sounds = sounds
    keys = [None if k is None else dict(k) for k in c.keys]
    sys_state = dict(pa=c.pa_gpio, line=c.line_gpio, sd=c.sd_gpio)
    led_state = dict(lp=c.led_lp, led0=c.led0, led1=c.led1)
    debug_bits = 0x3 if c.debug else 0
    spi_bits = 0x3C0 if c.spi else 0
    # System page re-apply: DebugPort rule (SPI bits still as at start-up: clear), SPI rule, then the
    # line-in, PA-mute, SD-enable and separate-SD rules, each with a GPIO refresh.
    allocate(c, keys, sys_state, debug_bits, led_state)
    for _ in range(5):
        a = allocate(c, keys, sys_state, debug_bits | spi_bits, led_state)
    # Re-read the PA-mute and line-in selections into the members, each with a refresh.
    sys_state["pa"] = a.pa_sel
    a = allocate(c, keys, sys_state, debug_bits | spi_bits, led_state)
    sys_state["line"] = a.line_sel
    a = allocate(c, keys, sys_state, debug_bits | spi_bits, led_state)
    # The view re-applies the chip package.
    a = allocate(c, keys, sys_state, debug_bits | spi_bits, led_state)
    st.alloc = a
    st.sys_state = sys_state
    st.keys = keys
    st.led_state = led_state
    return st


def expected_record(c, st):
    rec = bytearray(RECORD_SIZE)
    rec[0] = 1
    sys_flags = 0
    if c.debug:
        sys_flags |= 2 if c.debug_iic else 1
    sys_flags |= c.spi << 2 | c.pa_enable << 5 | c.line_enable << 3 | c.line_high << 4 | c.line_adc << 18
    sys_flags |= c.pa_high << 6 | c.sd_enable << 17 | c.sd_separate << 19 | c.differential << 7 | c.n_road << 8
    sys_flags |= c.polarity << 9 | c.fade << 10
    power_mode = 0
    if c.soft_boot:
        sys_flags |= 1 << 12
        power_mode = 0xAA
    if c.mos:
        sys_flags |= 1 << 15
        power_mode = 0x55
    sys_flags |= c.no_speaker << 20 | (c.mic_bias & 3) << 13
    struct.pack_into("<I", rec, 0x001, sys_flags)
    a = st.alloc
    rec[0x005] = a.pa_sel
    rec[0x006] = a.line_sel
    rec[0x007] = a.sd_sel if c.sd_enable else 0xFF
    rec[0x008], rec[0x009], rec[0x00A], rec[0x00B] = c.volumes[0], c.volumes[1], c.volumes[2], c.volumes[3]
    rec[0x00C] = 0
    struct.pack_into("<I", rec, 0x00D, (c.interval * 100) & 0xFFFFFFFF)
    alarm_level = (c.alarm + 28) * 866 // 44
    shutdown_index = c.shutdown if c.shutdown <= c.alarm - 2 else -1
    shutdown_level = (shutdown_index + 28) * 866 // 44
    struct.pack_into("<HHHH", rec, 0x011, alarm_level, shutdown_level, 0, 0)
    # The page reads the 16-bit field back in whole seconds, so a value above 655 s
    # comes back as what the field kept.
    struct.pack_into("<H", rec, 0x019, (((c.sleep * 100) & 0xFFFF) // 100 * 100) & 0xFFFF)
    struct.pack_into("<i", rec, 0x01B, c.shutdown_timeout * 100)
    ls = st.led_state
    status = ls["led0"] if ls["led0"] != 0xFF else (ls["led1"] if ls["led1"] != 0xFF else 0xFF)
    rec[0x01F] = status
    rec[0x020] = c.polarity
    rec[0x021] = c.power_pin
    rec[0x022] = c.pin_high
    rec[0x023] = power_mode
    bt = c.a2dp | c.hfp << 1 | c.hsp << 2 | c.auto_reconnect << 4 | c.recovery << 5 | c.polling << 6
    bt |= c.voice_report << 7 | c.periodic << 8 | c.battery_display << 9
    struct.pack_into("<I", rec, 0x02F, bt)
    rec[0x033] = c.device_class if c.device_class in (2, 5, 6, 7, 8) else 1
    rec[0x034:0x034 + len(c.name)] = c.name.encode()
    rec[0x054:0x054 + len(c.pin)] = c.pin.encode()
    rec[0x064:0x06A] = c.address
    if c.recovery:
        rec[0x06A] = c.recovery_mode
        struct.pack_into("<I", rec, 0x06B, (c.startup_delay // 1000) * 1000)
        rec[0x06F] = c.retries & 0xFF
        struct.pack_into("<I", rec, 0x070, c.retry_interval)
    else:
        rec[0x06A] = 0
        struct.pack_into("<I", rec, 0x06B, 15000)
        rec[0x06F] = 0xFF
        struct.pack_into("<I", rec, 0x070, 30000)
    rec[0x074] = c.reconnect_count
    struct.pack_into("<H", rec, 0x075, c.reconnect_interval)
    struct.pack_into("<h", rec, 0x077, c.pairing_timeout)
    rec[0x079] = c.auto_off
    rec[0x07A] = c.disconnect_action
    rec[0x08B] = 0
    # Prompt slots.
    code_kb = 448 if c.flash == 0 else 512
    u0 = u = (code_kb + 4) * 4
    placements = []
    placed_at = {}
    for i, s in enumerate(st.sounds):
        if s is None or not s["enabled"] or s["event"] <= 0:
            continue
        e = s["event"]
        o = 0x080 + 12 * e
        rec[o:o + 12] = bytes(12)
        rec[o] = 1
        rec[o + 1] = s["kind"] & 0xFF
        if s["kind"] == 0:
            shared = None
            for j in range(i):
                t = st.sounds[j]
                if t and t["enabled"] and t["event"] and t["kind"] != 1 and t["path"] == s["path"]:
                    shared = t
                    break
            # A sharing entry points at the data of the earlier one, even when a later
            # entry of that one's event has rewritten its slot since.
            if shared is not None:
                struct.pack_into("<H", rec, o + 2, placed_at[id(shared)])
                placed_at[id(s)] = placed_at[id(shared)]
            else:
                placed_at[id(s)] = u & 0xFFFF
                struct.pack_into("<H", rec, o + 2, u & 0xFFFF)
                blocks = 1 if s["file_size"] < 0 else s["file_size"] // 4096 + 1
                placements.append((s["path"], u * 256, s["file_size"], blocks * 4096))
                u += blocks * 16
        elif s["kind"] == 1:
            steps = (s["f1_step"] << 16 | s["f2_step"]) & 0xFFFFFFFF
            ctrl = 0
            for val, width in ((s["f1_gain"], 4), (s["f2_gain"], 4), (s["mode"], 1), (s["pattern"], 1),
                               (s["pause"], 4), (s["duration"], 4), (s["f2_enable"], 1), (s["f1_enable"], 1)):
                ctrl = (ctrl << width) | (val & ((1 << width) - 1))
            struct.pack_into("<II", rec, o + 4, steps, ctrl)
    prompt_size = (u - u0) * 256
    rec[0x290], rec[0x291], rec[0x292] = ls["led0"], ls["led1"], ls["lp"]
    for e in c.leds:
        if e is None or e["event"] <= 0:
            continue
        struct.pack_into("<BHHBBi", rec, 0x293 + 11 * (e["event"] - 1), e["led"], e["on_ms"] & 0xFFFF,
                         e["off_ms"] & 0xFFFF, e["repeat_s"], e["flash_count"], e["timeout_ms"])
    click, repeat, long_, extra, double = c.key_times
    struct.pack_into("<HHHHH", rec, 0x385, click // 10, repeat // 10, long_ // 10,
                     (extra // 10 - long_ // 10) & 0xFFFF, double // 10)
    words = [0] * 28
    for k in st.keys:
        if k is None or k["event"] <= 0:
            continue
        w = k["mask"] & 0x3FFFFF
        w |= [0x7 << 22, 1 << 22, 1 << 23, 1 << 24][k["state"]]
        if 0 <= k["type"] <= 5:
            w |= 1 << [31, 30, 29, 25, 26, 27][k["type"]]
        words[k["event"]] |= w
    for e in range(1, 28):
        struct.pack_into("<I", rec, 0x38F + 4 * e, words[e])
    for bi, b in enumerate(c.eq):
        co = eq_coefficients(b["enabled"], b["type"], b["high_low"], b["gain_db"], b["center_hz"], b["sample_hz"],
                             b["bandwidth_hz"])
        struct.pack_into("<B5i", rec, 0x3FF + 21 * bi, b["enabled"] & 0xFF, *co)
    struct.pack_into("<II", rec, 0x468, c.noise, c.echo + 1)
    for vi, v in enumerate(c.voice_eq):
        struct.pack_into("<BBHiiii", rec, 0x470 + 20 * vi, v["type"], v["high_low"], 0, v["gain_db"], v["center_hz"],
                         v["sample_hz"], v["bandwidth_hz"])
    rec[0x498], rec[0x499] = c.voice_en
    return bytes(rec), placements, prompt_size


def expected_images(c, rec, placements, prompt_size, firmware):
    code_kb = 448 if c.flash == 0 else 512
    buf_size = (FLASH_KB[c.flash] - 12) * 1024
    length = code_kb * 1024 + 4096 + prompt_size
    img = bytearray(b"\xFF" * max(length, buf_size))
    img[0:len(firmware)] = firmware
    img[code_kb * 1024:code_kb * 1024 + RECORD_SIZE] = rec
    limit = free_prompt_kb(c.flash, True) * 1024
    for path, off, _, _ in placements:
        if not os.path.exists(path):
            continue
        data = open(path, "rb").read()
        if len(data) > limit:
            continue
        n = min(struct.unpack_from("<I", data, 40)[0], len(data) - 44, buf_size - off - 4)
        img[off:off + n + 4] = bytes(n + 4)
        struct.pack_into("<I", img, off, n)
        img[off + 4:off + n] = data[48:44 + n]
    if ((length + 31) // 32) * 34 > buf_size:
        return None, None, None
    img = img[:length]
    crc, check = crc_image(bytes(img))
    return bytes(img), crc, check


def prompt_refusal(c, placements, allow_missing):
    """What `build` refuses about the prompts, in table order: a text its message holds, or None."""
    buf_size = (FLASH_KB[c.flash] - 12) * 1024
    limit = free_prompt_kb(c.flash, True) * 1024
    for path, off, recorded, slot in placements:
        if not os.path.exists(path):
            if allow_missing:
                continue
            return "the file does not exist"
        data = open(path, "rb").read()
        if len(data) > limit:
            return "longer than the space left for prompts"
        if len(data) < 44:
            if allow_missing:
                continue
            return "cannot be read"
        if off + 4 > buf_size:
            return "beyond the image"
        n = min(struct.unpack_from("<I", data, 40)[0], len(data) - 44, buf_size - off - 4)
        # The data must stay in its place; the zero tail may reach three bytes past it.
        if n > max(recorded, slot - 4):
            return "would run into the next prompt"
    return None


def summary_text(c, bin_path, check):
    addr = "0x" + "".join("%02x" % b for b in reversed(c.address))
    dev = DEVICE_TYPES.get(c.device_class, "WEARABLE HEADSET")
    return ("Image create OK:\r\norigin CRC bin: %s\r\n" % bin_path + "BT Config:\r\n" +
            "Bt Address: %s\tDevice class: %s\r\n" % (addr, dev) +
            "Device name: %s\r\nDefault Pin code: %s\r\n" % (c.name, c.pin) +
            "Auto connection " + ("enabled\r\n" if c.auto_reconnect else "disabled\r\n") +
            "CRC Value:  %x\r\n" % check)


# ---------------------------------------------------------------- checks

class Results:
    def __init__(self, verbose):
        self.passed = 0
        self.failed = 0
        self.verbose = verbose

    def check(self, ok, what, details=()):
        if ok:
            self.passed += 1
        else:
            self.failed += 1
            print("FAIL %s" % what)
            for d in details:
                print("    " + d)
        return ok


def check_model_examples(res):
    """The model's own building blocks against known values, so a fault in the model
    is not mistaken for one in the tool."""
    res.check(crc16_cms(b"123456789") == 0xAEE7, "model: CRC-16 check value")
    res.check(crc16_cms(b"\xFF" * 32) == 0x000C and crc16_cms(bytes(32)) == 0x8029, "model: CRC of erased and zero blocks")
    blocks = crc_image(bytes(32 * 1024 + 1))[0]
    res.check(len(blocks) == 1025 * 34 + 4, "model: CRC image length")
    res.check(image_checksum(bytes([1, 2, 3, 4, 5, 6])) == 0xFFFFFFF3 and image_checksum(b"\x07\x08") == 0xFFFFFFF0,
              "model: image checksum")
    res.check(free_prompt_kb(0, True) == 19 and free_prompt_kb(3, True) == 3535 and free_prompt_kb(0, False) == 48,
              "model: free prompt space")
    res.check(kb_of_size(4096) == 8 and kb_of_size(0) == 0, "model: prompt space of one file")


def check_eq(cli, rng, res, count):
    bands = [dict(type=t, high_low=h, gain_db=g, center_hz=fc, sample_hz=44100, bandwidth_hz=100, expect=e)
             for t, h, g, fc, e in EQ_REFERENCE]
    for _ in range(count):
        b = random_band(rng)
        b["expect"] = None
        bands.append(b)
    for b in bands:
        mine = eq_coefficients(1, b["type"], b["high_low"], b["gain_db"], b["center_hz"], b["sample_hz"],
                               b["bandwidth_hz"])
        if b["expect"] is not None:
            res.check(mine == b["expect"], "reference coefficients %r" % (b,), ["python %r" % (mine,)])
        rc, out, err = cli.run("eq", "--type", "peak" if b["type"] else "shelving",
                               "--side", "high" if b["high_low"] else "low", "--gain", repr(b["gain_db"]),
                               "--center", b["center_hz"], "--rate", b["sample_hz"], "--bandwidth", b["bandwidth_hz"])
        got = tuple(int(x) for x in out.split()) if rc == 0 else None
        res.check(got == mine, "eq %r" % ({k: v for k, v in b.items() if k != "expect"},),
                  ["tool %r (rc %d %s), python %r" % (got, rc, err.strip(), mine)])


def check_roundtrip(cli, path, tmp, res, what):
    j = os.path.join(tmp, "rt.json")
    back = os.path.join(tmp, "rt.cfg")
    rc1, _, e1 = cli.run("export", path, "--out", j)
    rc2, _, e2 = cli.run("import", j, "--out", back)
    a = open(path, "rb").read()
    b = open(back, "rb").read() if rc1 == 0 and rc2 == 0 else b""
    res.check(a == b, "export/import round trip of %s" % what,
              [e1.strip(), e2.strip()] + first_differences(b, a, cfg_field_name))


def check_new(cli, rng, tmp, res, flash, chip):
    cfg = os.path.join(tmp, "new.cfg")
    fw = os.path.join(tmp, "new_fw.bin")
    with open(fw, "wb") as f:
        f.write(bytes(rng.getrandbits(8) for _ in range(rng.randrange(1, 5000))))
    rc, _, err = cli.run("new", cfg, "--flash", FLASH_NAMES[flash], "--chip", CHIP_NAMES[chip])
    if not res.check(rc == 0, "new %s %s" % (FLASH_NAMES[flash], CHIP_NAMES[chip]), [err.strip()]):
        return
    out = os.path.join(tmp, "new.IMG")
    rc, _, err = cli.run("build", cfg, "--out", out, "--bin", fw)
    data = open(cfg, "rb").read()
    code_kb = 448 if flash == 0 else 512
    img = open(out, "rb").read() if rc == 0 else b""
    got = img[code_kb * 1024:code_kb * 1024 + RECORD_SIZE]
    res.check(got == data[:RECORD_SIZE], "record of `new` %s %s equals the built image's" % (FLASH_NAMES[flash], CHIP_NAMES[chip]),
              [err.strip()] + first_differences(got, data[:RECORD_SIZE], record_field_name))
    check_roundtrip(cli, cfg, tmp, res, "new file")


def check_refusals(cli, base, rng, tmp, res):
    """Power-switch settings the collect step refuses: nothing is written."""
    cases = [(True, True, rng.randrange(256), "不能同时选中外部MOS开关机和软关机"),
             (False, True, rng.randrange(23, 256), "外部MOS开关机控制脚无效")]
    fw = os.path.join(tmp, "refuse.bin")
    with open(fw, "wb") as f:
        f.write(b"\x00" * 64)
    for i, (soft, mos, pin, message) in enumerate(cases):
        d = json.loads(json.dumps(base))
        d["record"]["sys_flags"]["soft_boot"] = soft
        d["record"]["sys_flags"]["external_mos_switch"] = mos
        d["record"]["power_key_gpio"] = pin
        js = os.path.join(tmp, "refuse%d.json" % i)
        cfg = os.path.join(tmp, "refuse%d.cfg" % i)
        with open(js, "w") as f:
            json.dump(d, f)
        rc, _, err = cli.run("import", js, "--out", cfg, "--recollect")
        res.check(rc == 1 and message in err.splitlines() and not os.path.exists(cfg),
                  "import --recollect refused: %s" % message, ["rc %d, stderr %r" % (rc, err)])
        rc, _, err = cli.run("import", js, "--out", cfg)
        if not res.check(rc == 0, "import as stored", [err.strip()]):
            continue
        out_dir = os.path.join(tmp, "refuse_out%d" % i)
        os.mkdir(out_dir)
        rc, out, err = cli.run("build", cfg, "--out", os.path.join(out_dir, "r.IMG"), "--bin", fw)
        res.check(rc == 1 and message in err.splitlines() and not os.listdir(out_dir) and out == "",
                  "build refused: %s" % message, ["rc %d, files %r, stderr %r" % (rc, os.listdir(out_dir), err)])


def check_config(cli, base, rng, tmp, idx, res):
    c = random_config(rng, tmp, idx)
    fw = os.path.join(tmp, "firmware%d.bin" % idx)
    code_kb = 448 if c.flash == 0 else 512
    fw_len = rng.choice([1, 100, rng.randrange(1, 40000), code_kb * 1024, code_kb * 1024, code_kb * 1024 + 1])
    firmware = bytes(rng.getrandbits(8) for _ in range(min(fw_len, 4096))) * (fw_len // 4096 + 1)
    firmware = firmware[:fw_len]
    with open(fw, "wb") as f:
        f.write(firmware)
    js = os.path.join(tmp, "c%d.json" % idx)
    cfg = os.path.join(tmp, "c%d.cfg" % idx)
    with open(js, "w") as f:
        json.dump(config_json(base, c, "firmware%d.bin" % idx), f)
    rc, _, err = cli.run("import", js, "--out", cfg, "--recollect")
    tag = "config %d (%s %s)" % (idx, FLASH_NAMES[c.flash], CHIP_NAMES[c.chip])
    if not res.check(rc == 0, tag + ": import --recollect", [err.strip()]):
        return
    data = open(cfg, "rb").read()
    st = expected_after_read(c)
    rec, placements, prompt_size = expected_record(c, st)
    diffs = first_differences(data[:RECORD_SIZE], rec, record_field_name)
    if any("prompt_slots" in d for d in diffs):
        diffs += ["sound entry %d: %s" % (i, {k: (os.path.basename(v) if k == "path" else v) for k, v in s.items()})
                  for i, s in enumerate(st.sounds) if s]
    res.check(data[:RECORD_SIZE] == rec, tag + ": record after Read Config / Write Config", diffs)
    tables = b"".join(sound_bytes(s) for s in st.sounds) + b"".join(led_bytes(e) for e in c.leds)
    tables += b"".join(key_bytes(k) for k in st.keys) + b"".join(eq_bytes(b) for b in c.eq)
    tables += struct.pack("<II", c.flash, c.chip) + ("firmware%d.bin" % idx).encode()
    res.check(data[RECORD_SIZE:] == tables, tag + ": tables after Read Config / Write Config",
              [("0x%X (%s)" % (RECORD_SIZE + i, cfg_field_name(RECORD_SIZE + i)))
               for i in range(min(len(tables), len(data) - RECORD_SIZE)) if data[RECORD_SIZE + i] != tables[i]][:4])
    check_roundtrip(cli, cfg, tmp, res, tag)
    # A byte-noise variant exercises the JSON form on values the pages never produce.
    noisy = bytearray(data)
    for _ in range(rng.randrange(1, 40)):
        noisy[rng.randrange(len(noisy))] = rng.getrandbits(8)
    noisy_path = os.path.join(tmp, "noisy.cfg")
    with open(noisy_path, "wb") as f:
        f.write(noisy)
    check_roundtrip(cli, noisy_path, tmp, res, tag + " with random bytes")
    # Generate image.  `build` reads the file again: the load's fit check counts a file
    # shared by several rows at its last row, so when that row was refused an earlier
    # sharer stayed uncounted and the second read may refuse it too.  Model that read.
    c2 = Config()
    c2.__dict__.update(c.__dict__)
    c2.sounds, c2.keys = st.sounds, st.keys
    c2.pa_gpio, c2.line_gpio, c2.sd_gpio = st.sys_state["pa"], st.sys_state["line"], st.sys_state["sd"]
    c2.led_lp, c2.led0, c2.led1 = st.led_state["lp"], st.led_state["led0"], st.led_state["led1"]
    st2 = expected_after_read(c2)
    rec, placements, prompt_size = expected_record(c2, st2)
    out_dir = os.path.join(tmp, "out%d" % idx)
    os.mkdir(out_dir)
    # The CRC image's name is the base name up to its first dot plus "_CRC" and the
    # extension after the last dot; the copies replace the extension's first three
    # characters.
    base, ext = "img%d" % idx, rng.choice(["IMG", "IMG", "bin", "IMAGE"])
    out_name = base + rng.choice(["", "", ".v2", ".a.b"]) + "." + ext
    out = os.path.join(out_dir, out_name)
    crc_names = [base + "_CRC." + e + ext[3:] for e in (ext[:3], "QR1", "TU1")]
    # A prompt file moved away after it was chosen refuses the build; with
    # --allow-missing-prompts it is skipped and its blocks stay erased.
    allow = []
    if placements and rng.random() < 0.15:
        os.remove(rng.choice(placements)[0])
        allow = ["--allow-missing-prompts"]
    # A prompt file recorded again after it was chosen: its data may now run into the
    # next prompt's blocks (refused), or the file may be over the loader's limit
    # (refused: the image would go without it).
    elif placements and rng.random() < 0.2:
        path = rng.choice(placements)[0]
        n = struct.unpack_from("<I", open(path, "rb").read(), 40)[0]
        limit = free_prompt_kb(c.flash, True) * 1024
        make_wave(path, rng, rng.choice([n + 2 * rng.randrange(1, 3000), limit - 44, limit - 42,
                                         2 * rng.randrange(n // 2 + 1, limit)]))
    if allow and len(firmware) <= code_kb * 1024:
        refusal = prompt_refusal(c, placements, False)
        rc, stdout, err = cli.run("build", cfg, "--out", out, "--bin", fw)
        res.check(rc == 1 and not os.listdir(out_dir) and refusal is not None and refusal in err and stdout == "",
                  tag + ": build refused, a prompt file is missing",
                  ["rc %d, files %r, stderr %r, want %r" % (rc, os.listdir(out_dir), err, refusal)])
    if len(firmware) > code_kb * 1024:
        rc, stdout, err = cli.run("build", cfg, "--out", out, "--bin", fw, *allow)
        res.check(rc == 1 and not os.listdir(out_dir) and err.strip() != "",
                  tag + ": firmware longer than the code area is refused",
                  ["rc %d, files %r, stderr %r" % (rc, os.listdir(out_dir), err)])
        return
    # Half the builds take the bin path stored in the file, relative to the current folder.
    if rng.random() < 0.5:
        shown_bin = "firmware%d.bin" % idx
        rc, stdout, err = cli.run("build", cfg, "--out", out, *allow, cwd=tmp)
    else:
        shown_bin = fw
        rc, stdout, err = cli.run("build", cfg, "--out", out, "--bin", fw, *allow)
    refusal = prompt_refusal(c, placements, bool(allow))
    if refusal is not None:
        res.check(rc == 1 and not os.listdir(out_dir) and refusal in err and stdout == "",
                  tag + ": build refused: prompt " + refusal,
                  ["rc %d, files %r, stderr %r" % (rc, os.listdir(out_dir), err)])
        return
    img, crc, check = expected_images(c, rec, placements, prompt_size, firmware)
    if img is None:
        res.check(rc == 1 and not os.listdir(out_dir) and "crc bin file is too large!! " in err,
                  tag + ": build refused, CRC image too large", ["rc %d, files %r, stderr %r" % (rc, os.listdir(out_dir), err)])
        return
    if not res.check(rc == 0, tag + ": build", [err.strip()]):
        return
    got = open(out, "rb").read()
    res.check(got == img, tag + ": plain image",
              first_differences(got, img, lambda o: ("record " + record_field_name(o - code_kb * 1024))
                                if code_kb * 1024 <= o < code_kb * 1024 + RECORD_SIZE else "image"))
    for name in crc_names:
        p = os.path.join(out_dir, name)
        got = open(p, "rb").read() if os.path.exists(p) else b""
        res.check(got == crc, tag + ": CRC image " + os.path.basename(p),
                  first_differences(got, crc, lambda o: "block %d byte %d" % (o // 34, o % 34)))
    res.check(sorted(os.listdir(out_dir)) == sorted([out_name] + crc_names), tag + ": output files",
              [repr(os.listdir(out_dir))])
    want = summary_text(c, shown_bin, check)
    res.check(stdout in (want, want + "\n"), tag + ": summary", ["tool %r" % stdout, "want %r" % want])


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--cli", required=True, help="path of tessera-cli")
    ap.add_argument("--seed", type=int, default=1)
    ap.add_argument("--count", type=int, default=40, help="random configurations")
    ap.add_argument("--eq-count", type=int, default=200, help="random equalizer bands")
    ap.add_argument("--keep", action="store_true", help="keep the temporary folder")
    args = ap.parse_args()
    cli = Cli(os.path.abspath(args.cli))
    rng = random.Random(args.seed)
    res = Results(False)
    tmp = tempfile.mkdtemp(prefix="tessera-xcheck-")
    try:
        check_model_examples(res)
        check_eq(cli, rng, res, args.eq_count)
        base_cfg = os.path.join(tmp, "base.cfg")
        rc, _, err = cli.run("new", base_cfg)
        if res.check(rc == 0, "new", [err.strip()]):
            rc, out, err = cli.run("export", base_cfg)
            base = json.loads(out)
            check_refusals(cli, base, rng, tmp, res)
            for flash in range(4):
                for chip in range(3):
                    check_new(cli, rng, tmp, res, flash, chip)
            for i in range(args.count):
                check_config(cli, base, rng, tmp, i, res)
    finally:
        if args.keep:
            print("kept " + tmp)
        else:
            shutil.rmtree(tmp, ignore_errors=True)
    print("%d passed, %d failed" % (res.passed, res.failed))
    return 1 if res.failed else 0


if __name__ == "__main__":
    sys.exit(main())
