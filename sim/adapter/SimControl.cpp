#include "SimControl.h"

#include <sstream>

namespace kestrel::sim {

std::string SimControl::Execute(const std::string& line) {
  std::istringstream in(line);
  std::string command;
  in >> command;
  if (command == "status") {
    std::string reply = "ok";
    for (const auto& a : *adapters_) reply += a->plugged() ? " plugged" : " unplugged";
    return reply;
  }
  std::string boardText;
  in >> boardText;
  size_t board = 0;
  bool numeric = !boardText.empty() && boardText.size() <= 3 &&
                 boardText.find_first_not_of("0123456789") == std::string::npos;
  if (numeric) board = std::stoul(boardText);
  if (!numeric || board >= adapters_->size()) {
    if (command == "plug" || command == "unplug" || command == "fault" || command == "clear") {
      return "error no board " + boardText;
    }
    return "error unknown command";
  }
  SimAdapter& adapter = *(*adapters_)[board];
  std::string error;
  if (command == "unplug") {
    adapter.Unplug();
    return "ok";
  }
  if (command == "plug") return adapter.Plug(&error) ? "ok" : "error " + error;
  if (command == "clear") {
    adapter.ClearFaults();
    return "ok";
  }
  if (command == "fault") {
    std::string setting;
    in >> setting;
    return adapter.SetFault(setting, &error) ? "ok" : "error " + error;
  }
  return "error unknown command";
}

}  // namespace kestrel::sim
