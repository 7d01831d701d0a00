#include "LiveTuningPages.h"

#include <QCoreApplication>
#include <QLabel>
#include <QVBoxLayout>
#include <QWidget>

namespace tessera::ui {

QString LiveTuningPageTitle(int index) {
  switch (static_cast<LiveTuningPage>(index)) {
    case LiveTuningPage::RfTest: return QCoreApplication::translate("MainWindow", "RF Test");
    case LiveTuningPage::Eq: return QCoreApplication::translate("MainWindow", "EQ");
    case LiveTuningPage::Echo: return QCoreApplication::translate("MainWindow", "Echo");
  }
  return {};
}

QWidget* CreateLiveTuningPage(int index, PageController&, QWidget* parent) {
  static const char* const kNames[] = {"PageTest", "PageEQ", "PageEcho"};
  auto* page = new QWidget(parent);
  page->setObjectName(QString::fromLatin1(kNames[index]));
  auto* layout = new QVBoxLayout(page);
  auto* note = new QLabel(QCoreApplication::translate(
      "MainWindow", "This page comes with the board link: it talks to a running board over a serial port."));
  note->setObjectName(QStringLiteral("liveTuningNote"));
  note->setWordWrap(true);
  note->setAlignment(Qt::AlignCenter);
  layout->addStretch();
  layout->addWidget(note);
  layout->addStretch();
  return page;
}

}  // namespace tessera::ui
