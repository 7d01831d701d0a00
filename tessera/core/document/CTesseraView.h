#pragma once
// The configuration tool's main view as a document: the pages, the GPIO pool, the two
// hardware selections, the bin and image paths and the two image buffers, with the
// operations the window's commands run. The window, the command line and the tests
// all drive this one object, so they build the same bytes.
//
// Dialogs are not part of it: the caller passes the chosen path. Message boxes go to
// the MessageSink in the order the window would show them, after the operation that
// raised them has returned (see MessageQueue).
//
// A window drives it through the view API below: Controls(page) for the declared
// controls, ReadBack / ChangeControl / EditChanged for the user's input, Apply for any
// other page operation (a dialog's OK, a list edit), the observers to learn what to
// redraw, Snapshot / Restore for undo.
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "tessera/core/common/ControlDecl.h"
#include "tessera/core/common/MessageQueue.h"
#include "tessera/core/common/MessageSink.h"
#include "tessera/core/common/Selector.h"
#include "tessera/core/config/ChipPackage.h"
#include "tessera/core/config/ConfigFile.h"
#include "tessera/core/config/ConfigRecord.h"
#include "tessera/core/document/DocumentObserver.h"
#include "tessera/core/document/DocumentState.h"
#include "tessera/core/pages/CPageBluetooth.h"
#include "tessera/core/pages/CPageButton.h"
#include "tessera/core/pages/CPageEQ.h"
#include "tessera/core/pages/CPageEcho.h"
#include "tessera/core/pages/CPageLED.h"
#include "tessera/core/pages/CPageSystem.h"
#include "tessera/core/pages/CPageWave.h"
#include "tessera/core/pages/PageHost.h"

namespace tessera {

// What Generate image found wrong with one wave prompt of the Sound effect table.
struct ImagePromptProblem {
  enum class Kind {
    Missing,         // the file is gone
    NotRegularFile,  // a folder, a device, a pipe
    Unreadable,      // there but not readable, or too short to hold a wave header
    TooLong,         // over the prompt-file limit: left out (its message was shown)
    NoRoom,          // its place lies beyond the image buffer: left out
    Overrun,         // its data no longer fits the place its recorded size gave it
  };
  Kind kind = Kind::Missing;
  int row = 0;                // table row, 0-based
  std::string path;
  int32_t recordedSize = 0;   // wave data size recorded when the file was chosen
  uint32_t dataSize = 0;      // wave data size the file has now (Overrun)
  uint32_t slotBytes = 0;     // flash bytes its place holds
  // "Sound effect row 3 (POWER ON, /x/on.wav)"
  std::string Entry(const CPageWave& wave) const;
};
// How strict Generate image is with its inputs. A prompt that overruns its place is
// always refused (its data would land in the next prompt's blocks and its size word
// would claim more than its place). The rest is what a caller that must not hand out
// an incomplete image asks for; the window takes what it can, as the user sees the
// loader's messages and the summary.
struct ImageBuildChecks {
  bool refuseEmptyBin = false;
  bool refuseUnreadablePrompts = false;  // Missing, NotRegularFile, Unreadable
  bool refuseDroppedPrompts = false;     // TooLong, NoRoom
};

class CTesseraView : public PageHost {
  // Everything editable, as one value: the names below refer into it, Snapshot copies
  // it and Restore assigns it, so nothing the document holds can miss an undo step or
  // the image build.
  DocumentState state_;

 public:
  // Context sentences the collect step appends to its address and device-class messages.
  static constexpr const char* kWriteContext = "Can't Write Configuration file.";
  static constexpr const char* kGenerateContext = "Can't generate flash image.";

  // Control ids of the main form.
  static constexpr int kIdFlashType = 1003, kIdChipType = 1004, kIdBinPath = 1009, kIdImagePath = 1010;

  explicit CTesseraView(MessageSink& sink);
  CTesseraView(const CTesseraView&) = delete;
  CTesseraView& operator=(const CTesseraView&) = delete;

