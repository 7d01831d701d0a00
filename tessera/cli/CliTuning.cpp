#include "tessera/cli/CliTuning.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <csignal>
#include <iostream>
#include <vector>

#include "tessera/core/common/MessageSink.h"
#include "tessera/core/document/CTesseraView.h"
#include "tessera/core/link/CPageTest.h"
#include "tessera/core/link/CommandRun.h"
#include "tessera/core/link/PageCommands.h"
#include "tessera/link/LinkSession.h"

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

class QtTimer : public link::LinkTimer {
 public:
  QTimer timer;
  QtTimer() { timer.setSingleShot(true); }
  void Start(int ms) override { timer.start(ms); }
  void Stop() override { timer.stop(); }
};

int SendAll(const std::string& port, const std::vector<link::Outgoing>& commands, int timeoutMs) {
  LinkSession session;
  QtTimer timeout;
  link::CommandRun run(commands, [&](const link::Outgoing& c) { session.Send(c); }, timeout, timeoutMs);
  QEventLoop loop;
  auto check = [&] {
    if (run.outcome() != link::CommandRun::Outcome::kRunning) loop.quit();
  };
  QObject::connect(&session.port(), &CSerialLink::burstReceived, &loop, [&](const QByteArray& b) {
    run.BytesArrived(std::string_view(b.constData(), static_cast<size_t>(b.size())));
    check();
  });
  QObject::connect(&session, &LinkSession::openChanged, &loop, [&](bool open) {
    if (!open) run.PortLost();
    check();
  });
  QObject::connect(&timeout.timer, &QTimer::timeout, &loop, [&] {
    run.TimedOut();
    check();
  });
  if (!session.Open(QString::fromStdString(port))) {
    std::cerr << session.log().Shown();
    return 1;
  }
  run.Start();
  if (run.outcome() == link::CommandRun::Outcome::kRunning) loop.exec();
  for (const auto& line : run.answered()) std::cout << line << "\n";
  if (!run.error().empty()) std::cerr << run.error() << "\n";
  return run.outcome() == link::CommandRun::Outcome::kAllAnswered ? 0 : 1;
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
      view.ActivateEchoPage();  // the gains are the System page's volumes
      const auto& echo = view.echo;
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
