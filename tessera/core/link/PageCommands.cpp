#include "tessera/core/link/PageCommands.h"

namespace tessera::link {

Outgoing ConfigEqCommand(const CPageEQ& page) {
  return EqConfCommand(page.eqNumber, page.bands[static_cast<size_t>(page.eqNumber)]);
}

Outgoing EnableEqCommand(CPageEQ& page) {
  page.liveEnable[static_cast<size_t>(page.eqNumber)] = page.enableCheck;
  return EqEnableCommand(page.eqNumber, page.enableCheck);
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
