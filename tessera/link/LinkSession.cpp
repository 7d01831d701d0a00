#include "tessera/link/LinkSession.h"

namespace tessera {

LinkSession::LinkSession(QObject* parent, link::BoardPort* port, link::LinkTimer* silence)
    : QObject(parent), port_(nullptr, port, silence) {
  connect(&port_, &CSerialLink::burstReceived, this, &LinkSession::OnBurst);
  connect(&port_, &CSerialLink::portLost, this, [this](const QString&) {
    AppendLog(link::PortLostEntry(port_.PortName().toStdString()));
    emit openChanged(false);
  });
}

bool LinkSession::Open(const QString& name) {
  const std::string n = name.toStdString();
  if (!port_.Open(name)) {
    AppendLog(link::OpenFailedEntry(n));
    return false;
  }
  AppendLog(link::OpenOkEntry(n));
  AppendLog(std::string(link::kConfigurationEntry));
  emit openChanged(true);
  return true;
}

void LinkSession::Close() {
  if (!port_.IsOpen()) return;
  port_.Close();
  emit openChanged(false);
}

void LinkSession::Send(const link::Outgoing& out) {
  if (!out.logEntry.empty()) AppendLog(out.logEntry);
  port_.Write(out.wire);
}

void LinkSession::AppendLog(const std::string& entry) {
  log_.Append(entry);
  emit logChanged();
}

void LinkSession::ClearLog() {
  log_.Clear();
  emit logChanged();
}

void LinkSession::OnBurst(const QByteArray& bytes) {
  const auto text = link::ChunkText(std::string_view(bytes.constData(), bytes.size()));
  if (text.empty()) return;
  AppendLog(link::RewriteReplies(text));
}

}  // namespace tessera
