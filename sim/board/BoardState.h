#pragma once
// What the simulated board keeps of the commands it was sent: the seven equalizers
// (five audio bands, two voice equalizers), the echo canceller's four settings and
// the radio test modes. Each command is one text without its closing quote.
#include <array>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace board {

struct Equalizer {
  int type = 0, highLow = 0, gain = 0, centerHz = 0, sampleHz = 0, bandwidthHz = 0;
  int enabled = 0;
  bool configured = false;
};

class BoardState {
 public:
  static constexpr int kEqualizers = 7;

  // Applies one command; false when it is malformed (unknown, wrong number of
  // fields, a field that is not a number or out of range), which leaves the state as
  // it was.
  bool Apply(std::string_view command);
  nlohmann::json ToJson() const;

  std::array<Equalizer, kEqualizers> eq{};
  std::array<int, 4> aec{};  // noise suppression, echo suppression, DAC gain, mic gain
  bool dut = false, sinwave = false;
  int channel = 0, power = 0, mode = 0;
  int commands = 0, failed = 0;
};

}  // namespace board
