#include "CliTuning.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <csignal>
#include <iostream>
#include <vector>

#include "common/MessageSink.h"
#include "document/CTesseraView.h"
#include "link/CPageTest.h"
#include "link/LinkSession.h"
#include "link/PageCommands.h"
#include "link/ReplyScanner.h"

namespace tessera::cli {

namespace {

class StderrSink : public MessageSink {
 public:
  void Show(const std::string& text) override { std::cerr << text << "\n"; }
};

class NoTimer : public link::HopTimer {
 public:
  void Start(int) override {}
  void Stop() override {}
};

int SendAll(const std::string& port, const std::vector<link::Outgoing>& commands, int timeoutMs) {
  LinkSession session;
  link::ReplyScanner replies;
  QObject::connect(&session.port(), &CSerialLink::burstReceived,
                   [&](const QByteArray& b) { replies.Feed(std::string_view(b.constData(), b.size())); });
  if (!session.Open(QString::fromStdString(port))) {
    std::cerr << session.log().Shown();
    return 1;
  }
  for (const auto& c : commands) {
    const int before = replies.total();
    const int failedBefore = replies.failed();
    session.Send(c);
    QEventLoop loop;
    QTimer timeout;
    timeout.setSingleShot(true);
    QObject::connect(&timeout, &QTimer::timeout, &loop, &QEventLoop::quit);
    QObject::connect(&session.port(), &CSerialLink::burstReceived, &loop, [&] {
      if (replies.total() > before) loop.quit();
    });
    QObject::connect(&session, &LinkSession::openChanged, &loop, &QEventLoop::quit);
    timeout.start(timeoutMs);
    if (replies.total() == before && session.IsOpen()) loop.exec();
    std::string shown = c.wire;
    while (!shown.empty() && (shown.back() == '\n' || shown.back() == '\r')) shown.pop_back();
    if (!session.IsOpen()) {
      std::cerr << shown << ": the port went away\n";
      return 1;
    }
    if (replies.total() == before) {
      std::cerr << shown << ": no answer within " << timeoutMs << " ms\n";
      return 1;
    }
    const bool fail = replies.failed() > failedBefore;
    std::cout << shown << " -> " << (fail ? "CMD FAIL!" : "CMD OK!") << "\n";
    if (fail) return 1;
  }
  return 0;
}

volatile std::sig_atomic_t g_interrupted = 0;

}  // namespace

int TuningCommands::Run(int argc, char** argv) {
  QCoreApplication qapp(argc, argv);
  std::vector<link::Outgoing> commands;
  if (eq_->parsed() || echo_->parsed()) {
    StderrSink sink;
    CTesseraView view(sink);
    view.OnInitialUpdate();
    if (!view.ReadConfigFile(config_)) return 1;
    if (eq_->parsed()) {
      for (int i = 0; i < kEqBands; ++i) {
        if (band_ >= 0 && i != band_) continue;
        const auto& band = view.eq.bands[static_cast<size_t>(i)];
        // The check box sends 0 or 1; anything else comes from an edited file and would
        // reach the board as a value it was never sent.
        if (band.enabled != 0 && band.enabled != 1) {
          std::cerr << "equalizer band " << i << ": stored enable " << band.enabled
                    << " is neither 0 nor 1; nothing was sent\n";
          return 1;
        }
        commands.push_back(link::EqConfCommand(i, band));
        commands.push_back(link::EqEnableCommand(i, band.enabled));
      }
    } else {
      auto& echo = view.echo;
      echo.OnActivate(view.system);  // the gains are the System page's volumes
      for (int id : {CPageEcho::kIdNoiseSuppression, CPageEcho::kIdEchoSuppression,
                     CPageEcho::kIdDacGain, CPageEcho::kIdMicGain})
        commands.push_back(link::EchoLevelCommand(echo, id));
      for (int k = 0; k < kVoiceEqs; ++k)
        for (auto& c : link::VoiceEqApplyCommands(echo, k)) commands.push_back(c);
    }
  } else if (rf_->parsed()) {
    NoTimer timer;
    link::CPageTest page(timer);
    if (rfMode_ == "dut-off") page.dutActive = 1;
    if (rfMode_ == "sinwave-off") page.singleCarrierActive = 1;
    if (rfMode_.rfind("dut", 0) == 0) {
      commands.push_back(page.OnDut());
    } else if (rfMode_.rfind("sinwave", 0) == 0) {
      commands.push_back(page.OnTest());
    } else {
      page.channel = static_cast<unsigned>(channel_);
      page.direction = rx_ ? 1 : 0;
      page.dataType = data_ == "Pn9" ? 1 : 0;
      const auto& packets = link::CPageTest::PacketTypes();
      page.packetType =
          static_cast<int>(std::find(packets.begin(), packets.end(), packet_) - packets.begin());
      commands.push_back(page.Conf());
    }
  } else {
    LinkSession session;
    size_t shown = 0;
    QObject::connect(&session, &LinkSession::logChanged, [&] {
      const auto& text = session.log().Shown();
      if (text.size() < shown) shown = 0;  // the log was emptied
      std::cout << text.substr(shown) << std::flush;
      shown = text.size();
    });
    QObject::connect(&session, &LinkSession::openChanged, &qapp, [&](bool open) {
      if (!open) QCoreApplication::exit(1);
    });
    if (!session.Open(QString::fromStdString(port_))) return 1;
    std::signal(SIGINT, [](int) { g_interrupted = 1; });
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
      if (g_interrupted) QCoreApplication::exit(0);
    });
    poll.start(100);
    if (seconds_ > 0) QTimer::singleShot(seconds_ * 1000, &qapp, [] { QCoreApplication::exit(0); });
    return QCoreApplication::exec();
  }
  return SendAll(port_, commands, timeoutMs_);
}

}  // namespace tessera::cli
