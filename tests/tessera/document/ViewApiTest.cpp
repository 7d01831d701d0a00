// What a window builds on: the declared controls of every page and entry dialog with
// their one generic exchange, the change notification, snapshots for undo and the
// queued message boxes.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "DocumentFixture.h"
#include "tessera/core/common/Gpio.h"
#include "tessera/core/common/Validation.h"
#include "tessera/core/config/ConfigFile.h"
#include "tessera/core/document/CTesseraView.h"
#include "tessera/core/pages/CAudioConfigDlg.h"
#include "tessera/core/pages/CKeyEventDlg.h"
#include "tessera/core/pages/CLedEventDlg.h"

namespace tessera::testing {
namespace {

bool IsEdit(ControlKind k) {
  return k == ControlKind::Integer || k == ControlKind::Number || k == ControlKind::Text;
}

std::string Whole(double v) { return std::to_string(static_cast<long long>(v)); }

// A text the field accepts that differs from what the control shows now.
std::string OtherValidText(const FieldSpec& f, const std::string& current) {
  if (f.kind == FieldKind::Text)
    return f.maxChars > 0 ? std::string(static_cast<size_t>(f.maxChars), 'z') : "z/x.bin";
  if (f.ranged) return current == Whole(f.max) ? Whole(f.min) : Whole(f.max);
  switch (f.kind) {
    case FieldKind::UInt:
      return "4000000000";
    case FieldKind::Byte:
      return "254";
    case FieldKind::Short:
      return "-32768";
    default:
      return "-2000000000";
  }
}

// Every page of the document and every entry dialog, each as a freshly bound set.
struct Targets {
  explicit Targets(CTesseraView& v)
      : view(v),
        keyDlg(KeyEventEntry{}, 0x3FFFFF),
        ledDlg(LedEventEntry{}),
        audioDlg(SoundEffectEntry{}, &view.Sink()) {}
  std::map<std::string, std::function<ControlSet()>> All() {
    std::map<std::string, std::function<ControlSet()>> m;
    const std::pair<const char*, PageId> pages[] = {
        {"Main", PageId::Main},     {"Bluetooth", PageId::Bluetooth},
        {"System", PageId::System}, {"Key", PageId::Key},
        {"Led", PageId::Led},       {"Wave", PageId::Wave},
        {"Eq", PageId::Eq},         {"Echo", PageId::Echo}};
    for (const auto& [name, id] : pages) m[name] = [this, id = id] { return view.Controls(id); };
    m["CKeyEventDlg"] = [this] { return keyDlg.Controls(); };
    m["CLedEventDlg"] = [this] { return ledDlg.Controls(); };
    m["CAudioConfigDlg"] = [this] { return audioDlg.Controls(); };
    return m;
  }
  CTesseraView& view;
  CKeyEventDlg keyDlg;
  CLedEventDlg ledDlg;
  CAudioConfigDlg audioDlg;
};

ControlReader Only(int id, ControlInput in) {
  return [id, in](const ControlInfo& info) -> std::optional<ControlInput> {
    if (info.id == id) return in;
    return std::nullopt;
  };
}

// ---- declarations and the generic exchange ------------------------------------

TEST_F(DocumentTest, EveryDeclaredControlReadsBackWhatWasWritten) {
  Targets t(view);
  for (auto& [name, make] : t.All()) {
    ControlSet set = make();
    ASSERT_FALSE(set.Controls().empty()) << name;
    std::set<int> ids;
    int exercised = 0;
    for (const ControlInfo& info : set.Controls()) {
      EXPECT_TRUE(ids.insert(info.id).second) << name << " declares " << info.id << " twice";
      const ControlState before = set.State(info.id);
      if (info.kind == ControlKind::List) {
        EXPECT_EQ(static_cast<int>(before.rows.size()), info.rows) << name << " " << info.id;
        ++exercised;
        continue;
      }
      if (info.readOnly) continue;
      ControlInput in;
      if (IsEdit(info.kind)) {
        in.text = OtherValidText(info.field, before.text);
      } else if (info.kind == ControlKind::CheckBox) {
        in.value = 1 - before.value;
      } else if (info.kind == ControlKind::RadioGroup) {
        ASSERT_GE(info.buttons.size(), 2u) << name << " " << info.id;
        EXPECT_EQ(info.buttons.front(), info.id);
        in.value = before.value == 1 ? 0 : 1;
      } else {
        const int n = static_cast<int>(before.entries.size());
        if (n < 2) continue;  // a one-entry or empty list offers no other choice
        in.value = before.value == n - 1 ? 0 : n - 1;
      }
      const auto err = set.ReadBack(Only(info.id, in));
      EXPECT_FALSE(err) << name << " " << info.id << ": " << (err ? err->message : "");
      const ControlState after = set.State(info.id);
      if (IsEdit(info.kind))
        EXPECT_EQ(after.text, in.text) << name << " " << info.id;
      else
        EXPECT_EQ(after.value, in.value) << name << " " << info.id;
      ++exercised;
    }
    EXPECT_GT(exercised, 0) << name;
  }
}

TEST_F(DocumentTest, ABadValueOfEachKindGivesItsMessageAndControl) {
  Targets t(view);
  auto targets = t.All();
  struct Row {
    const char* target;
    int id;
    std::string text;
    std::string message;
  };
  const Row rows[] = {
      {"System", CPageSystem::kIdSleepTimeout, "656", "“请填入一个在0和655之间的整数。”"},
      {"System", CPageSystem::kIdSleepTimeout, "-1", "“请填入一个正整数。”"},
      {"System", CPageSystem::kIdA2dpVolume, "abc", "“请填入一个在0和255之间的整数。”"},
      {"System", CPageSystem::kIdMicVolume, "96", "“请填入一个在0和95之间的整数。”"},
      {"System", CPageSystem::kIdShutdownTimeout, "1.5", "请键入一个整数。"},
      {"Bluetooth", CPageBluetooth::kIdRetries, "128", "“请填入一个在-1和127之间的整数。”"},
      {"Bluetooth", CPageBluetooth::kIdPinCode, std::string(17, '1'), "“请填入不多于16个的字符。”"},
      {"Bluetooth", CPageBluetooth::kIdPairingTimeout, "32768",
       "“请填入一个在-32768和32767之间的整数。”"},
      {"Key", CPageButton::kLongPressId, "65536", "“请填入一个在0和65535之间的整数。”"},
      {"CLedEventDlg", CLedEventDlg::kFlashId, "0", "“请填入一个在1和255之间的整数。”"},
      {"CLedEventDlg", CLedEventDlg::kOnId, "-5", "“请填入一个正整数。”"},
      {"CAudioConfigDlg", CAudioConfigDlg::kF2GainId, "1", "“请填入一个在-15和0之间的整数。”"},
  };
  for (const Row& r : rows) {
    ControlSet set = targets.at(r.target)();
    const std::string shown = set.State(r.id).text;
    const auto err = set.ReadBack(Only(r.id, {r.text, 0}));
    ASSERT_TRUE(err) << r.target << " " << r.id << " " << r.text;
    EXPECT_EQ(*err, (FieldError{r.id, r.message})) << r.target << " " << r.text;
    EXPECT_EQ(set.State(r.id).text, shown) << "a refused value is not stored";
  }
}

TEST_F(DocumentTest, FirstFailureStopsTheReadAndEarlierControlsKeepTheirValues) {
  const std::map<int, std::string> typed = {{CPageSystem::kIdA2dpVolume, "3"},
                                            {CPageSystem::kIdMicVolume, "96"},
                                            {CPageSystem::kIdSleepTimeout, "600"},
                                            {CPageSystem::kIdPowerKeyGpio, "999"}};
  ControlSet page = view.Controls(PageId::System);
  const auto err =
      view.ReadBack(PageId::System, [&](const ControlInfo& info) -> std::optional<ControlInput> {
        if (!IsEdit(info.kind)) return ControlInput{{}, page.State(info.id).value};
        auto it = typed.find(info.id);
        return ControlInput{it != typed.end() ? it->second : page.State(info.id).text, 0};
      });
  ASSERT_TRUE(err);
  EXPECT_EQ(err->controlId, CPageSystem::kIdMicVolume);
  EXPECT_EQ(view.system.a2dpVolume, 3);
  EXPECT_EQ(view.system.micVolume, 54);
  EXPECT_EQ(view.system.sleepTimeoutS, 8u) << "controls after the failing one are not read";
}

TEST_F(DocumentTest, ChangeRefusesDisabledControlsAndIndexesOutsideTheList) {
  ASSERT_FALSE(view.system.PaMuteControlsEnabled());
  EXPECT_FALSE(view.ChangeControl(PageId::System, CPageSystem::kIdPaMuteHigh, 1));
  EXPECT_EQ(view.system.paMuteHigh, 0);
  EXPECT_FALSE(view.ChangeControl(PageId::Main, CTesseraView::kIdFlashType, 4));
  EXPECT_FALSE(view.ChangeControl(PageId::System, CPageSystem::kIdA2dpVolume, 1))
      << "an edit has no click";
  // Enabling PA mute runs its rule, after which the box can be ticked.
  EXPECT_TRUE(view.ChangeControl(PageId::System, CPageSystem::kIdPaMuteEnable, 1));
  EXPECT_TRUE(view.ChangeControl(PageId::System, CPageSystem::kIdPaMuteHigh, 1));
  EXPECT_EQ(view.system.paMuteHigh, 1);
  EXPECT_EQ(view.system.paMuteCombo.Text(), "GPIO19");
}

TEST_F(DocumentTest, CheckBoxHandlersThatReadThePageBackReportItsFirstBadField) {
  // The window's widgets: a bad volume and a new sleep timeout typed, the boxes as shown.
  ControlSet page = view.Controls(PageId::System);
  const ControlReader widgets = [&](const ControlInfo& info) -> std::optional<ControlInput> {
    if (info.id == CPageSystem::kIdHfpVolume) return ControlInput{"16", 0};
    if (info.id == CPageSystem::kIdPromptVolume) return ControlInput{"7", 0};
    return ControlInput{page.State(info.id).text, page.State(info.id).value};
  };
  auto r = view.ChangeControl(PageId::System, CPageSystem::kIdSdEnable, 1, widgets);
  EXPECT_TRUE(r.changed);
  ASSERT_TRUE(r.error);
  EXPECT_EQ(*r.error, (FieldError{CPageSystem::kIdHfpVolume, "“请填入一个在0和15之间的整数。”"}));
  EXPECT_EQ(view.system.promptVolume, 7) << "read before the bad field";
  EXPECT_EQ(view.system.sdEnable, 1) << "the click applies all the same";
  EXPECT_TRUE(view.system.SdSeparatePinEnabled());
  // "AD for linein detection" works on its box alone: no read-back, no message.
  r = view.ChangeControl(PageId::System, CPageSystem::kIdLineInAdc, 1, widgets);
  EXPECT_TRUE(r.changed);
  EXPECT_FALSE(r.error);
}

// ---- change notification ------------------------------------------------------

struct Recorder : DocumentObserver {
  void ControlsChanged(const std::vector<ControlChange>& c) override { batches.push_back(c); }
  void Reset() override { ++resets; }
  bool Has(PageId p, int id, bool entries) const {
    for (const auto& b : batches)
      for (const auto& c : b)
        if (c.page == p && c.controlId == id && (!entries || c.entries)) return true;
    return false;
  }
  bool Touches(PageId p) const {
    for (const auto& b : batches)
      for (const auto& c : b)
        if (c.page == p) return true;
    return false;
  }
  std::vector<std::vector<ControlChange>> batches;
  int resets = 0;
};

TEST_F(DocumentTest, DebugPortChangesReachThePinSelectorsAndKeyRowsOfOtherPages) {
  // A key on GPIO1 only: it goes when the debug port takes GPIO0 and GPIO1 back.
  view.ChangeControl(PageId::System, CPageSystem::kIdDebugPort, 0);
  KeyEventEntry key;
  key.event = 1;
  key.gpioMask = 1u << 1;
  view.CommitKeyEdit(20, CKeyEventDlg(key, view.AvailableGpioMask()));
  ASSERT_EQ(view.button.keyTable[20].gpioMask, 2u);

  Recorder r;
  view.AddObserver(&r);
  EXPECT_TRUE(view.ChangeControl(PageId::System, CPageSystem::kIdDebugPort, 1));
  view.RemoveObserver(&r);

  ASSERT_EQ(r.batches.size(), 1u) << "one notification per operation";
  EXPECT_TRUE(r.Has(PageId::System, CPageSystem::kIdDebugPort, false));
  EXPECT_TRUE(r.Has(PageId::System, CPageSystem::kIdUart, false)) << "the radios' enable state";
  for (int id :
       {CPageSystem::kIdPaMuteGpio, CPageSystem::kIdLineInGpio, CPageSystem::kIdSdDetectGpio})
    EXPECT_TRUE(r.Has(PageId::System, id, true)) << id;
  for (int id : {CPageLED::kLowPowerLedId, CPageLED::kLed0Id, CPageLED::kLed1Id}) {
    EXPECT_TRUE(r.Has(PageId::Led, id, true)) << id;
    EXPECT_LT(view.led.SelectorFor(id)->FindPrefix("GPIO00"), 0);
  }
  EXPECT_TRUE(r.Has(PageId::Key, CPageButton::kListId, true));
  EXPECT_EQ(view.button.keyTable[20].gpioMask, 0u);
  EXPECT_FALSE(r.Touches(PageId::Bluetooth));
  EXPECT_FALSE(r.Touches(PageId::Main));
  EXPECT_EQ(r.resets, 0);
}

TEST_F(DocumentTest, EveryAddressKeystrokeReadsThePageBackAndTurnsTheTickToACross) {
  Recorder r;
  view.AddObserver(&r);
  const auto typed = [](std::string address, std::string retries) {
    return [=](const ControlInfo& info) -> std::optional<ControlInput> {
      if (info.id == CPageBluetooth::kIdAddress) return ControlInput{address, 0};
      if (info.id == CPageBluetooth::kIdRetries) return ControlInput{retries, 0};
      return std::nullopt;
    };
  };
  auto err = view.EditChanged(PageId::Bluetooth, CPageBluetooth::kIdAddress, typed("0x11223344551g", "5"));
  EXPECT_FALSE(err);
  EXPECT_EQ(view.Controls(PageId::Bluetooth).State(CPageBluetooth::kIdAddressIndicator).value, 0);
  EXPECT_TRUE(r.Has(PageId::Bluetooth, CPageBluetooth::kIdAddressIndicator, false));
  // A bad value elsewhere on the page brings up its message while the address is typed,
  // and the address is still checked.
  err = view.EditChanged(PageId::Bluetooth, CPageBluetooth::kIdAddress, typed("0x112233445511", "128"));
  ASSERT_TRUE(err);
  EXPECT_EQ(err->controlId, CPageBluetooth::kIdRetries);
  EXPECT_EQ(view.bluetooth.addressValid, 1);
  view.RemoveObserver(&r);
}

TEST_F(DocumentTest, ReadConfigAndRestoreSendOneResetAndNoChanges) {
  const std::string path = dir.File("a.cfg");
  ASSERT_TRUE(view.WriteConfigFile(path));
  Recorder r;
  view.AddObserver(&r);
  ASSERT_TRUE(view.ReadConfigFile(path));
  view.Restore(view.Snapshot());
  EXPECT_TRUE(r.batches.empty());
  EXPECT_EQ(r.resets, 2);
  // An operation that changes nothing is not announced.
  view.ReadBack(PageId::Key, [](const ControlInfo&) { return std::nullopt; });
  EXPECT_TRUE(r.batches.empty());
  view.RemoveObserver(&r);
}

// ---- snapshots ----------------------------------------------------------------

std::vector<std::vector<ControlState>> AllStates(CTesseraView& v) {
  std::vector<std::vector<ControlState>> out;
  for (PageId p : kAllPages) out.push_back(v.Controls(p).States());
  return out;
}

TEST_F(DocumentTest, RestoreGivesBackEveryPageAndSelectionWithoutSideEffects) {
  const auto states0 = AllStates(view);
  const ConfigFileData file0 = view.TablesAndSelections();
  const uint32_t avail0 = view.AvailableGpioMask(), reserved0 = view.ReservedGpioMask();
  const DocumentState s0 = view.Snapshot();

  // Changes on several pages, some of them reaching others.
  view.ChangeControl(PageId::System, CPageSystem::kIdDebugPort, 0);
  view.ChangeControl(PageId::Main, CTesseraView::kIdChipType, 0);
  view.ChangeControl(PageId::Main, CTesseraView::kIdFlashType, 0);
  view.ReadBack(PageId::Bluetooth, Only(CPageBluetooth::kIdDeviceName, {"Other", 0}));
  view.ChangeControl(PageId::Led, CPageLED::kPolarityId, 0);
  view.SetBinPath("fw.bin");
  const auto states1 = AllStates(view);
  const ConfigFileData file1 = view.TablesAndSelections();
  const DocumentState s1 = view.Snapshot();
  ASSERT_NE(states1, states0);
  sink.messages.clear();

  Recorder r;
  view.AddObserver(&r);
  view.Restore(s0);
  EXPECT_EQ(AllStates(view), states0);
  EXPECT_TRUE(view.TablesAndSelections() == file0);
  EXPECT_EQ(view.AvailableGpioMask(), avail0);
  EXPECT_EQ(view.ReservedGpioMask(), reserved0);
  EXPECT_EQ(view.CodeAreaKb(), 512);
  EXPECT_EQ(view.ImageBufferBytes(), 1012u * 1024);

  view.Restore(s1);
  EXPECT_EQ(AllStates(view), states1);
  EXPECT_TRUE(view.TablesAndSelections() == file1);
  EXPECT_EQ(r.resets, 2);
  EXPECT_TRUE(sink.messages.empty());
  view.RemoveObserver(&r);

  // The restored pages still reach the document: a handler run after restoring
  // changes this view's pool, not the snapshot's.
  view.ChangeControl(PageId::System, CPageSystem::kIdDebugPort, 1);
  EXPECT_EQ(view.ReservedGpioMask() & 0x3u, 0x3u);
  EXPECT_EQ(s1.reservedGpioMask & 0x3u, 0u);
}

// ---- queued messages ----------------------------------------------------------

// Shows each message and, on the first, starts another operation as a click in the
// window behind a message box would.
struct ReenteringSink : MessageSink {
  void Show(const std::string& text) override {
    ++depth;
    maxDepth = std::max(maxDepth, depth);
    shown.push_back(text);
    if (text == "first" && view) view->Apply([this] { view->Sink().Show("from the box"); });
    --depth;
  }
  CTesseraView* view = nullptr;
  std::vector<std::string> shown;
  int depth = 0, maxDepth = 0;
};

TEST(DocumentMessages, DeliveredAfterTheOperationInOrderAndNeverNested) {
  ReenteringSink sink;
  CTesseraView view(sink);
  view.OnInitialUpdate();
  sink.view = &view;
  struct AfterChanges : DocumentObserver {
    void ControlsChanged(const std::vector<ControlChange>&) override {
      shownWhenTold = sink->shown.size();
    }
    void Reset() override {}
    ReenteringSink* sink = nullptr;
    size_t shownWhenTold = 99;
  } observer;
  observer.sink = &sink;
  view.AddObserver(&observer);

  view.Apply([&] {
    view.Sink().Show("first");
    view.Apply([&] { view.Sink().Show("second"); });
    EXPECT_TRUE(sink.shown.empty()) << "nothing is shown while the operation runs";
    view.SetBinPath("changed.bin");
    view.Sink().Show("third");
  });
  EXPECT_EQ(sink.shown, (std::vector<std::string>{"first", "second", "third", "from the box"}));
  EXPECT_EQ(sink.maxDepth, 1);
  EXPECT_EQ(observer.shownWhenTold, 0u) << "observers hear of the change before the messages";
  view.RemoveObserver(&observer);
}

}  // namespace
}  // namespace tessera::testing