  // First show of the view: default selections, every page initialised once (System
  // last, so it is the page in front), then the chip package and the flash type.
  void OnInitialUpdate();

  // The user picks an entry of "Type of FLASH" / "Chip type": the selection changes
  // and its operation runs. An index outside the list changes nothing (false).
  bool SelectFlashType(int index);
  bool SelectChipType(int index);

  // GPIOs the package at chipTypeIndex brings out; 0 with no selection.
  static uint32_t PackageGpioMask(int chipTypeIndex) { return tessera::PackageGpioMask(chipTypeIndex); }

  void ApplyChipPackage();
  void RefreshGpioAvailability() override;
  void AllocateImageBuffers();

  // Builds the record from the pages. Prompt data of enabled wave entries is copied
  // into image_buffer on the way; promptAreaBytes receives the prompt area's size.
  bool CollectConfigRecord(ConfigRecord& record, const std::string& context,
                           uint32_t* promptAreaBytes);
  // Moves a stored record back into the pages (after their tables were loaded) and
  // re-applies the chip package and the flash type.
  void RestoreFromRecord(const ConfigRecord& record);

  // "Write Config" / "Read Config" with the path the file dialog would return.
  bool WriteConfigFile(const std::string& path);
  // A selection index outside its list keeps the current entry (with a message);
  // *selectionsValid tells a caller that must not go on with a substitute.
  bool ReadConfigFile(const std::string& path, bool* selectionsValid = nullptr);

  using PromptProblem = ImagePromptProblem;
  using BuildChecks = ImageBuildChecks;

  // "Generate image" with the path the save dialog would return. On success the
  // summary text (also shown through the sink when showSummary) is stored in *summary.
  // It runs the three steps below in a row.
  bool GenerateImage(const std::string& imagePath, std::string* summary = nullptr,
                     bool showSummary = true, const BuildChecks& checks = {});

  // "Generate image" in three steps, so a window keeps the file work (the bin file,
  // the prompt files, megabytes of image written and flushed) off its own thread:
  //   ImageJob job = view.PrepareImage(path);  // this thread: a copy of what the build reads
  //   job.Run();                               // any thread: the whole build, files written
  //   view.FinishImage(job);                   // this thread: image path, messages in order
  // Changes to the document after PrepareImage do not reach the image.
  class ImageJob;
  ImageJob PrepareImage(const std::string& imagePath, const BuildChecks& checks = {}) const;
  // One operation: the job's messages are delivered in the order the build raised
  // them, then (on success, when showSummary) the summary; the image path box shows
  // the written image.
  bool FinishImage(const ImageJob& job, std::string* summary = nullptr, bool showSummary = true);

  // PageHost. The pool is written only by the pages' rules and the refresh (through
  // PageHost), so it always matches the package and the System page's check boxes.
  uint32_t ReservedGpioMask() const override { return state_.reservedGpioMask; }
  uint32_t AvailableGpioMask() const override { return state_.availableGpioMask; }
  int FreePromptSpaceKb(bool withCrcGrowth) const override;
  MessageSink& Sink() override { return sink_; }

  // The file block the configuration file carries for the current pages and view
  // (record excluded: that one comes from the collect step).
  ConfigFileData TablesAndSelections() const;

  // ---- View API --------------------------------------------------------------------

