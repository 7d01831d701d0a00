#include "pages/ConfigPages.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QSvgRenderer>
#include <QPainter>

#include "pages/EntryDialogs.h"
#include "ui_PageBluetooth.h"
#include "ui_PageButton.h"
#include "ui_PageLED.h"
#include "ui_PageSystem.h"
#include "ui_PageWave.h"

namespace tessera::ui {

namespace {

template <class UiForm>
QWidget* LoadForm() {
  auto* w = new QWidget;
  UiForm form;
  form.setupUi(w);
  return w;
}

template <size_t N>
std::vector<FieldSpec> Edits(const std::array<FieldSpec, N>& a) {
  return {a.begin(), a.end()};
}

std::vector<QString> Titles(const auto& a) {
  std::vector<QString> out;
  for (const char* t : a) out.push_back(QString::fromUtf8(t));
  return out;
}

QPixmap Indicator(bool ok) {
  QSvgRenderer svg(ok ? QStringLiteral(":/tessera/images/tick.svg") : QStringLiteral(":/tessera/images/cross.svg"));
  QPixmap pm(20, 20);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  svg.render(&p);
  return pm;
}

}  // namespace

PageView* CreateBluetoothPage(PageController& c) {
  auto& p = c.Doc().bluetooth;
  using P = CPageBluetooth;
  PageBindings b;
  b.edits = Edits(P::Fields());
  b.editText = [&p](int id) { return p.ControlText(id); };
  b.readBack = [&p](const ControlTextFn& fn) { return p.ReadBack(fn); };
  b.checks = {{P::kIdA2dp, &p.a2dp},
              {P::kIdHfp, &p.hfp},
              {P::kIdHsp, &p.hsp},
              {P::kIdRecovery, &p.recoveryEnable, [&p] { p.ApplyRecoveryRule(); }},
              {P::kIdAutoReconnect, &p.autoReconnect, [&p] { p.ApplyReconnectRule(); }},
              {P::kIdAddressPolling, &p.addressPolling},
              {P::kIdVoiceReport, &p.voiceReport},
              {P::kIdPeriodicReconnect, &p.periodicReconnect},
              {P::kIdBatteryDisplay, &p.batteryDisplay},
              {P::kIdNoConnection, &p.autoOffNoConnection},
              {P::kIdPauseTimeout, &p.autoOffPauseTimeout}};
  b.radios = {{{P::kIdOnlyPairing, P::kIdAudioConnection}, &p.recoveryMode, {}},
              {{P::kIdWaitPairing, P::kIdAutoReconnection}, &p.disconnectAction, {}}};
  b.combos = {{P::kIdDeviceType, &p.deviceType, {}}};
  b.enables = {{{P::kIdOnlyPairing, P::kIdAudioConnection, P::kIdStartupTime, P::kIdRetryInterval, P::kIdRetries},
                [&p] { return p.RecoveryControlsEnabled(); }},
               {{P::kIdReconnections, P::kIdReconnectInterval}, [&p] { return p.ReconnectControlsEnabled(); }}};
  b.refreshExtra = [&p](QWidget* form) {
    if (auto* pic = form->findChild<QLabel*>(ControlName(P::kIdAddressIndicator))) {
      pic->setPixmap(Indicator(p.addressValid != 0));
      pic->setProperty("addressValid", p.addressValid != 0);
    }
  };
  auto* view = new PageView(LoadForm<Ui::PageBluetooth>(), std::move(b), c);
  // The address is checked on every keystroke (tick or cross), after the page is read back.
  if (auto* addr = view->Form()->findChild<QLineEdit*>(ControlName(P::kIdAddress)))
    QObject::connect(addr, &QLineEdit::textEdited, view, [view, &p, &c] {
      std::optional<FieldError> err;
      c.Modify([&] {
        const auto before = p.address;
        err = p.OnAddressChanged([view](int id) { return view->TextOf(id); });
        return p.address != before;
      });
      if (err) c.ReportFieldError(view->Form()->findChild<QWidget*>(ControlName(err->controlId)), err->message);
    });
  return view;
}

PageView* CreateSystemPage(PageController& c) {
  auto& p = c.Doc().system;
  using P = CPageSystem;
  PageBindings b;
  b.edits = Edits(P::Fields());
  b.editText = [&p](int id) { return p.ControlText(id); };
  b.readBack = [&p](const ControlTextFn& fn) { return p.ReadBack(fn); };
  b.checks = {{P::kIdDebugPort, &p.debugPort, [&p] { p.OnDebugPort(); }},
              {P::kIdSpi, &p.spi, [&p] { p.OnSpi(); }},
              {P::kIdPaMuteEnable, &p.paMuteEnable, [&p] { p.OnPaMuteEnable(); }},
              {P::kIdPaMuteHigh, &p.paMuteHigh},
              {P::kIdLineInEnable, &p.lineInEnable, [&p] { p.OnLineInEnable(); }},
              {P::kIdLineInHigh, &p.lineInHigh},
              // The AD box's handler works on the controls alone; it reads nothing back.
              {P::kIdLineInAdc, &p.lineInAdc, [&p] { p.OnLineInAdc(); }, false},
              {P::kIdSdEnable, &p.sdEnable, [&p] { p.OnSdEnable(); }},
              {P::kIdSdSeparatePin, &p.sdSeparatePin, [&p] { p.OnSdSeparatePin(); }},
              {P::kIdNoSpeakerphone, &p.noSpeakerphone},
              {P::kIdAnalogBuck, &p.analogBuck},
              {P::kIdDigitalBuck, &p.digitalBuck},
              {P::kIdFadeIn, &p.fadeIn},
              {P::kIdSoftBoot, &p.softBoot},
              {P::kIdExternalMos, &p.externalMos},
              {P::kIdPowerKeyActiveHigh, &p.powerKeyActiveHigh}};
  b.radios = {{{P::kIdUart, P::kIdIic}, &p.debugIface, {}},
              {{P::kIdSingleEnded, P::kIdDifferential}, &p.outputMode, [&p] { p.OnOutputMode(); }},
              {{P::kIdNRoad, P::kIdPRoad}, &p.roadSelect, {}}};
  b.combos = {{P::kIdPaMuteGpio, &p.paMuteCombo, [&p](int i) { p.OnPaMuteSelected(i); }},
              {P::kIdLineInGpio, &p.lineInCombo, [&p](int i) { p.OnLineInSelected(i); }},
              {P::kIdSdDetectGpio, &p.sdDetectCombo, [&p](int i) { p.OnSdDetectSelected(i); }},
              {P::kIdChannel, &p.channel, [&p](int i) { p.OnChannelChanged(i); }},
              {P::kIdAlarmThreshold, &p.alarmThreshold, [&p](int i) { p.OnAlarmChanged(i); }},
              {P::kIdShutdownThreshold, &p.shutdownThreshold, {}},
              {P::kIdHighCurrent, &p.highCurrentThreshold, {}},
              {P::kIdPowerFull, &p.powerFullThreshold, {}},
              {P::kIdMicBias, &p.micBias, {}}};
  b.enables = {{{P::kIdUart, P::kIdIic}, [&p] { return p.DebugIfaceEnabled(); }},
               {{P::kIdSpi}, [&p] { return p.spiCheckEnabled; }},
               {{P::kIdPaMuteGpio, P::kIdPaMuteHigh}, [&p] { return p.PaMuteControlsEnabled(); }},
               {{P::kIdLineInGpio, P::kIdLineInHigh}, [&p] { return p.LineInControlsEnabled(); }},
               {{P::kIdSdSeparatePin}, [&p] { return p.SdSeparatePinEnabled(); }},
               {{P::kIdSdDetectGpio}, [&p] { return p.SdDetectSelectorEnabled(); }},
               {{P::kIdNRoad, P::kIdPRoad}, [&p] { return p.RoadRadiosEnabled(); }}};
  // Hidden in both templates: their values are still held, exchanged and stored.
  b.hidden = {"grpCharging", "ctl1025", "ctl1026", "ctl1091", "ctl1092"};
  return new PageView(LoadForm<Ui::PageSystem>(), std::move(b), c);
}

PageView* CreateKeyPage(PageController& c) {
  auto& p = c.Doc().button;
  PageBindings b;
  b.edits = Edits(CPageButton::Fields());
  b.editText = [&p](int id) { return p.ControlText(id); };
  b.readBack = [&p](const ControlTextFn& fn) { return p.ReadBack(fn); };
  b.lists = {{CPageButton::kListId, CPageButton::kRows, Titles(CPageButton::ColumnTitles()),
              {CPageButton::ColumnWidths().begin(), CPageButton::ColumnWidths().end()},
              [&p](int row) { return p.RowTexts(row); },
              [&p, &c](int row) {
                auto dlg = p.BeginEdit(row);
                if (!dlg) return;
                KeyEventDialog window(*dlg, c, QApplication::activeWindow());
                if (c.Hooks().runDialog(window) != QDialog::Accepted) return;
                c.Modify([&] { return p.CommitEdit(row, *dlg); });
              }}};
  return new PageView(LoadForm<Ui::PageButton>(), std::move(b), c);
}

PageView* CreateLedPage(PageController& c) {
  auto& p = c.Doc().led;
  PageBindings b;
  b.checks = {{CPageLED::kPolarityId, &p.polarityReversed, {}, false}};
  for (int id : {CPageLED::kLowPowerLedId, CPageLED::kLed0Id, CPageLED::kLed1Id})
    b.combos.push_back({id, p.SelectorFor(id), [&p, id](int i) { p.OnSelectorChanged(id, i); }});
  b.lists = {{CPageLED::kListId, CPageLED::kRows, Titles(CPageLED::ColumnTitles()),
              {CPageLED::ColumnWidths().begin(), CPageLED::ColumnWidths().end()},
              [&p](int row) { return p.RowTexts(row); },
              [&p, &c](int row) {
                auto dlg = p.BeginEdit(row);
                if (!dlg) return;
                LedEventDialog window(*dlg, c, QApplication::activeWindow());
                if (c.Hooks().runDialog(window) != QDialog::Accepted) return;
                c.Modify([&] { return p.CommitEdit(row, window.Entry()); });
              }}};
  return new PageView(LoadForm<Ui::PageLED>(), std::move(b), c);
}

PageView* CreateWavePage(PageController& c) {
  auto& p = c.Doc().wave;
  PageBindings b;
  b.combos = {{CPageWave::kLanguageId, &p.language, {}}};
  b.lists = {{CPageWave::kListId, CPageWave::kRows, Titles(CPageWave::ColumnTitles()),
              {CPageWave::ColumnWidths().begin(), CPageWave::ColumnWidths().end()},
              [&p](int row) { return p.RowTexts(row); },
              [&p, &c](int row) {
                auto dlg = p.BeginEdit(row);
                if (!dlg) return;
                AudioConfigDialog window(*dlg, c, QApplication::activeWindow());
                if (c.Hooks().runDialog(window) != QDialog::Accepted) return;
                c.Modify([&] {
                  p.CommitEdit(row, window.Entry());
                  return true;  // a refused file still changes the counted space and the row
                });
              }}};
  b.refreshExtra = [&p](QWidget* form) {
    if (auto* e = form->findChild<QLineEdit*>(ControlName(CPageWave::kRemainingId)))
      e->setText(QString::fromStdString(p.remainingSpaceText));
  };
  return new PageView(LoadForm<Ui::PageWave>(), std::move(b), c);
}

}  // namespace tessera::ui
