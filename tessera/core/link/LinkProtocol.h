#pragma once
// The board's serial text protocol: ASCII both ways, fields joined by '+', numbers in
// plain decimal, every command closed by one double quote. Every command here is a
// function of page state, so the window, the command line and the tests send the
// same bytes.
#include <string>
#include <string_view>
#include <vector>

#include "tessera/core/config/TableEntries.h"

namespace tessera::link {

inline constexpr char kTerminator = '"';
inline constexpr std::string_view kLinkCheck = "LINK+CHECK";
inline constexpr std::string_view kLinkAnswer = "LINK+OK\"";  // no terminator, no line end
inline constexpr int kBaud = 115200;

// One write of a page: what goes into the link log (empty: nothing is logged) and the
// bytes that go on the wire.
struct Outgoing {
  std::string logEntry;
  std::string wire;
};

// "CMD+AUD+CONF+n+type+highLow+gain+centre+rate+bandwidth" without the terminator; the
// equalizer page's gain is trunc(gainDb x 10000).
std::string EqConfText(int n, const EqBandParams& band);
std::string EqEnableText(int n, int on);
// Equalizer page: Config EQ and Enable EQ, logged as "[WRITE] text\r\n".
Outgoing EqConfCommand(int n, const EqBandParams& band);
Outgoing EqEnableCommand(int n, int on);

// Echo page: nothing is logged. A voice equalizer goes as its CONF command (gain in
// whole dB) followed by an ENABLE command whose own quote is followed by CR LF.
Outgoing VoiceEqConfCommand(int e, const VoiceEqParams& eq);
Outgoing VoiceEqEnableCommand(int e, int on);
// Level lists: item 0 noise suppression, 1 echo suppression, 2 DAC gain, 3 mic gain.
Outgoing AecIoctlCommand(int item, int value);

// RF page: the fixed commands carry a quote of their own and get the terminator too,
// so they end with two quotes; logged as "[CMD] description\r\n".
Outgoing RfFixedCommand(std::string_view text, std::string_view description);
// Free text from the Send box: "[WRITE] text\r\n", the text and one terminator.
Outgoing FreeTextCommand(std::string_view text);

// Received chunk as text: the bytes up to the first zero byte.
std::string_view ChunkText(std::string_view bytes);
// CMD+OK -> CMD OK!, then CMD+FAIL, REG+OK, REG+FAIL likewise, each in one pass.
std::string RewriteReplies(std::string_view text);

// The page's own log lines around opening the port.
std::string OpenFailedEntry(std::string_view port);
std::string OpenOkEntry(std::string_view port);
inline constexpr std::string_view kConfigurationEntry =
    "Serial port configration: baud: 115200, databits: 8, stopbits: 1, parity: 0 \r\n";
// A port that went away under the link (adapter pulled out, board hung up).
std::string PortLostEntry(std::string_view port);

// The port list as the page shows it: text order (COM1, COM10, COM2), letters compared
// without regard to case.
std::vector<std::string> SortPortNames(std::vector<std::string> names);

}  // namespace tessera::link
