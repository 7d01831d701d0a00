#pragma once
// Which adapters the window works with: kestrel::ChooseTransport, the choice kestrel-cli
// makes too, in the window's strings.
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <string>

#include "core/Transport.h"

namespace kestrel::ui {

// Carries the backend's words for the operator (why an adapter cannot be opened, why a
// slot's pipe gave up) from whatever thread ran into them to the window's thread.
class AdapterNotices : public QObject {
  Q_OBJECT
 public:
  // Any thread.
  void Post(const std::string& text) { emit notice(QString::fromStdString(text)); }

 signals:
  void notice(const QString& text);
};

struct BackendChoice {
  // Every notice of the transport, also handed to BackendArgs::notice. Declared first, so
  // it outlives the transport whose threads post to it.
  std::unique_ptr<AdapterNotices> notices = std::make_unique<AdapterNotices>();
  std::unique_ptr<Transport> transport;  // null when error is set
  QString description;                   // shown in the window, e.g. "模拟适配器: /tmp/a"
  QString error;
};

struct BackendArgs {
  QString simDir;
  QString usbId;  // empty: the environment variable
  // Why an adapter cannot be opened or a slot's pipe gave up (any thread).
  std::function<void(const std::string&)> notice;
};

BackendChoice ChooseBackend(const BackendArgs& args);

}  // namespace kestrel::ui
