// A USB serial adapter as the system shows one (ttyUSB0 with its udev description and its
// /dev/serial/by-id link), emulated with umockdev, with the simulated board behind it:
// listed by a live page with its description, opened, used, pulled out, plugged in.
#include <gtest/gtest.h>
#include <unistd.h>
#include <umockdev.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <map>
#include <string>

#include "../tessera_link/SimBoard.h"
#include "tessera/core/common/MessageSink.h"
#include "tessera/core/document/CTesseraView.h"
#include "tessera/core/link/PageCommands.h"
#include "tessera/link/CSerialLink.h"
#include "tessera/link/LinkSession.h"
#include "tessera/ui/live/LiveEqPage.h"

namespace tessera {
namespace {

// USB serial adapters in a umockdev testbed. The tty node is a link to the simulated
// board's pseudo-terminal, so opening /dev/ttyUSBn reaches the board.
class SerialAdapters {
 public:
  SerialAdapters() : testbed_(umockdev_testbed_new()) {}
  ~SerialAdapters() { g_object_unref(testbed_); }

  std::string root() const {
    gchar* r = umockdev_testbed_get_root_dir(testbed_);
    std::string s = r;
    g_free(r);
    return s;
  }

  // ttyUSB<n> on bus port 1-<6+n>, its board at boardPath; announce: an "add" uevent.
  bool Add(int n, const QString& boardPath, bool announce = false) {
    const std::string tty = "ttyUSB" + std::to_string(n), port = "1-" + std::to_string(6 + n);
    const std::string serial = "QRS000" + std::to_string(n + 1);
    const std::string usb = "/devices/pci0000:00/0000:00:14.0/usb1/" + port;
    const std::string itf = usb + "/" + port + ":1.0";
    syspath_[n] = "/sys" + itf + "/" + tty + "/tty/" + tty;
    const std::string record =
        "P: " + itf + "/" + tty + "/tty/" + tty + "\nN: " + tty + "\nE: SUBSYSTEM=tty\nE: DEVNAME=/dev/" + tty +
        "\nE: MAJOR=188\nE: MINOR=" + std::to_string(n) +
        "\nE: ID_BUS=usb\nE: ID_VENDOR_ID=10c4\nE: ID_MODEL_ID=ea60\nE: ID_VENDOR=QR_Microelectronics"
        "\nE: ID_MODEL=QR_USB_Serial\nE: ID_SERIAL=QR_Microelectronics_QR_USB_Serial_" + serial +
        "\nE: ID_SERIAL_SHORT=" + serial + "\nE: ID_USB_INTERFACE_NUM=00\nE: ID_USB_DRIVER=cp210x\n\n" +
        "P: " + itf + "/" + tty + "\nE: SUBSYSTEM=usb-serial\nE: DRIVER=cp210x\n\n" +
        "P: " + itf + "\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_interface\nE: DRIVER=cp210x\nA: bInterfaceClass=ff\\n\n\n" +
        "P: " + usb + "\nE: SUBSYSTEM=usb\nE: DEVTYPE=usb_device\nE: DRIVER=usb\nA: idVendor=10c4\\n\n" +
        "A: idProduct=ea60\\n\nA: manufacturer=QR Microelectronics\\n\nA: product=QR USB Serial\\n\n" +
        "A: serial=" + serial + "\\n\n";
    GError* error = nullptr;
    if (!umockdev_testbed_add_from_string(testbed_, record.c_str(), &error)) {
      ADD_FAILURE() << (error ? error->message : "add_from_string");
      g_clear_error(&error);
      return false;
    }
    const std::string node = root() + "/dev/" + tty;
    ::unlink(node.c_str());
    if (::symlink(boardPath.toStdString().c_str(), node.c_str()) != 0) return false;
    QDir().mkpath(QString::fromStdString(root() + "/dev/serial/by-id"));
    const std::string byId = root() + "/dev/serial/by-id/usb-QR_Microelectronics_QR_USB_Serial_" + serial +
                             "-if00-port0";
    if (::symlink(("../../" + tty).c_str(), byId.c_str()) != 0) return false;
    if (announce) umockdev_testbed_uevent(testbed_, syspath_[n].c_str(), "add");
    return true;
  }
  void Remove(int n) { umockdev_testbed_uevent(testbed_, syspath_[n].c_str(), "remove"); }

