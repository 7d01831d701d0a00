#include "ui/PoolSetting.h"

#include <QSysInfo>

#ifdef KESTREL_HAVE_POOL
#include "sequence/postgres/PgConnection.h"
#include "sequence/postgres/PoolSequence.h"
#endif

namespace kestrel::ui {
namespace {

const QString kUrlKey = QStringLiteral("pool/url");
const QString kNameKey = QStringLiteral("pool/name");
const QString kStationKey = QStringLiteral("pool/station");

}  // namespace

bool PoolAvailable() {
#ifdef KESTREL_HAVE_POOL
  return true;
#else
  return false;
#endif
}

QString CheckPoolSetting(const PoolSetting& s) {
  if (!s.enabled()) return {};
#ifdef KESTREL_HAVE_POOL
  std::string error;
  if (!pool::PgConnection::CheckUrl(s.url.toStdString(), &error)) {
    if (error.find("password") != std::string::npos)
      return QStringLiteral("数据库地址中含有密码，不予使用：密码请放在 ~/.pgpass、PGPASSFILE 或服务文件中");
    return QStringLiteral("数据库地址无法识别: ") + QString::fromStdString(error);
  }
  if (s.name.trimmed().isEmpty()) return QStringLiteral("请填写地址池名称");
  return {};
#else
  return QStringLiteral("此版本不支持地址池 (PostgreSQL)");
#endif
}

QString DefaultStationName() {
#ifdef KESTREL_HAVE_POOL
  return QString::fromStdString(pool::HostName());
#else
  return QSysInfo::machineHostName();
#endif
}

std::unique_ptr<QSettings> OpenWindowSettings() {
  return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("kestrel"),
                                     QStringLiteral("kestrel"));
}

PoolSetting ReadPoolSetting(QSettings& settings) {
  PoolSetting s;
  s.url = settings.value(kUrlKey).toString();
  s.name = settings.value(kNameKey).toString();
  s.station = settings.value(kStationKey).toString();
  return s;
}

void WritePoolSetting(QSettings& settings, const PoolSetting& s) {
  settings.setValue(kUrlKey, s.url);
  settings.setValue(kNameKey, s.name);
  settings.setValue(kStationKey, s.station);
  settings.sync();
}

}  // namespace kestrel::ui
