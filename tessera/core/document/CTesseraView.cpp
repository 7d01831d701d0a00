#include "tessera/core/document/CTesseraView.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

#include "tessera/core/common/AtomicFile.h"
#include "tessera/core/config/ChipPackage.h"
#include "tessera/core/config/EventNames.h"
#include "tessera/core/config/FlashLayout.h"
#include "tessera/core/config/ImageFiles.h"
#include "tessera/core/config/PromptLoader.h"
#include "tessera/core/document/GpioPool.h"

namespace tessera {

namespace {

constexpr const char* kCannotCreateConfigMessage = "Can not create configuration file!";
constexpr const char* kCannotLoadConfigMessage = "Can't load configuration file.\r\n";
constexpr const char* kCannotOpenBinMessage = "Can not open file";
constexpr const char* kCannotAllocateMessage = "Can't Allocate buffer\r\n";

template <typename... Args>
std::string Format(const char* pattern, Args... args) {
  int n = std::snprintf(nullptr, 0, pattern, args...);
  std::string s(n > 0 ? static_cast<size_t>(n) : 0, '\0');
  std::snprintf(s.data(), s.size() + 1, pattern, args...);
  return s;
}

std::vector<std::string> Entries(const auto& names) {
  return std::vector<std::string>(names.begin(), names.end());
}

// Sets n bytes aside for a buffer without touching them, so a document that never
// generates an image never faults its pages in; the build fills the buffer when it
// starts. An allocation the system refuses leaves the buffer absent.
bool SetAside(std::vector<uint8_t>& buffer, size_t n) {
  std::vector<uint8_t>().swap(buffer);  // the old block goes before the new one is asked for
  try {
    buffer.reserve(n);
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

}  // namespace

CTesseraView::CTesseraView(MessageSink& sink) : sink_(sink) {
  state_.flashType = Selector(Entries(kFlashTypeNames));
  state_.chipType = Selector(Entries(kChipTypeNames));
  AttachPages();
}

void CTesseraView::AttachPages() {
  state_.system.SetHost(this);
  state_.wave.SetHost(this);
  state_.led.SetHost(this);
  state_.button.SetHost(this);
}

// ---- Main form controls -------------------------------------------------------

const ControlTable<CTesseraView>& CTesseraView::MainControls() {
  using V = CTesseraView;
  static const ControlTable<V> kTable = {
      {.info = {.id = V::kIdFlashType, .kind = ControlKind::Selector},
       .value = [](const V& v) { return v.flashType.selected; },
       .setValue = [](V& v, int i) { v.state_.flashType.Select(i); },
       .selector = [](const V& v) -> const Selector* { return &v.flashType; },
       .changed = [](V& v) { v.AllocateImageBuffers(); }},
      {.info = {.id = V::kIdChipType, .kind = ControlKind::Selector},
       .value = [](const V& v) { return v.chipType.selected; },
       .setValue = [](V& v, int i) { v.state_.chipType.Select(i); },
       .selector = [](const V& v) -> const Selector* { return &v.chipType; },
       .changed = [](V& v) { v.ApplyChipPackage(); }},
      {.info = {.id = V::kIdBinPath, .kind = ControlKind::Text, .field = {V::kIdBinPath, FieldKind::Text},
                .filePath = true},
       .text = [](const V& v) { return v.binPath; },
       .store = [](V& v, const FieldValue& f) { v.state_.binPath = f.text; }},
      {.info = {.id = V::kIdImagePath, .kind = ControlKind::Text, .field = {V::kIdImagePath, FieldKind::Text},
                .readOnly = true, .filePath = true},
       .text = [](const V& v) { return v.imagePath; }},
  };
  return kTable;
}

ControlSet CTesseraView::Controls(PageId page) {
  switch (page) {
    case PageId::Main: return ControlSet(*this, MainControls());
    case PageId::Bluetooth: return ControlSet(state_.bluetooth, CPageBluetooth::ControlDecls());
    case PageId::System: return ControlSet(state_.system, CPageSystem::ControlDecls());
    case PageId::Key: return ControlSet(state_.button, CPageButton::ControlDecls());
    case PageId::Led: return ControlSet(state_.led, CPageLED::ControlDecls());
    case PageId::Wave: return ControlSet(state_.wave, CPageWave::ControlDecls());
    case PageId::Eq: return ControlSet(state_.eq, CPageEQ::ControlDecls());
    case PageId::Echo: return ControlSet(state_.echo, CPageEcho::ControlDecls());
  }
  return ControlSet(*this, MainControls());
}

std::optional<FieldError> CTesseraView::ReadBack(PageId page, const ControlReader& reader) {
  Operation op(*this);
  return Controls(page).ReadBack(reader);
}

bool CTesseraView::TakeTypedEdits(PageId page, const ControlReader& reader) {
  Operation op(*this);
  ControlSet set = Controls(page);
  const auto before = set.States();
  set.TakeValidEdits(reader);
  return set.States() != before;
}

bool CTesseraView::ChangeControl(PageId page, int controlId, int value) {
  Operation op(*this);
  return Controls(page).Change(controlId, value);
}

CTesseraView::ChangeResult CTesseraView::ChangeControl(PageId page, int controlId, int value,
                                                     const ControlReader& reader) {
  Operation op(*this);
  ControlSet set = Controls(page);
  ChangeResult result;
  const ControlInfo* info = set.Find(controlId);
  if (info && info->readBackFirst) {
    // The clicked control itself takes the value the click gives, not its old one.
    result.error = set.ReadBack([&](const ControlInfo& i) { return i.id == controlId ? std::nullopt : reader(i); });
  }
  result.changed = set.Change(controlId, value);
  return result;
}

std::optional<FieldError> CTesseraView::EditChanged(PageId page, int controlId, const ControlReader& reader) {
  Operation op(*this);
  ControlSet set = Controls(page);
  auto err = set.ReadBack(reader);
  set.RunHandler(controlId);
  return err;
}

// ---- Operations, notification, snapshots ---------------------------------------

CTesseraView::Operation::Operation(CTesseraView& view) : view_(view) {
  if (view_.operationDepth_++ == 0) {
    view_.sink_.Hold();
    if (view_.batchDepth_ == 0 && !view_.observers_.empty()) view_.before_ = view_.CaptureStates();
  }
}

CTesseraView::Operation::~Operation() {
  if (--view_.operationDepth_ != 0) return;
  if (view_.batchDepth_ > 0) {
    view_.batchTouched_ = true;
  } else if (!view_.observers_.empty() && !view_.before_.empty()) {
    PageStates before = std::move(view_.before_);
    view_.before_.clear();
    view_.Notify(before);
  }
  view_.sink_.Release();
}

CTesseraView::Batch::Batch(CTesseraView& view) : view_(view) {
  if (view_.batchDepth_++ == 0) view_.batchTouched_ = false;
  view_.sink_.Hold();
}

CTesseraView::Batch::~Batch() {
  if (--view_.batchDepth_ == 0) {
    // Copied: an observer may remove itself while being told.
    const auto observers = view_.observers_;
    for (DocumentObserver* o : observers) o->Reset();
  }
  view_.sink_.Release();
}

void CTesseraView::AddObserver(DocumentObserver* observer) {
  if (observer && std::find(observers_.begin(), observers_.end(), observer) == observers_.end())
    observers_.push_back(observer);
}

void CTesseraView::RemoveObserver(DocumentObserver* observer) {
  observers_.erase(std::remove(observers_.begin(), observers_.end(), observer), observers_.end());
}

CTesseraView::PageStates CTesseraView::CaptureStates() {
  PageStates states;
  for (PageId p : kAllPages) states.push_back(Controls(p).States());
  return states;
}

void CTesseraView::Notify(const PageStates& before) {
  const PageStates after = CaptureStates();
  std::vector<ControlChange> changes;
  size_t pi = 0;
  for (PageId p : kAllPages) {
    const ControlSet set = Controls(p);
    const auto& infos = set.Controls();
    for (size_t i = 0; i < infos.size() && i < before[pi].size() && i < after[pi].size(); ++i) {
      const ControlState& a = before[pi][i];
      const ControlState& b = after[pi][i];
      ControlChange c{p, infos[i].id, a.text != b.text || a.value != b.value,
                      a.entries != b.entries || a.rows != b.rows, a.enabled != b.enabled};
      if (c.value || c.entries || c.enabled) changes.push_back(c);
    }
    ++pi;
  }
  if (changes.empty()) return;
  const auto observers = observers_;
  for (DocumentObserver* o : observers) o->ControlsChanged(changes);
}

void CTesseraView::Restore(const DocumentState& s) {
  Batch batch(*this);
  const bool flashChanged = s.flashType.selected != state_.flashType.selected;
  // The link state of the live-tuning pages belongs to the port, not to the edit.
  const CPageEcho liveEcho = state_.echo;
  state_ = s;
  state_.echo.TakeLinkState(liveEcho);
  AttachPages();  // a state from another document points its pages at that one
  if (flashChanged) {
    // Resized quietly: the buffers are Generate image's scratch space, refilled there,
    // and the Sound effect page's free space came back with the page.
    FitImageBuffersToFlash();
  }
}

bool CTesseraView::SetBinPath(const std::string& path) {
  if (path == state_.binPath) return false;
  Operation op(*this);
  state_.binPath = path;
  return true;
}

std::optional<CKeyEventDlg> CTesseraView::BeginKeyEdit(int row) {
  Operation op(*this);
  return state_.button.BeginEdit(row);  // with the pins free now
}

bool CTesseraView::CommitKeyEdit(int row, const CKeyEventDlg& dlg) {
  Operation op(*this);
  return state_.button.CommitEdit(row, dlg);
}

bool CTesseraView::CommitLedEdit(int row, const LedEventEntry& entry) {
  Operation op(*this);
  return state_.led.CommitEdit(row, entry);
}

bool CTesseraView::CommitWaveEdit(int row, const SoundEffectEntry& entry) {
  if (row < 0 || row >= CPageWave::kRows) return false;
  Operation op(*this);
  state_.wave.CommitEdit(row, entry);
  return true;
}

bool CTesseraView::ApplyEqBand(int i, const CEqConfigDlg& dlg) {
  if (i < 0 || i >= kEqBands) return false;
  Operation op(*this);
  const CPageEQ before = state_.eq;
  state_.eq.ApplyDialog(i, dlg);
  const auto n = static_cast<size_t>(i);
  return before.bands[n] != state_.eq.bands[n] || before.rowRedrawn[n] != state_.eq.rowRedrawn[n];
}

bool CTesseraView::ApplyVoiceEq(int k, const CEqConfigDlg& dlg) {
  if (k < 0 || k >= kVoiceEqs) return false;
  Operation op(*this);
  const CPageEcho before = state_.echo;
  state_.echo.ApplyDialog(k, dlg);
  return before.voiceEqs != state_.echo.voiceEqs || before.voiceEqOn != state_.echo.voiceEqOn ||
         before.summaries != state_.echo.summaries;
}

bool CTesseraView::SaveEchoGains() {
  Operation op(*this);
  const int hfp = state_.system.hfpVolume, mic = state_.system.micVolume;
  state_.echo.Save(state_.system, sink_);
  return hfp != state_.system.hfpVolume || mic != state_.system.micVolume;
}

bool CTesseraView::ActivateEchoPage() {
  Operation op(*this);
  const int dac = state_.echo.dacGainIndex, mic = state_.echo.micGainIndex;
  state_.echo.OnActivate(state_.system);
  return dac != state_.echo.dacGainIndex || mic != state_.echo.micGainIndex;
}

void CTesseraView::SetEchoPortOpen(bool open) {
  Operation op(*this);
  state_.echo.SetPortOpen(open);
}

void CTesseraView::EchoConf(bool portOpen) {
  Operation op(*this);
  state_.echo.OnConf(portOpen);
}

void CTesseraView::OnInitialUpdate() {
  Batch batch(*this);
  image_buffer.clear();
  crc_buffer.clear();
  state_.reservedGpioMask = 0;
  state_.flashType.Select(1);  // "GD_8Mbit"
  state_.chipType.Select(1);   // "QFN48_6X6"
  // Each page sets its defaults and default tables once. The System page comes last:
  // its initial rules ask for a GPIO refresh, which must find the LED and Key pages
  // already there.
  state_.bluetooth.OnInitialize();
  state_.wave.OnInitialize();
  state_.led.OnInitialize();
  state_.button.OnInitialize();
  state_.keyPageCreated = true;
  state_.eq.OnInitialize();
  state_.echo.OnInitialize();
  state_.echo.OnActivate(state_.system);  // shown once like every page: the gains follow the volumes
  state_.system.OnInitialize();
  ApplyChipPackage();
  AllocateImageBuffers();
}

bool CTesseraView::SelectFlashType(int index) {
  Operation op(*this);
  if (index < 0 || index >= state_.flashType.Count()) return false;
  state_.flashType.Select(index);
  AllocateImageBuffers();
  return true;
}

bool CTesseraView::SelectChipType(int index) {
  Operation op(*this);
  if (index < 0 || index >= state_.chipType.Count()) return false;
  state_.chipType.Select(index);
  ApplyChipPackage();
  return true;
}

void CTesseraView::ApplyChipPackage() {
  // Only the 7x7 package brings out the SPI pins. Disabling the box keeps its check
  // mark, so GPIO6 to GPIO9 stay reserved until the user unchecks it on that package.
  if (state_.chipType.selected >= 0) state_.system.spiCheckEnabled = state_.chipType.selected == kSpiCapableChipIndex;
  RefreshGpioAvailability();
}

void CTesseraView::RefreshGpioAvailability() {
  AllocateGpioPool(*this, PackageGpioMask(state_.chipType.selected), &state_.system, state_.led.Initialized() ? &state_.led : nullptr,
                   state_.keyPageCreated ? &state_.button : nullptr);
}

int CTesseraView::FreePromptSpaceKb(bool withCrcGrowth) const {
  return tessera::FreePromptSpaceKb(state_.flashType.selected, withCrcGrowth);
}

void CTesseraView::AllocateImageBuffers() {
  FitImageBuffersToFlash();
  state_.wave.FlashSizeChanged(FreePromptSpaceKb(false));
}

void CTesseraView::FitImageBuffersToFlash() {
  const FlashLayout layout = FlashLayoutFor(state_.flashType.selected);
  code_area_kb = layout.codeAreaKb;
  const bool ok = SetAside(image_buffer, layout.bufferSize) && SetAside(crc_buffer, layout.bufferSize);
  bufferBytes_ = ok ? layout.bufferSize : 0;
  if (ok) return;
  std::vector<uint8_t>().swap(image_buffer);
  std::vector<uint8_t>().swap(crc_buffer);
  sink_.Show(kCannotAllocateMessage);
}

bool CTesseraView::BuffersReady() const {
  const size_t need = FlashLayoutFor(state_.flashType.selected).bufferSize;
  return bufferBytes_ == need && need > 0;
}

bool CTesseraView::CollectConfigRecord(ConfigRecord& record, const std::string& context,
                                       uint32_t* promptAreaBytes) {
  record.bytes.fill(0);
  if (promptAreaBytes) *promptAreaBytes = 0;
  if (!state_.bluetooth.CollectInto(record, context, sink_)) return false;
  if (!state_.system.CollectInto(record, state_.led.polarityReversed != 0, sink_)) return false;
  // Prompts are placed with the limit of the CRC image's free space, and each copy is
  // bounded by the image buffer (a buffer that is absent takes no data).
  const size_t limit = static_cast<size_t>(std::max(0, FreePromptSpaceKb(true))) * 1024u;
  promptProblems_.clear();
  const PromptLoader load = [this](const PromptPlacement& p) {
    PromptLoadInfo info;
    LoadPromptFile(p.path, image_buffer, p.byteOffset, p.maxLength, sink_, &info);
    using K = PromptProblem::Kind;
    PromptProblem problem{.row = p.row, .path = p.path, .recordedSize = p.recordedSize,
                          .dataSize = info.storedSize, .slotBytes = p.slotBytes};
    switch (info.outcome) {
      case PromptLoadOutcome::Loaded: {
        // The data (size word and samples) must stay in the place the recorded size
        // gave it. The four zero bytes after it may reach up to three bytes past a
        // place whose recorded size was within three bytes of its end, as they always
        // have: the next prompt is written over them.
        const uint64_t allowed = std::max<int64_t>(p.recordedSize, int64_t{p.slotBytes} - 4);
        if (info.storedSize <= allowed) return;
        problem.kind = K::Overrun;
        break;
      }
      case PromptLoadOutcome::Missing: problem.kind = K::Missing; break;
      case PromptLoadOutcome::NotRegularFile: problem.kind = K::NotRegularFile; break;
      case PromptLoadOutcome::Unreadable:
      case PromptLoadOutcome::TooShort: problem.kind = K::Unreadable; break;
      case PromptLoadOutcome::TooLong: problem.kind = K::TooLong; break;
      case PromptLoadOutcome::NoRoom: problem.kind = K::NoRoom; break;
    }
    promptProblems_.push_back(std::move(problem));
  };
  uint32_t promptBytes = 0;
  // Prompts past the limit still get their slots (the page keeps the total within the
  // free space when files are chosen); an image that then outgrows the CRC buffer is
  // refused by the encoder.
  (void)state_.wave.CollectInto(record, code_area_kb, static_cast<uint32_t>(limit), load, &promptBytes);
  if (promptAreaBytes) *promptAreaBytes = promptBytes;
  state_.led.CollectInto(record);
  state_.button.CollectInto(record);
  state_.eq.CollectInto(record);
  state_.echo.CollectInto(record);
  return true;
}

void CTesseraView::RestoreFromRecord(const ConfigRecord& record) {
  state_.wave.RestoreFrom(record);    // language, fit check of the loaded rows
  state_.button.RestoreFrom(record);  // rows and key timings
  state_.eq.RefreshRows();            // coefficients recomputed from the loaded bands
  state_.bluetooth.RestoreFrom(record);
  state_.system.RestoreFrom(record);
  state_.led.RestoreFrom(record);
  state_.echo.RestoreFrom(record);
  state_.system.Reapply();
  state_.bluetooth.Refresh();
  state_.led.ReReadSelectors();
  state_.echo.Refresh();
  ApplyChipPackage();
  AllocateImageBuffers();
}

std::string ImagePromptProblem::Entry(const CPageWave& wave) const {
  const int event = row >= 0 && row < CPageWave::kRows ? wave.soundTable[static_cast<size_t>(row)].event : 0;
  const char* eventName =
      event >= 0 && static_cast<size_t>(event) < names::kPromptEventList.size() ? names::kPromptEventList[static_cast<size_t>(event)] : "?";
  return Format("Sound effect row %d (%s, %s)", row + 1, eventName, path.c_str());
}

bool CTesseraView::RefusedPrompt(const BuildChecks& checks) {
  using K = PromptProblem::Kind;
  for (const PromptProblem& p : promptProblems_) {
    const std::string entry = p.Entry(state_.wave);
    switch (p.kind) {
      case K::Overrun:
        sink_.Show(Format("%s: the file now holds %u bytes of wave data, but the configuration "
                          "recorded %d and gave it %u bytes of flash; its data would run into the "
                          "next prompt. Nothing was written: choose the file again on the Sound "
                          "effect page, then generate the image.",
                          entry.c_str(), p.dataSize, static_cast<int>(p.recordedSize), p.slotBytes));
        return true;
      case K::Missing:
      case K::NotRegularFile:
      case K::Unreadable:
        if (!checks.refuseUnreadablePrompts) break;
        sink_.Show(Format("%s: %s. Nothing was written: restore the file or choose another one.",
                          entry.c_str(),
                          p.kind == K::Missing          ? "the file does not exist"
                          : p.kind == K::NotRegularFile ? "not a regular file"
                                                        : "the file cannot be read as a wave file"));
        return true;
      case K::TooLong:
      case K::NoRoom:
        if (!checks.refuseDroppedPrompts) break;
        sink_.Show(Format("%s: %s, so the image would go without it. Nothing was written.", entry.c_str(),
                          p.kind == K::TooLong ? "the file is longer than the space left for prompts"
                                               : "its place lies beyond the image"));
        return true;
    }
  }
  return false;
}

ConfigFileData CTesseraView::TablesAndSelections() const {
  ConfigFileData d;
  d.sound = state_.wave.soundTable;
  d.led = state_.led.ledTable;
  d.keys = state_.button.keyTable;
  d.eq = state_.eq.bands;
  d.flashIndex = state_.flashType.selected;
  d.chipIndex = state_.chipType.selected;
  d.binPath = state_.binPath;
  return d;
}

bool CTesseraView::WriteConfigFile(const std::string& path) {
  Operation op(*this);
  ConfigFileData data = TablesAndSelections();
  // A path the file cannot give back whole is not stored at all (a cut one could end
  // inside a character and would name another file); the rest of the work is saved.
  const bool pathTooLong = data.binPath.size() > kMaxStoredPath;
  if (pathTooLong) data.binPath.clear();
  if (!CollectConfigRecord(data.record, kWriteContext, nullptr)) return false;
  std::string error;
  if (!WriteFileAtomically(path, EncodeConfigFile(data), &error)) {
    sink_.Show(std::string(kCannotCreateConfigMessage) + "\r\n" + error);
    return false;
  }
  if (pathTooLong) {
    sink_.Show(Format("The configuration was written without its bin file path: the path is %zu bytes "
                      "long and a configuration file keeps at most %zu. Move the bin file to a "
                      "shorter path and choose it again before the next Write Config.",
                      state_.binPath.size(), kMaxStoredPath));
  }
  return true;
}

bool CTesseraView::ReadConfigFile(const std::string& path, bool* selectionsValid) {
  Batch batch(*this);
  if (selectionsValid) *selectionsValid = false;
  std::vector<uint8_t> bytes;
  if (!ReadFilePrefix(path, bytes, cfgfile::kFixedSize + cfgfile::kMaxPathRead, nullptr)) {
    sink_.Show(kCannotLoadConfigMessage);
    return false;
  }
  ConfigFileData data;
  if (!DecodeConfigFile(bytes.data(), bytes.size(), data, nullptr)) {
    sink_.Show(
        Format("Can't load configuration file.\r\n%s has %zu bytes; a configuration file has at "
               "least %zu. "
               "Nothing was loaded: choose a complete configuration file.",
               path.c_str(), bytes.size(), cfgfile::kFixedSize));
    return false;
  }
  state_.wave.soundTable = data.sound;
  state_.led.ledTable = data.led;
  state_.button.keyTable = data.keys;
  state_.eq.bands = data.eq;
  // Indexes outside the lists keep the current selections (the record and the tables
  // still load); the chip package and flash type are re-applied by the restore.
  if (data.flashIndex >= 0 && data.flashIndex < state_.flashType.Count()) {
    state_.flashType.Select(data.flashIndex);
  } else {
    sink_.Show(
        Format("The configuration's flash type index %d is not one of the %d entries; "
               "\"%s\" stays selected.",
               static_cast<int>(data.flashIndex), state_.flashType.Count(), state_.flashType.Text().c_str()));
  }
  if (data.chipIndex >= 0 && data.chipIndex < state_.chipType.Count()) {
    state_.chipType.Select(data.chipIndex);
  } else {
    sink_.Show(
        Format("The configuration's chip type index %d is not one of the %d entries; "
               "\"%s\" stays selected.",
               static_cast<int>(data.chipIndex), state_.chipType.Count(), state_.chipType.Text().c_str()));
  }
  state_.binPath = data.binPath;
  RestoreFromRecord(data.record);
  if (selectionsValid) {
    *selectionsValid = data.flashIndex >= 0 && data.flashIndex < state_.flashType.Count() && data.chipIndex >= 0 &&
                       data.chipIndex < state_.chipType.Count();
  }
  return true;
}

bool CTesseraView::GenerateImage(const std::string& chosenPath, std::string* summary,
                                 bool showSummary, const BuildChecks& checks) {
  if (chosenPath.empty()) return false;  // the save dialog was cancelled
  ImageJob job = PrepareImage(chosenPath, checks);
  job.Run();
  return FinishImage(job, summary, showSummary);
}

CTesseraView::ImageJob CTesseraView::PrepareImage(const std::string& chosenPath,
                                                  const BuildChecks& checks) const {
  ImageJob job;
  job.state_ = Snapshot();
  job.checks_ = checks;
  job.imagePath_ = chosenPath;
  return job;
}

bool CTesseraView::ImageJob::Run() {
  ok_ = false;
  summary_.clear();
  if (imagePath_.empty()) return false;
  CTesseraView build(messages_);
  build.Restore(state_);  // also gives the build image buffers of its own
  ok_ = build.BuildImage(imagePath_, checks_, &summary_);
  promptProblems_ = build.promptProblems_;
  binEmpty_ = build.binEmpty_;
  return ok_;
}

bool CTesseraView::FinishImage(const ImageJob& job, std::string* summary, bool showSummary) {
  Operation op(*this);
  for (const std::string& m : job.Messages()) sink_.Show(m);
  if (!job.Succeeded()) return false;
  state_.imagePath = job.ImagePath();
  if (showSummary) sink_.Show(job.Summary());
  if (summary) *summary = job.Summary();
  return true;
}

bool CTesseraView::BuildImage(const std::string& chosenPath, const BuildChecks& checks,
                              std::string* summary) {
  Operation op(*this);
  promptProblems_.clear();
  uint64_t binSize = 0;
  if (!FileSize(state_.binPath, binSize, nullptr)) {
    sink_.Show(kCannotOpenBinMessage);
    return false;
  }
  binEmpty_ = binSize == 0;
  if (binEmpty_ && checks.refuseEmptyBin) {
    sink_.Show(Format("The bin file %s is empty: the image would hold no firmware. Nothing was "
                      "written: choose the firmware bin file.",
                      state_.binPath.c_str()));
    return false;
  }
  if (!BuffersReady()) {
    sink_.Show(
        "There are no image buffers for this flash type. Nothing was written: "
        "select the flash type again, then generate the image.");
    return false;
  }
  const size_t codeBytes = static_cast<size_t>(code_area_kb) * 1024u;
  if (binSize > codeBytes) {
    sink_.Show(Format(
        "The bin file has %llu bytes but the code area of %s holds %zu. Nothing was written: "
        "choose the firmware built for this flash type.",
        static_cast<unsigned long long>(binSize), state_.flashType.Text().c_str(), codeBytes));
    return false;
  }
  std::vector<uint8_t> bin;
  if (!ReadWholeFile(state_.binPath, bin, codeBytes, nullptr)) {
    sink_.Show(kCannotOpenBinMessage);
    return false;
  }
  // Within the space set aside, so neither buffer moves; this is where their pages are
  // first touched.
  image_buffer.assign(bufferBytes_, 0xFF);
  crc_buffer.assign(bufferBytes_, 0xFF);
  std::copy(bin.begin(), bin.end(), image_buffer.begin());

  ConfigRecord record;
  uint32_t promptBytes = 0;
  if (!CollectConfigRecord(record, kGenerateContext, &promptBytes)) return false;
  if (RefusedPrompt(checks)) return false;
  std::copy(record.bytes.begin(), record.bytes.end(),
            image_buffer.begin() + static_cast<ptrdiff_t>(codeBytes));

  ImageFilesResult result;
  if (!WriteImageFiles(chosenPath, image_buffer.data(), image_buffer.size(), crc_buffer.data(),
                       crc_buffer.size(), code_area_kb, promptBytes, sink_, &result))
    return false;

  std::string text = Format("Image create OK:\r\norigin CRC bin: %s\r\n", state_.binPath.c_str());
  text += "BT Config:\r\n";
  text += Format("Bt Address: %s\tDevice class: %s\r\n", state_.bluetooth.address.c_str(),
                 state_.bluetooth.deviceType.Text().c_str());
  text += Format("Device name: %s\r\nDefault Pin code: %s\r\n", state_.bluetooth.deviceName.c_str(),
                 state_.bluetooth.pinCode.c_str());
  text +=
      std::string("Auto connection ") + (state_.bluetooth.autoReconnect ? "enabled\r\n" : "disabled\r\n");
  text += Format("CRC Value:  %x\r\n", result.checkValue);
  if (summary) *summary = text;
  return true;
}

}  // namespace tessera
