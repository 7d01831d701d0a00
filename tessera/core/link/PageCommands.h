#pragma once
// The equalizer and echo pages' commands as functions of the pages' state (the RF test
// page builds its own, CPageTest).
#include <array>

#include "tessera/core/link/LinkProtocol.h"
#include "tessera/core/pages/CPageEQ.h"
#include "tessera/core/pages/CPageEcho.h"

namespace tessera::link {

// Config EQ: the selected equalizer's parameters.
Outgoing ConfigEqCommand(const CPageEQ& page);
// Enable EQ: the check box for the selected equalizer; the page remembers it as that
// equalizer's live value.
Outgoing EnableEqCommand(CPageEQ& page);
// A level list changed (1187, 1188, 1191 or 1192): its item and value.
Outgoing EchoLevelCommand(const CPageEcho& page, int listId);
// apply of voice equalizer k: its CONF command, then its ENABLE command.
std::array<Outgoing, 2> VoiceEqApplyCommands(const CPageEcho& page, int k);

}  // namespace tessera::link
