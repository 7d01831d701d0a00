#pragma once
// The equalizer and echo pages' commands as functions of the pages' state (the RF test
// page builds its own, CPageTest).
#include <array>

#include "tessera/core/link/LinkProtocol.h"
#include "tessera/core/pages/CPageEQ.h"
#include "tessera/core/pages/CPageEcho.h"

namespace tessera::link {

// What the equalizer page keeps of the link while the program runs, apart from the
// configuration: the equalizer number chosen (list 1177), the "Enable EQ" check box
// (1184) and the last on/off sent for each equalizer.
struct EqLinkState {
  int eqNumber = 0;
  int enableCheck = 0;
  std::array<int, kEqBands> liveEnable{};

  // Another equalizer number chosen: the check box shows what was last sent for it.
  void ChooseEq(int n);
};

// Config EQ: the parameters of equalizer n (0..4).
Outgoing ConfigEqCommand(const CPageEQ& page, int n);
// Enable EQ: the check box for the chosen equalizer, remembered as its live value.
Outgoing EnableEqCommand(EqLinkState& link);
// A level list changed (1187, 1188, 1191 or 1192): its item and value.
Outgoing EchoLevelCommand(const CPageEcho& page, int listId);
// apply of voice equalizer k: its CONF command, then its ENABLE command.
std::array<Outgoing, 2> VoiceEqApplyCommands(const CPageEcho& page, int k);

}  // namespace tessera::link
