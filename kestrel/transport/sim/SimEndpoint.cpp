#include "transport/sim/SimEndpoint.h"

namespace kestrel {

bool SimEndpoint::Write(const uint8_t* data, size_t length, size_t* written) {
  if (written == nullptr) return false;
  *written = 0;
  if (kind_ != Kind::kOut) return false;
  return connection_->Write(data, length, written);
}

bool SimEndpoint::Read(uint8_t* buffer, size_t length, size_t* received, int timeoutMs) {
  if (received == nullptr) return false;
  *received = 0;
  if (kind_ != Kind::kIn) return false;
  return connection_->Read(buffer, length, received, timeoutMs);
}

}  // namespace kestrel
