#pragma once
// Where the core sends the texts the user must see. The window shows each one in a
// modal message box (OK, no icon, application title); the command line prints them.
#include <string>
#include <vector>

namespace tessera {

class MessageSink {
 public:
  virtual ~MessageSink() = default;
  virtual void Show(const std::string& text) = 0;
};

// Keeps every message in order; used by the command line and by tests.
class RecordingSink : public MessageSink {
 public:
  void Show(const std::string& text) override { messages.push_back(text); }
  std::vector<std::string> messages;
};

}  // namespace tessera