 private:
  UMockdevTestbed* testbed_;
  std::map<int, std::string> syspath_;
};

std::string Log(const LinkSession& s) { return s.log().Shown(); }

TEST(UsbSerial, ListedWithItsDescriptionOpenedUsedPulledOutAndPluggedIn) {
  SerialAdapters adapters;
  SimBoard board({"--check-interval", "50"});
  ASSERT_FALSE(board.path().isEmpty());
  ASSERT_TRUE(adapters.Add(0, board.path()));

  const auto entries = CSerialLink::ListSerialPortEntries();
  ASSERT_EQ(entries.size(), 1) << "the emulated adapter is not listed";
  EXPECT_EQ(entries[0].name, "ttyUSB0");
  EXPECT_EQ(entries[0].description, "QR USB Serial, QR Microelectronics, serial QRS0001");

  RecordingSink sink;
  CTesseraView doc(sink);
  doc.OnInitialUpdate();
  ui::LiveHooks hooks;
  hooks.showMessage = [](const QString&) {};
  auto* page = new ui::LiveEqPage(doc, hooks);
  QTabWidget sheet;
  sheet.addTab(page, "live");
  sheet.show();
  auto* ports = page->findChild<QComboBox*>("ctl1077");
  ASSERT_NE(ports, nullptr);
  ASSERT_EQ(ports->count(), 1);
  EXPECT_EQ(ports->currentText(), "ttyUSB0");
  EXPECT_EQ(ports->itemData(0, Qt::ToolTipRole).toString(), entries[0].description);

  // A tuning exchange through it, link checks answered on the way.
  QTest::mouseClick(page->findChild<QPushButton*>("ctl1170"), Qt::LeftButton);
  LinkSession& session = page->Session();
  ASSERT_TRUE(session.IsOpen()) << Log(session);
  session.Send(link::EqEnableCommand(2, 1));
  EXPECT_TRUE(QTest::qWaitFor([&] { return Log(session).find("CMD OK!") != std::string::npos; }, 3000)) << Log(session);
  EXPECT_TRUE(QTest::qWaitFor([&] { return board.Transcript().contains("LINK+OK\""); }, 3000));
  EXPECT_TRUE(board.Transcript().startsWith("CMD+AUD+ENABLE+2+1\"")) << board.Transcript().toStdString();

  // Pulled out while open: the board side hangs up and the device goes away.
  board.Control("hangup");
  adapters.Remove(0);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !session.IsOpen(); }, 3000)) << Log(session);
  EXPECT_NE(Log(session).find("Serial port ttyUSB0 lost, closed\r\n"), std::string::npos) << Log(session);
  EXPECT_EQ(page->findChild<QPushButton*>("ctl1170")->text(), "Open");

  // A second adapter plugged in appears when the list is opened again; the choice stays.
  SimBoard second;
  ASSERT_FALSE(second.path().isEmpty());
  ASSERT_TRUE(adapters.Add(1, second.path(), true));
  QTest::mouseClick(ports, Qt::LeftButton);
  ports->hidePopup();
  EXPECT_EQ(ports->findText("ttyUSB1"), 1);
  EXPECT_EQ(ports->currentText(), "ttyUSB0");

  // The by-id link opens the same way a listed name does.
  LinkSession byId;
  const QString link = QString::fromStdString("/dev/serial/by-id/usb-QR_Microelectronics_QR_USB_Serial_QRS0002-if00-port0");
  ASSERT_TRUE(byId.Open(link)) << Log(byId);
  byId.Send(link::EqEnableCommand(0, 0));
  EXPECT_TRUE(QTest::qWaitFor([&] { return Log(byId).find("CMD OK!") != std::string::npos; }, 3000)) << Log(byId);
}

}  // namespace
}  // namespace tessera

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
