#include "tessera/core/link/LinkProtocol.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <utility>

#include "tessera/core/eq/EqCoefficients.h"

namespace tessera::link {

namespace {

std::string Fields(std::string head, std::initializer_list<long long> values) {
  for (long long v : values) {
    head += '+';
    head += std::to_string(v);
  }
  return head;
}

std::string Logged(std::string_view tag, std::string_view text) {
  std::string s(tag);
  s += ' ';
  s += text;
  s += "\r\n";
  return s;
}

}  // namespace

std::string EqConfText(int n, const EqBandParams& band) {
  return Fields("CMD+AUD+CONF", {n, band.type, band.highLow, GainTimes10000(band.gainDb),
                                 band.centerHz, band.sampleHz, band.bandwidthHz});
}

std::string EqEnableText(int n, int on) { return Fields("CMD+AUD+ENABLE", {n, on}); }

Outgoing EqConfCommand(int n, const EqBandParams& band) {
  const std::string text = EqConfText(n, band);
  return {Logged("[WRITE]", text), text + kTerminator};
}

Outgoing EqEnableCommand(int n, int on) {
  const std::string text = EqEnableText(n, on);
  return {Logged("[WRITE]", text), text + kTerminator};
}

Outgoing VoiceEqConfCommand(int e, const VoiceEqParams& eq) {
  return {{},
          Fields("CMD+AUD+CONF", {e, eq.type, eq.highLow, eq.gainDb, eq.centerHz, eq.sampleHz,
                                  eq.bandwidthHz}) +
              kTerminator};
}

Outgoing VoiceEqEnableCommand(int e, int on) {
  return {{}, EqEnableText(e, on) + "\"\r\n"};
}

Outgoing AecIoctlCommand(int item, int value) {
  return {{}, Fields("CMD+FLASH+AECIOCTL", {item, value}) + "\""};
}

Outgoing RfFixedCommand(std::string_view text, std::string_view description) {
  return {Logged("[CMD]", description), std::string(text) + kTerminator};
}

Outgoing FreeTextCommand(std::string_view text) {
  return {Logged("[WRITE]", text), std::string(text) + kTerminator};
}

std::string_view ChunkText(std::string_view bytes) {
  const auto zero = bytes.find('\0');
  return zero == std::string_view::npos ? bytes : bytes.substr(0, zero);
}

std::string RewriteReplies(std::string_view text) {
  static constexpr std::array<std::pair<std::string_view, std::string_view>, 4> kRewrites{{
      {"CMD+OK", "CMD OK!"},
      {"CMD+FAIL", "CMD FAIL!"},
      {"REG+OK", "REG OK!"},
      {"REG+FAIL", "REG FAIL!"},
  }};
  std::string s(text);
  for (const auto& [from, to] : kRewrites) {
    std::string out;
    out.reserve(s.size() + 8);
    size_t pos = 0;
    for (size_t hit; (hit = s.find(from, pos)) != std::string::npos; pos = hit + from.size()) {
      out.append(s, pos, hit - pos);
      out += to;
    }
    out.append(s, pos, std::string::npos);
    s = std::move(out);
  }
  return s;
}

std::string OpenFailedEntry(std::string_view port) {
  return "Serial port " + std::string(port) + " init failed\r\n";
}

std::string OpenOkEntry(std::string_view port) {
  return "Serial port " + std::string(port) + " init OK\r\n";
}

std::string PortLostEntry(std::string_view port) {
  return "Serial port " + std::string(port) + " lost, closed\r\n";
}

std::vector<std::string> SortPortNames(std::vector<std::string> names) {
  auto folded = [](const std::string& s) {
    std::string f(s);
    for (auto& c : f) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return f;
  };
  std::sort(names.begin(), names.end(), [&](const std::string& a, const std::string& b) {
    const auto fa = folded(a), fb = folded(b);
    return fa != fb ? fa < fb : a < b;
  });
  return names;
}

}  // namespace tessera::link
