#include "tessera/core/link/PageCommands.h"

namespace tessera::link {

void EqLinkState::ChooseEq(int n) {
  eqNumber = n;
  enableCheck = n >= 0 && n < kEqBands ? liveEnable[static_cast<size_t>(n)] : 0;
}

Outgoing ConfigEqCommand(const CPageEQ& page, int n) {
  if (n < 0 || n >= kEqBands) return {};
  return EqConfCommand(n, page.bands[static_cast<size_t>(n)]);
}

Outgoing EnableEqCommand(EqLinkState& link) {
  if (link.eqNumber < 0 || link.eqNumber >= kEqBands) return {};
  link.liveEnable[static_cast<size_t>(link.eqNumber)] = link.enableCheck;
  return EqEnableCommand(link.eqNumber, link.enableCheck);
}

Outgoing EchoLevelCommand(const CPageEcho& page, int listId) {
  // The echo suppression list shows 1..3 at indices 0..2 and the board takes 1..3; the
  // DAC gain goes as its list index, not as the volume the System page keeps.
  switch (listId) {
    case CPageEcho::kIdNoiseSuppression: return AecIoctlCommand(0, page.noiseSuppressionIndex);
    case CPageEcho::kIdEchoSuppression: return AecIoctlCommand(1, page.echoSuppressionIndex + 1);
    case CPageEcho::kIdDacGain: return AecIoctlCommand(2, page.dacGainIndex);
    case CPageEcho::kIdMicGain: return AecIoctlCommand(3, page.micGainIndex);
    default: return {};
  }
}

std::array<Outgoing, 2> VoiceEqApplyCommands(const CPageEcho& page, int k) {
  const auto i = static_cast<size_t>(k);
  return {VoiceEqConfCommand(5 + k, page.voiceEqs[i]), VoiceEqEnableCommand(5 + k, page.voiceEqOn[i])};
}

}  // namespace tessera::link