  // The declared controls of a page (or of the main form), bound to this document.
  // Use it to build and fill the widgets; change values through the calls below so
  // observers hear of it.
  ControlSet Controls(PageId page);
  // The page's data exchange from the widgets (leaving the page, before a command).
  std::optional<FieldError> ReadBack(PageId page, const ControlReader& reader);
  // The typed edits of a page that pass their checks, without messages or handlers
  // (see ControlSet::TakeValidEdits); true when the document changed.
  bool TakeTypedEdits(PageId page, const ControlReader& reader);
  // A click on a check box or radio button, or a selector pick: value stored, the
  // control's handler run (GPIO refresh, enable rules, list rebuilds).
  bool ChangeControl(PageId page, int controlId, int value);
  // The same with the widgets at hand: a control whose handler reads the page back
  // first (ControlInfo::readBackFirst) gets the read-back before the value is stored;
  // its failure comes back for display (focus on its field) and the click still applies.
  struct ChangeResult {
    bool changed = false;
    std::optional<FieldError> error;
  };
  ChangeResult ChangeControl(PageId page, int controlId, int value, const ControlReader& reader);
  // An edit whose handler runs on every change (the Bluetooth address): the page is
  // read back, then the handler runs whatever the read-back gave. The read-back's
  // failure is returned for display.
  std::optional<FieldError> EditChanged(PageId page, int controlId, const ControlReader& reader);

  // Runs f as one operation of the document: observers hear what changed once it
  // returns, then its messages are delivered. Use it for page operations that have
  // no declared control (a list row's dialog committed, an equalizer band applied).
  template <class F>
  decltype(auto) Apply(F&& f) {
    Operation op(*this);
    return std::forward<F>(f)();
  }

  // While one lives, operations nest into it: observers hear one Reset at its end
  // instead of per-operation changes. Read Config and Restore run in one.
  class Batch {
   public:
    explicit Batch(CTesseraView& view);
    ~Batch();
    Batch(const Batch&) = delete;
    Batch& operator=(const Batch&) = delete;

   private:
    CTesseraView& view_;
  };

  void AddObserver(DocumentObserver* observer);
  void RemoveObserver(DocumentObserver* observer);

  // The whole editable state (a copy), and putting it back without side effects (see
  // DocumentState).
  DocumentState Snapshot() const { return state_; }
  void Restore(const DocumentState& state);

  // The parts of the state by name, to read. They change only through the declared
  // controls and the operations of this class, so the observers hear of every change and
  // a window can make each one an undo step. Pages (RF test page not modelled: nothing of
  // it is stored):
  const CPageSystem& system = state_.system;
  const CPageBluetooth& bluetooth = state_.bluetooth;
  const CPageWave& wave = state_.wave;
  const CPageLED& led = state_.led;
  const CPageButton& button = state_.button;
  const CPageEQ& eq = state_.eq;
  const CPageEcho& echo = state_.echo;
  // View controls: the two selections, the bin path box (1009), the image path box (1010).
  const Selector& flashType = state_.flashType;
  const Selector& chipType = state_.chipType;
  const std::string& binPath = state_.binPath;
  const std::string& imagePath = state_.imagePath;

  // The bin path box (1009) gets a path (typed, or chosen with Browse); true when it changed.
  bool SetBinPath(const std::string& path);

  // A list row's dialog on the Key, LED and Sound effect pages: its data for row, and
  // its OK committed (true when the row changed).
  std::optional<CKeyEventDlg> BeginKeyEdit(int row);
  bool CommitKeyEdit(int row, const CKeyEventDlg& dlg);
  bool CommitLedEdit(int row, const LedEventEntry& entry);
  // A refused file still changes the row and the counted space: always true for a row.
  bool CommitWaveEdit(int row, const SoundEffectEntry& entry);

  // ---- Live tuning pages -----------------------------------------------------------
  // Each is one operation; the bool ones say whether the stored settings changed, which
  // is what makes an undo step. None of them talks to a board.

  // The band dialog's OK on equalizer band i: the band takes the dialog's values (gain
  // cut to four decimals) and its coefficients are recomputed.
  bool ApplyEqBand(int i, const CEqConfigDlg& dlg);
  // The band dialog's OK on voice equalizer k (gain cut to whole dB, on/off from it).
  bool ApplyVoiceEq(int k, const CEqConfigDlg& dlg);
  // Save on the Echo page: its two gains become the System page's default volumes
  // ("Save OK!" through the sink).
  bool SaveEchoGains();
  // The Echo page shown: its gains follow the System page's volumes again (a gain picked
  // and not saved is dropped).
  bool ActivateEchoPage();
  // The Echo page's port opened or closed (or the page left), and its Conf button: they
  // lock and unlock its settings. Link state, not part of an undo step.
  void SetEchoPortOpen(bool open);
  void EchoConf(bool portOpen);

