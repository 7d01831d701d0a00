#pragma once
#include <memory>

#include "core/Transport.h"
#include "transport/sim/SimConnection.h"

namespace kestrel {

// One endpoint on a simulated adapter. The device endpoint carries no transfers; the
// out pipe only writes and the in pipe only reads, as the adapter's bulk pipes do.
// The two pipes of a slot share one connection.
class SimEndpoint : public Endpoint {
 public:
  enum class Kind { kDevice, kOut, kIn };
  SimEndpoint(Kind kind, std::shared_ptr<SimConnection> connection)
      : kind_(kind), connection_(std::move(connection)) {}
  bool Write(const uint8_t* data, size_t length, size_t* written) override;
  bool Read(uint8_t* buffer, size_t length, size_t* received, int timeoutMs) override;
  Kind kind() const { return kind_; }
  const std::shared_ptr<SimConnection>& connection() const { return connection_; }

 private:
  Kind kind_;
  std::shared_ptr<SimConnection> connection_;
};

}  // namespace kestrel
