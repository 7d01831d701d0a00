#include "tessera/ui/app/Application.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QLibraryInfo>
#include <QLocale>
#include <QPaintEvent>
#include <QTimer>
#include <QTranslator>
#include <cstdio>
#include <optional>
#include <string_view>

#include "tessera/ui/app/Look.h"
#include "tessera/ui/app/MainWindow.h"
#include "tessera/ui/app/Screenshots.h"

namespace tessera::ui {

QString ChooseLanguage(const QString& forced, const QStringList& uiLanguages) {
  if (!forced.isEmpty()) return forced.startsWith(QStringLiteral("zh")) ? QStringLiteral("zh_CN") : QStringLiteral("en");
  for (const QString& l : uiLanguages) {
    if (l.startsWith(QStringLiteral("zh"))) return QStringLiteral("zh_CN");
    if (l.startsWith(QStringLiteral("en"))) return QStringLiteral("en");
  }
  return QStringLiteral("en");
}

bool InstallTranslators(QApplication& app, const QString& lang) {
  if (lang != QStringLiteral("zh_CN")) return true;  // English is the source language
  auto* qt = new QTranslator(&app);
  if (qt->load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
    app.installTranslator(qt);
  auto* ours = new QTranslator(&app);
  if (!ours->load(QStringLiteral(":/i18n/tessera_zh_CN.qm"))) return false;
  app.installTranslator(ours);
  return true;
}

namespace {

// Quits the program once the watched window has painted its first frame (start-up
// benchmark), printing the time since the program started.
class FirstPaintWatch : public QObject {
 public:
  explicit FirstPaintWatch(QElapsedTimer& clock) : clock_(clock) {}
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() == QEvent::Paint && !done_) {
      done_ = true;
      QTimer::singleShot(0, qApp, [this] {
        std::printf("first-paint-ms %.3f\n", static_cast<double>(clock_.nsecsElapsed()) / 1e6);
        std::fflush(stdout);
        qApp->quit();
      });
    }
    return false;
  }

 private:
  QElapsedTimer& clock_;
  bool done_ = false;
};

// --help and --version are answered without the window system, so they work where no
// display is (a terminal on a build server, a package check).
bool AsksForHelpOrVersion(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--") break;
    if (arg == "-h" || arg == "-?" || arg == "--help" || arg == "--help-all" || arg == "-v" || arg == "--version")
      return true;
  }
  return false;
}

}  // namespace

int RunTessera(int argc, char** argv) {
  QElapsedTimer clock;
  clock.start();
  std::optional<QCoreApplication> terminalOnly;
  std::optional<QApplication> windowed;
  if (AsksForHelpOrVersion(argc, argv)) {
    terminalOnly.emplace(argc, argv);
  } else {
    windowed.emplace(argc, argv);
  }
  QCoreApplication::setApplicationName(QStringLiteral("Tessera"));
  QCoreApplication::setOrganizationName(QStringLiteral("VARLO_QR5840"));
  QCoreApplication::setApplicationVersion(QStringLiteral("2.6"));

  QCommandLineParser parser;
  parser.setApplicationDescription(QStringLiteral("QR5830 configuration tool"));
  parser.addHelpOption();
  parser.addVersionOption();
  QCommandLineOption lang(QStringLiteral("lang"), QStringLiteral("Interface language: en or zh_CN."),
                          QStringLiteral("language"));
  QCommandLineOption shots(QStringLiteral("screenshots"),
                           QStringLiteral("Save every page and dialog as PNG into the folder, then quit."),
                           QStringLiteral("folder"));
  QCommandLineOption firstPaint(QStringLiteral("quit-after-first-paint"),
                                QStringLiteral("Quit once the main window has painted (start-up benchmark)."));
  QCommandLineOption bare(QStringLiteral("bare-window"),
                          QStringLiteral("Show an empty window instead (reference for the start-up benchmark)."));
  parser.addOptions({lang, shots, firstPaint, bare});
  parser.addPositionalArgument(QStringLiteral("file"), QStringLiteral("Configuration file (.cfg) to read."),
                               QStringLiteral("[FILE.cfg]"));
  // The window starts whatever the command line holds: what it cannot use is named on
  // standard error and left out.
  if (!parser.parse(QCoreApplication::arguments()))
    std::fprintf(stderr, "tessera: %s (ignored; see --help)\n", qPrintable(parser.errorText()));
  if (parser.isSet(QStringLiteral("help"))) parser.showHelp(0);
  if (parser.isSet(QStringLiteral("version"))) parser.showVersion();
  // Only a help option taken as another option's value ("--lang --help") gets here
  // without a window system: it still asked for help.
  if (!windowed) parser.showHelp(0);
  QApplication& app = *windowed;
  QString forced = parser.value(lang);
  if (!forced.isEmpty() && forced != QStringLiteral("en") && forced != QStringLiteral("zh_CN")) {
    std::fprintf(stderr, "tessera: --lang takes en or zh_CN, not \"%s\"; English is shown\n", qPrintable(forced));
    forced = QStringLiteral("en");
  }
  const QString language = ChooseLanguage(forced, QLocale::system().uiLanguages());
  InstallTranslators(app, language);

  FirstPaintWatch watch(clock);
  if (parser.isSet(bare)) {
    QWidget plain;
    plain.resize(800, 600);
    if (parser.isSet(firstPaint)) plain.installEventFilter(&watch);
    plain.show();
    return app.exec();
  }

  // Screenshots need every page at once; otherwise the pages behind the System page
  // are made right after the first frame is on screen.
  InstallStyle();
  MainWindow window(UiHooks::Interactive(), nullptr,
                    parser.isSet(shots) ? PageBuilding::AllNow : PageBuilding::FrontFirst);
  window.resize(1220, 780);
  const QStringList files = parser.positionalArguments();
  if (!files.isEmpty()) window.ReadConfigPath(files.first());
  if (parser.isSet(shots)) return SaveScreenshots(window, parser.value(shots), language) ? 0 : 1;
  if (parser.isSet(firstPaint)) window.installEventFilter(&watch);
  window.show();
  return app.exec();
}

}  // namespace tessera::ui
