#include "tessera/core/config/EventNames.h"

namespace tessera {
namespace names {

const std::array<const char*, 28> kKeyEventList = {
    "Invalid",         "PLAY/PAUSE",      "NEXT SONG",       "PREV SONG",     "REWIND",
    "FORWARD",         "AUDIO VOL+",      "AUDIO VOL-",      "ADUIO MUTE",    "MATCH",
    "POWER DOWN",      "CALL ACK/HUNGUP", "CALL REJECT",     "REDIAL CALL",   "STEREO MASTER",
    "STEREO SLAVE",    "MIC MUTE",        "VOICE DIAL",      "HF TRANSFER",   "CONN/DISCONN",
    "STOP",            "CLEAR MEMORY",    "TEST MODE",       "WAVE LANG CHANGE",
    "TWC-HOLD&ACCEPT", "TWC-HUNG&ACCEPT", "TWC-REJECT HOLD", "STEREO M/S",
};

const std::array<const char*, 28> kKeyEventDialog = {
    "Invalid",           "PLAY/PAUSE",        "NEXT SONG",       "PREV SONG",
    "REWIND",            "FORWARD",           "AUDIO VOLUME+",   "AUDIO VOLUME-",
    "AUDIO MUTE",        "MATCH",             "POWER DOWN",      "CALL ACK/HUNGUP",
    "CALL REJECT",       "REDIAL CALL",       "STEREO MASTER",   "STEREO SLAVE",
    "MIC VOLUME MUTE",   "VOICE DIAL INITAIL", "TRANSFER TOGGLE", "CONN/DISCONN",
    "STOP",              "CLEAR MEMORY",      "TEST MODE",       "WAVE LANG CHANGE",
    "TWC-HOLD & ACCEPT", "TWC-HUNG & ACCEPT", "TWC-REJECT HOLD", "STEREO M/S",
};

const std::array<const char*, 6> kKeyTypeList = {"单击", "双击", "长按", "长按弹起", "超长按", "重复"};
const std::array<const char*, 6> kKeyTypeDialog = {"CLICK",         "DOUBLE CLICK",    "LONG PRESS",
                                                   "LONG PRESS UP", "VERY LONG PRESS", "REPEAT"};

const std::array<const char*, 4> kKeyStateList = {"ALL", "A2DP", "Hands-free", "Three Way Call"};
const std::array<const char*, 4> kKeyStateDialog = {"ALL", "A2DP ", "HFP", "TW CALL"};

const std::array<const char*, 23> kLedEventList = {
    "Invalid",          "AUTO CONNECTION",  "PAIRING STATE",      "NO PAIRING NO CONN",
    "CONNECTTED",       "BT MUSIC PAUSE",   "BT MUSIC PLAYING",   "INCOMING RINGING",
    "OUTGOING RINGING", "CALL ESTABLISHMENT", "LOW BATTERY",      "CHARGING",
    "BATTERY FULL",     "POWER ON",         "POWER OFF",          "LINE IN PLAY",
    "LINE IN PAUSE",    "FM PLAY",          "FM PAUSE",           "FM SCAN",
    "MUSIC PLAY",       "MUSIC PAUSE",      "TEST MODE",
};

const std::array<const char*, 23> kLedEventDialog = {
    "INVALID",          "AUTO CONNECTING",  "MATCH STATE",        "NO MATCH NO CONN",
    "CONNECTED",        "BT PAUSE",         "BT PLAY",            "INCOMING RINGING",
    "OUTGOING RINGING", "CALL ESTABLISHMENT", "LOW BATTERY",      "CHARGING",
    "BATTERY FULL",     "POWER ON",         "POWER OFF",          "LINE IN PLAY",
    "LINE IN PAUSE",    "FM_PLAY",          "FM_PAUSE",           "FM_SCAN",
    "MUSIC_PLAY",       "MUSIC_PAUSE",      "TEST MODE",
};

const std::array<const char*, 5> kLedOutputList = {"LED0", "LED1", "LED_LP", "ALTER", "BOTH"};
const std::array<const char*, 5> kLedOutputDialog = {"LED0", "LED1", "LED_LP", "ALTERN", "BOTH"};

const std::array<const char*, 44> kPromptEventList = {
    "Invalid",       "POWER ON",      "CONNECTED",          "DISCONNECTED",  "POWER OFF",
    "ENTER PAIRING", "LOW BATTERY",   "HFP RING",           "HFP ACK",       "HF REJECT",
    "HF CANCEL",     "HF VOICE DIAL", "MUTE MIC",           "UNMUTE MIC",    "VOL MAX",
    "VOL MIN",       "HF TRANSFER TOGGLE", "HF REDIAL",     "CLEAR MEMORY",  "VOICE NUM 0",
    "VOICE NUM 1",   "VOICE NUM 2",   "VOICE NUM 3",        "VOICE NUM 4",   "VOICE NUM 5",
    "VOICE NUM 6",   "VOICE NUM 7",   "VOICE NUM 8",        "VOICE NUM 9",   "BLUETOOTH MODE",
    "UDISK MODE",    "FM MODE",       "AUX MODE",           "SDCARD MODE",   "RESERVED 0",
    "RESERVED 1",    "RESERVED 2",    "RESERVED 3",         "RESERVED 4",    "RESERVED 5",
    "RESERVED 6",    "RESERVED 7",    "RESERVED 8",         "RESERVED 9",
};

const std::array<const char*, 44> kPromptEventDialog = {
    "INVALID",       "POWER ON",       "CONNECTED",           "DISCONNECTED",  "POWER OFF",
    "ENTER PAIRING", "LOW BATTERY",    "HFP RING",            "HFP ACK",       "HFP REJECT",
    "HFP CANCEL",    "HFP VOICE DIAL", "MUTE MIC",            "UNMUTE MIC",    "VOL MAX",
    "VOL MIN",       "HFP TRANSFER TOGGLE", "HFP REDIAL",     "CLEAR MEMORY",  "VOICE NUM 0",
    "VOICE NUM 1",   "VOICE NUM 2",    "VOICE NUM 3",         "VOICE NUM 4",   "VOICE NUM 5",
    "VOICE NUM 6",   "VOICE NUM 7",    "VOICE NUM 8",         "VOICE NUM 9",   "BLUETOOTH MODE",
    "UDISK MODE",    "FM MODE",        "AUX MODE",            "SDCARD MODE",   "RESERVED0",
    "RESERVED1",     "RESERVED2",      "RESERVED3",           "RESERVED4",     "RESERVED5",
    "RESERVED6",     "RESERVED7",      "RESERVED8",           "RESERVED9",
};

const std::array<const char*, 2> kPromptKindList = {"cust. wave file", "DTMF TONE"};
const std::array<const char*, 2> kPromptKindDialog = {"cust. wave file", "DTMF tone"};
const std::array<const char*, 2> kPromptEnableDialog = {"Enable", "Disable"};
const std::array<const char*, 2> kDtmfPatternDialog = {"PATTERN0", "PATTERN1"};
const std::array<const char*, 2> kDtmfModeDialog = {"BURST", "CONTINEOUS"};
const std::array<const char*, 1> kPromptLanguages = {"语言一"};

const char* NameAt(std::span<const char* const> table, int i) {
  return (i >= 0 && static_cast<std::size_t>(i) < table.size()) ? table[static_cast<std::size_t>(i)] : "";
}

std::vector<std::string> NameList(std::span<const char* const> table) {
  return std::vector<std::string>(table.begin(), table.end());
}

}  // namespace names
}  // namespace tessera