  // Image state for the selected flash type: the space of Generate image's scratch
  // buffers and the code area size, which follow the flash type.
  size_t ImageBufferBytes() const { return bufferBytes_; }
  int CodeAreaKb() const { return code_area_kb; }

  // A bin path or configuration path longer than this cannot be stored and read back whole.
  static constexpr size_t kMaxStoredPath = 255;

 private:
  void SetReservedGpioMask(uint32_t mask) override { state_.reservedGpioMask = mask; }
  void SetAvailableGpioMask(uint32_t mask) override { state_.availableGpioMask = mask; }
  // The pages that ask the document for the GPIO pool, the free space and message boxes.
  void AttachPages();
  // The main form's declared controls: the two selections and the two path boxes.
  static const ControlTable<CTesseraView>& MainControls();

  int code_area_kb = 0;
  // Generate image's scratch buffers. Their space is set aside when the flash type is
  // chosen (ImageBufferBytes each; 0 when the system refused it) and they are filled
  // with 0xFF when a build starts; until then they hold no bytes, so prompts collected
  // for Write Config are not copied anywhere.
  std::vector<uint8_t> image_buffer;
  std::vector<uint8_t> crc_buffer;

  // One operation: the outermost one records the controls' states before, compares
  // them after, notifies, and releases the held messages.
  class Operation {
   public:
    explicit Operation(CTesseraView& view);
    ~Operation();
    Operation(const Operation&) = delete;
    Operation& operator=(const Operation&) = delete;

   private:
    CTesseraView& view_;
  };
  using PageStates = std::vector<std::vector<ControlState>>;
  PageStates CaptureStates();
  void Notify(const PageStates& before);

  // The code area and the buffers' space for the selected flash type (the message
  // when the system refuses the space).
  void FitImageBuffersToFlash();
  bool BuffersReady() const;
  // The build itself, on a document of its own (see ImageJob::Run).
  bool BuildImage(const std::string& chosenPath, const BuildChecks& checks, std::string* summary);
  // The first prompt problem the checks refuse, with its message shown; false if none.
  bool RefusedPrompt(const BuildChecks& checks);

  MessageQueue sink_;
  std::vector<DocumentObserver*> observers_;
  int operationDepth_ = 0;
  int batchDepth_ = 0;
  bool batchTouched_ = false;
  PageStates before_;
  std::vector<PromptProblem> promptProblems_;  // of the last collect step
  bool binEmpty_ = false;                      // of the last build
  size_t bufferBytes_ = 0;
};

// A Generate image build detached from the document it was prepared from: it holds a
// copy of the editable state and builds on a document of its own, so Run touches
// nothing else and may run on a worker thread while the window stays live.
class CTesseraView::ImageJob {
 public:
  // Builds and writes the image files; the messages the build raises are kept for
  // FinishImage. Runs once; false when nothing (or not everything) was written.
  bool Run();

  const std::string& ImagePath() const { return imagePath_; }
  bool Succeeded() const { return ok_; }
  const std::vector<std::string>& Messages() const { return messages_.messages; }
  const std::string& Summary() const { return summary_; }
  // What the build found wrong with the prompts, refused or not, in table order.
  const std::vector<PromptProblem>& PromptProblems() const { return promptProblems_; }
  // The bin file was empty (the image holds no firmware).
  bool BinEmpty() const { return binEmpty_; }

 private:
  friend class CTesseraView;
  DocumentState state_;
  BuildChecks checks_;
  std::vector<PromptProblem> promptProblems_;
  bool binEmpty_ = false;
  std::string imagePath_;
  RecordingSink messages_;
  std::string summary_;
  bool ok_ = false;
};

}  // namespace tessera
