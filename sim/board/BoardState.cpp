#include "BoardState.h"

#include <charconv>
#include <optional>
#include <vector>

namespace board {

namespace {

std::vector<std::string_view> Split(std::string_view s) {
  std::vector<std::string_view> parts;
  size_t start = 0;
  for (size_t plus; (plus = s.find('+', start)) != std::string_view::npos; start = plus + 1)
    parts.push_back(s.substr(start, plus - start));
  parts.push_back(s.substr(start));
  return parts;
}

std::optional<int> Number(std::string_view s) {
  int v = 0;
  auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  if (ec != std::errc() || end != s.data() + s.size() || s.empty()) return std::nullopt;
  return v;
}

// The numeric fields after a fixed head, each within [lo, hi].
std::optional<std::vector<int>> Numbers(const std::vector<std::string_view>& parts, size_t head,
                                        std::initializer_list<std::pair<int, int>> ranges) {
  if (parts.size() != head + ranges.size()) return std::nullopt;
  std::vector<int> out;
  size_t i = head;
  for (auto [lo, hi] : ranges) {
    auto v = Number(parts[i++]);
    if (!v || *v < lo || *v > hi) return std::nullopt;
    out.push_back(*v);
  }
  return out;
}

constexpr int kAny = 1 << 30;

}  // namespace

bool BoardState::Apply(std::string_view command) {
  ++commands;
  const auto p = Split(command);
  const auto is = [&](std::initializer_list<std::string_view> head) {
    if (p.size() < head.size()) return false;
    size_t i = 0;
    for (auto h : head)
      if (p[i++] != h) return false;
    return true;
  };
  bool ok = false;
  if (is({"CMD", "AUD", "CONF"})) {
    if (auto v = Numbers(p, 3, {{0, 6}, {0, 1}, {0, 1}, {-kAny, kAny}, {1, 20000}, {8000, 48000},
                                {1, 20000}})) {
      auto& e = eq[static_cast<size_t>((*v)[0])];
      e.type = (*v)[1], e.highLow = (*v)[2], e.gain = (*v)[3];
      e.centerHz = (*v)[4], e.sampleHz = (*v)[5], e.bandwidthHz = (*v)[6];
      e.configured = true;
      ok = true;
    }
  } else if (is({"CMD", "AUD", "ENABLE"})) {
    if (auto v = Numbers(p, 3, {{0, 6}, {0, 1}})) {
      eq[static_cast<size_t>((*v)[0])].enabled = (*v)[1];
      ok = true;
    }
  } else if (is({"CMD", "FLASH", "AECIOCTL"})) {
    if (auto v = Numbers(p, 3, {{0, 3}, {0, 95}})) {
      aec[static_cast<size_t>((*v)[0])] = (*v)[1];
      ok = true;
    }
  } else if (is({"CMD", "DUTTEST"}) && p.size() == 3 && (p[2] == "OPEN" || p[2] == "CLOSE")) {
    dut = p[2] == "OPEN";
    ok = true;
  } else if (is({"CMD", "SINWAVE", "CONF"})) {
    if (auto v = Numbers(p, 3, {{0, 80}, {0, 0}, {0, 5}})) {
      channel = (*v)[0], power = (*v)[1], mode = (*v)[2];
      ok = true;
    }
  } else if (is({"CMD", "SINWAVE"}) && p.size() == 3 && (p[2] == "OPEN" || p[2] == "CLOSE")) {
    sinwave = p[2] == "OPEN";
    ok = true;
  }
  if (!ok) ++failed;
  return ok;
}

nlohmann::json BoardState::ToJson() const {
  nlohmann::json j;
  j["eq"] = nlohmann::json::array();
  for (const auto& e : eq)
    j["eq"].push_back({{"type", e.type}, {"highLow", e.highLow}, {"gain", e.gain},
                       {"centerHz", e.centerHz}, {"sampleHz", e.sampleHz},
                       {"bandwidthHz", e.bandwidthHz}, {"enabled", e.enabled},
                       {"configured", e.configured}});
  j["aec"] = {{"noiseSuppression", aec[0]}, {"echoSuppression", aec[1]}, {"dacGain", aec[2]},
              {"micGain", aec[3]}};
  j["dut"] = dut;
  j["sinwave"] = sinwave;
  j["channel"] = channel;
  j["power"] = power;
  j["mode"] = mode;
  j["commands"] = commands;
  j["failed"] = failed;
  return j;
}

}  // namespace board
