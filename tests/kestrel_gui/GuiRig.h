#pragma once
// What the window tests share: a simulator with four boards in a fresh folder, an image
// with a configuration record, and the window over them.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QAction>
#include <QDialogButtonBox>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <memory>

#include "kestrel/engine/TestFiles.h"
#include "kestrel/transport/SimProcess.h"
#include "transport/sim/SimTransport.h"
#include "ui/DownloadDialog.h"
#include "ui/PoolDialog.h"

namespace kestrel::gui_test {

// Control ids of each row, slot 0 first.
constexpr int kCheckIds[4] = {1030, 1031, 1032, 1033};
constexpr int kBarIds[4] = {1015, 1016, 1018, 1017};
constexpr int kIconIds[4] = {1035, 1036, 1037, 1038};
constexpr int kStatusIds[4] = {1101, 1102, 1103, 1104};
constexpr int kYieldIds[4] = {1105, 1106, 1107, 1108};

inline QString Ctl(int id) { return QStringLiteral("ctl%1").arg(id); }

template <class T>
T* Find(QWidget* root, int id) {
  T* w = root->findChild<T*>(Ctl(id));
  if (w == nullptr) qFatal("no control %d", id);
  return w;
}

// A folder that lives as long as the test.
struct Folder {
  QTemporaryDir dir;
  std::string File(const char* name) const { return dir.filePath(QString::fromUtf8(name)).toStdString(); }
  std::string File(const std::string& name) const { return File(name.c_str()); }
};

struct Rig {
  testing::SimProcess sim;
  Folder dir;
  std::unique_ptr<SimTransport> transport;
  std::unique_ptr<ui::DownloadDialog> dialog;
  std::string imagePath;
  int boards = 4;                                // simulated boards (adapters) started
  std::string readbackDir = dir.File("readback");  // empty: the window's default
  // When set, the window works through what it returns around the simulated adapters.
  std::function<Transport&(SimTransport&)> around;

  // Starts the simulator with four boards (extra arguments such as faults after them),
  // pulls out the adapters from `present` up, then opens the window.
  bool Start(int present, const std::vector<std::string>& extra = {}) {
    std::vector<std::string> args = {"--boards", std::to_string(boards), "--flash-kb", "1024"};
    args.insert(args.end(), extra.begin(), extra.end());
    if (!sim.Start(args)) return false;
    for (int n = boards - 1; n >= present; --n)
      if (sim.Control("unplug " + std::to_string(n)).rfind("ok", 0) != 0) return false;
    transport = std::make_unique<SimTransport>(sim.dir());
    EngineOptions options;
    options.readbackDir = readbackDir;
    Transport& used = around ? around(*transport) : *transport;
    dialog = std::make_unique<ui::DownloadDialog>(used, QStringLiteral("模拟适配器"), options);
    dialog->show();
    return QTest::qWaitForWindowExposed(dialog.get());
  }

  // An image with a record at 0x80000 holding name and address; returns its path.
  std::string MakeImage(const char* address = "11:22:33:44:55:66", size_t length = 0x81000) {
    auto image = test::PatternImage(length);
    test::PutRecord(image, 0x80000, "QR_SPEAKER", test::Addr(address));
    imagePath = dir.File("headset.IMG");
    test::WriteFile(imagePath, image);
    return imagePath;
  }

  // Chooses path in "打开bin文件"; returns once the engine has read it (or failed to).
  bool Load(const std::string& path) {
    dialog->chooseImage = [path] { return QString::fromStdString(path); };
    QTest::mouseClick(Find<QPushButton>(dialog.get(), 1013), Qt::LeftButton);
    return QTest::qWaitFor([this] { return !dialog->loadPending(); }, 10000);
  }

  void Click(int id) { QTest::mouseClick(Find<QPushButton>(dialog.get(), id), Qt::LeftButton); }
  QString Text(int id) { return Find<QLabel>(dialog.get(), id)->text(); }
  bool IconShown(int slot) { return Find<QLabel>(dialog.get(), kIconIds[slot])->isVisible(); }
  // 1 success icon, 2 failure icon, 0 hidden: the pixmap's colour tells them apart.
  int Icon(int slot) {
    QLabel* icon = Find<QLabel>(dialog.get(), kIconIds[slot]);
    if (!icon->isVisible()) return 0;
    const QImage img = icon->pixmap().toImage();
    const QColor c = img.pixelColor(img.width() / 2, img.height() / 5);
    return c.green() > c.red() ? 1 : 2;
  }

  // "设置" > "地址池": the settings dialog, once it shows.
  ui::PoolDialog* OpenPoolSettings() {
    auto* action = dialog->findChild<QAction*>(QStringLiteral("actionPool"));
    if (action == nullptr || !action->isEnabled()) return nullptr;
    action->trigger();
    ui::PoolDialog* box = nullptr;
    const bool shown =
        QTest::qWaitFor([&] { return (box = dialog->findChild<ui::PoolDialog*>()) != nullptr && box->isVisible(); });
    return shown ? box : nullptr;
  }
  // Types the three entries and presses "确定".
  static void FillPool(ui::PoolDialog* box, const QString& url, const QString& name, const QString& station) {
    for (auto [id, text] : {std::pair{1116, url}, std::pair{1117, name}, std::pair{1118, station}}) {
      auto* edit = Find<QLineEdit>(box, id);
      edit->clear();
      QTest::keyClicks(edit, text);
    }
    box->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
  }
};

// The window's settings and the pool's spool go to `dir`, never the user's own.
inline void IsolateSettings(const QString& dir) {
  QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir);
  qputenv("XDG_STATE_HOME", QFile::encodeName(dir + QStringLiteral("/state")));
}

}  // namespace kestrel::gui_test
