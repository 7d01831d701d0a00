#include "tessera/link/CSerialLink.h"

#include <QHash>
#include <QSerialPortInfo>
#include <string>
#include <vector>

#include "tessera/core/link/LinkProtocol.h"

namespace tessera {

CSerialLink::CSerialLink(QObject* parent, link::BoardPort* port, link::LinkTimer* silence)
    : QObject(parent),
      link_(port != nullptr ? *port : ownPort_, silence != nullptr ? *silence : ownSilence_, *this) {
  ownSilence_.timer.setSingleShot(true);
  ownSilence_.timer.setTimerType(Qt::PreciseTimer);
  connect(&ownSilence_.timer, &QTimer::timeout, this, [this] { link_.SilenceElapsed(); });
}

CSerialLink::~CSerialLink() { link_.Close(); }

QList<CSerialLink::PortEntry> CSerialLink::ListSerialPortEntries() {
  std::vector<std::string> names;
  QHash<QString, QString> descriptions;
  for (const auto& info : QSerialPortInfo::availablePorts()) {
    names.push_back(info.portName().toStdString());
    QStringList parts;
    for (const QString& part : {info.description(), info.manufacturer()})
      if (!part.isEmpty() && !parts.contains(part)) parts << part;
    if (!info.serialNumber().isEmpty()) parts << "serial " + info.serialNumber();
    descriptions.insert(info.portName(), parts.join(", "));
  }
  QList<PortEntry> out;
  for (const auto& n : link::SortPortNames(std::move(names))) {
    const QString name = QString::fromStdString(n);
    out.push_back({name, descriptions.value(name)});
  }
  return out;
}

QStringList CSerialLink::ListSerialPorts() {
  QStringList out;
  for (const auto& e : ListSerialPortEntries()) out << e.name;
  return out;
}

bool CSerialLink::Open(const QString& name) { return link_.Open(name.toStdString()); }

void CSerialLink::Burst(std::string_view bytes) {
  emit burstReceived(QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
}

}  // namespace tessera
