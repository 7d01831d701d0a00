// kestrel: the production download window. Adapters as for kestrel-cli: --sim DIR, else
// USB with --usb-id VVVV:PPPP or KESTREL_USB_VIDPID. Addresses from the image's own sequence,
// or from a shared pool: --pool URL --pool-name NAME [--station S] for this run, else the
// pool kept in the window's settings ("设置" > "地址池").
#include <QApplication>
#include <QCommandLineParser>
#include <QStringList>
#include <cstdio>
#include <optional>

#include "ui/Backend.h"
#include "ui/DownloadDialog.h"
#include "ui/PoolSetting.h"

int main(int argc, char** argv) {
  QApplication::setApplicationName(QStringLiteral("kestrel"));
  QApplication::setApplicationVersion(QStringLiteral(KESTREL_VERSION));

  QCommandLineParser parser;
  parser.setApplicationDescription(QStringLiteral("kestrel: burn, read and erase boards through up to sixteen download adapters"));
  const QCommandLineOption help = parser.addHelpOption();
  const QCommandLineOption version = parser.addVersionOption();
  const QCommandLineOption sim(QStringLiteral("sim"), QStringLiteral("use the simulated adapters served in DIR"),
                               QStringLiteral("DIR"));
  const QCommandLineOption usbId(QStringLiteral("usb-id"),
                                 QStringLiteral("USB vendor:product id of the adapters (else KESTREL_USB_VIDPID)"),
                                 QStringLiteral("VVVV:PPPP"));
  const QCommandLineOption readback(QStringLiteral("readback-dir"),
                                    QStringLiteral("folder for the read-back files flashdev<n>.bin"),
                                    QStringLiteral("DIR"));
  const QCommandLineOption pool(QStringLiteral("pool"),
                                QStringLiteral("take the addresses from the shared pool in this PostgreSQL database "
                                               "(connection string or URL without a password); for this run only"),
                                QStringLiteral("URL"));
  const QCommandLineOption poolName(QStringLiteral("pool-name"), QStringLiteral("the pool's name"),
                                    QStringLiteral("NAME"));
  const QCommandLineOption station(QStringLiteral("station"),
                                   QStringLiteral("this station's name in the pool (default: the host name)"),
                                   QStringLiteral("STATION"));
  parser.addOption(sim);
  parser.addOption(usbId);
  parser.addOption(readback);
  parser.addOption(pool);
  parser.addOption(poolName);
  parser.addOption(station);
  // Parsed before the window system is reached, so --version and --help need no display.
  QStringList arguments;
  for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
  if (!parser.parse(arguments)) {
    std::fprintf(stderr, "error: %s\n", qPrintable(parser.errorText()));
    return 2;
  }
  if (parser.isSet(version)) {
    std::printf("kestrel %s\n", KESTREL_VERSION);
    return 0;
  }
  if (parser.isSet(help)) {
    // Without an application object Qt cannot know the program's name yet.
    std::printf("%s", qPrintable(parser.helpText().replace(QStringLiteral("<executable_name>"), QStringLiteral("kestrel"))));
    return 0;
  }
  if (!parser.positionalArguments().isEmpty()) {
    std::fprintf(stderr, "error: unexpected argument %s\n", qPrintable(parser.positionalArguments().first()));
    return 2;
  }

  // The pool named on the command line, checked before any window opens.
  std::optional<kestrel::ui::PoolSetting> poolSetting;
  if (parser.isSet(pool)) {
    poolSetting = kestrel::ui::PoolSetting{parser.value(pool), parser.value(poolName), parser.value(station)};
    if (poolSetting->url.isEmpty()) {
      std::fprintf(stderr, "error: --pool needs a database URL\n");
      return 2;
    }
    if (poolSetting->name.isEmpty()) {
      std::fprintf(stderr, "error: --pool needs --pool-name NAME\n");
      return 2;
    }
    const QString problem = kestrel::ui::CheckPoolSetting(*poolSetting);
    if (!problem.isEmpty()) {
      std::fprintf(stderr, "error: %s\n", qPrintable(problem));
      return 2;
    }
  } else if (parser.isSet(poolName) || parser.isSet(station)) {
    std::fprintf(stderr, "error: --pool-name and --station go with --pool URL\n");
    return 2;
  }

  QApplication app(argc, argv);
  kestrel::ui::BackendChoice backend =
      kestrel::ui::ChooseBackend({parser.value(sim), parser.value(usbId), [](const std::string& text) {
                                    std::fprintf(stderr, "warning: %s\n", text.c_str());
                                  }});
  if (!backend.transport) {
    std::fprintf(stderr, "error: %s\n", qPrintable(backend.error));
    return 2;
  }
  kestrel::EngineOptions options;
  if (parser.isSet(readback)) options.readbackDir = parser.value(readback).toStdString();

  kestrel::ui::DownloadDialog dialog(*backend.transport, backend.description, options);
  // The backend's warnings go to stderr and to the window, where the operator looks.
  dialog.ShowNoticesFrom(*backend.notices);
  if (!poolSetting) poolSetting = kestrel::ui::ReadPoolSetting(*kestrel::ui::OpenWindowSettings());
  dialog.show();
  if (poolSetting->enabled()) dialog.UsePool(*poolSetting);
  return app.exec();
}
