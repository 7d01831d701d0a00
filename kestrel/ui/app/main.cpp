// kestrel: the production download window. Adapters as for kestrel-cli: --sim DIR, else
// USB with --usb-id VVVV:PPPP or KESTREL_USB_VIDPID.
#include <QApplication>
#include <QCommandLineParser>
#include <QStringList>
#include <cstdio>

#include "ui/Backend.h"
#include "ui/DownloadDialog.h"

int main(int argc, char** argv) {
  QApplication::setApplicationName(QStringLiteral("kestrel"));
  QApplication::setApplicationVersion(QStringLiteral(KESTREL_VERSION));

  QCommandLineParser parser;
  parser.setApplicationDescription(QStringLiteral("kestrel: burn, read and erase boards through up to four download adapters"));
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
  parser.addOption(sim);
  parser.addOption(usbId);
  parser.addOption(readback);
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
    std::printf("%s", qPrintable(parser.helpText()));
    return 0;
  }
  if (!parser.positionalArguments().isEmpty()) {
    std::fprintf(stderr, "error: unexpected argument %s\n", qPrintable(parser.positionalArguments().first()));
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
  dialog.show();
  return app.exec();
}
