#pragma once
// The window's address pool: which PostgreSQL database, which pool in it and this
// station's name. Kept in the user's settings; never a password (libpq finds credentials
// in its service file, PGPASSFILE or ~/.pgpass).
#include <QSettings>
#include <QString>
#include <memory>

namespace kestrel::ui {

struct PoolSetting {
  QString url;      // libpq connection string or URI; empty: the image's own sequence
  QString name;     // the pool's name
  QString station;  // empty: the host name

  bool enabled() const { return !url.isEmpty(); }
  bool operator==(const PoolSetting& o) const { return url == o.url && name == o.name && station == o.station; }
  bool operator!=(const PoolSetting& o) const { return !(*this == o); }
};

// True when this build can take addresses from a pool (PostgreSQL client present).
bool PoolAvailable();

// Why the window cannot use `s` (empty when it can): a name missing, a URL that does not
// parse or holds a password. A disabled setting is always usable.
QString CheckPoolSetting(const PoolSetting& s);

// The host name, the station's name when none is given.
QString DefaultStationName();

// The window's settings file (the user's, kestrel/kestrel).
std::unique_ptr<QSettings> OpenWindowSettings();
PoolSetting ReadPoolSetting(QSettings& settings);
void WritePoolSetting(QSettings& settings, const PoolSetting& s);

}  // namespace kestrel::ui
