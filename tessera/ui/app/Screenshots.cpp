#include "tessera/ui/app/Screenshots.h"

#include <QApplication>
#include <QDir>
#include <QTabWidget>
#include <QThread>

#include "tessera/ui/app/AboutBox.h"
#include "tessera/ui/app/MainWindow.h"
#include "tessera/ui/live/EqConfigDialog.h"
#include "tessera/ui/pages/EntryDialogs.h"

namespace tessera::ui {

namespace {

bool Save(QWidget& w, const QString& folder, const QString& lang, const QString& name) {
  w.show();
  for (int i = 0; i < 5; ++i) QApplication::processEvents();
  return w.grab().save(QDir(folder).filePath(QStringLiteral("tessera-%1-%2.png").arg(lang, name)));
}

}  // namespace

bool SaveScreenshots(MainWindow& window, const QString& folder, const QString& lang) {
  QDir().mkpath(folder);
  static const char* const kPages[] = {"system", "bluetooth", "sound", "led", "key", "rftest", "eq", "echo"};
  bool ok = true;
  window.show();
  for (int i = 0; i < window.Sheet()->count() && i < 8; ++i) {
    window.Sheet()->setCurrentIndex(i);
    ok = Save(window, folder, lang, QString::fromLatin1(kPages[i])) && ok;
  }
  window.Sheet()->setCurrentIndex(0);
  auto& doc = window.Doc();
  if (auto key = doc.BeginKeyEdit(0)) {
    KeyEventDialog d(*key, window, &window);
    ok = Save(d, folder, lang, QStringLiteral("key-dialog")) && ok;
  }
  if (auto led = doc.led.BeginEdit(1)) {
    LedEventDialog d(*led, window, &window);
    ok = Save(d, folder, lang, QStringLiteral("led-dialog")) && ok;
  }
  if (auto audio = doc.wave.BeginEdit(0)) {
    AudioConfigDialog d(*audio, window, &window);
    ok = Save(d, folder, lang, QStringLiteral("audio-dialog")) && ok;
  }
  // The equalizer's band dialog, on the band the sample configuration raises.
  if (auto band = doc.eq.DialogFor(1)) {
    EqConfigDialog d(*band, [](const QString&) {}, &window);
    ok = Save(d, folder, lang, QStringLiteral("band-dialog")) && ok;
  }
  AboutBox about(&window);
  ok = Save(about, folder, lang, QStringLiteral("about")) && ok;
  return ok;
}

}  // namespace tessera::ui
