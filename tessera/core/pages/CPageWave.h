#pragma once
// Sound-effect page: 42 prompt entries (wave file or DTMF tone per device event) and the
// running count of flash space the wave files need. Wave data is stored in 32-byte
// blocks that grow to 34 bytes in the image, counted in whole 4 KB sectors.
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "tessera/core/common/ControlDecl.h"
#include "tessera/core/common/Selector.h"
#include "tessera/core/config/ConfigRecord.h"
#include "tessera/core/config/EventNames.h"
#include "tessera/core/config/TableEntries.h"
#include "tessera/core/pages/CAudioConfigDlg.h"
#include "tessera/core/pages/PageHost.h"

namespace tessera {

// One wave prompt as the placement hands it out: table row, file, where its data goes
// and how much flash the recorded size gave it.
struct PromptPlacement {
  int row = 0;
  std::string path;
  uint32_t byteOffset = 0;    // from flash address 0
  uint32_t maxLength = 0;     // the prompt-file limit
  int32_t recordedSize = 0;   // fileSize as recorded when the file was chosen
  uint32_t slotBytes = 0;     // whole 4 KB blocks reserved for it
};
// Copies one prompt file's samples into the image at byteOffset, at most maxLength
// bytes; the placement does not depend on what it does.
using PromptLoader = std::function<void(const PromptPlacement& placement)>;

class CPageWave {
 public:
  // The declared controls in control order (see ControlDecl.h).
  static const ControlTable<CPageWave>& ControlDecls();
  static constexpr int kRemainingId = 1119, kLanguageId = 1199, kListId = 1120;
  static constexpr int kRows = 42;
  static constexpr int kColumns = 4;

  explicit CPageWave(PageHost* host = nullptr) : host_(host) {}
  void SetHost(PageHost* host) { host_ = host; }

  // The page window was created: empty table, nothing counted, language 0.
  void OnInitialize();
  bool Initialized() const { return initialized_; }

  // Flash space in KB that a wave file of s bytes takes; 0 for s <= 0.
  static int WaveFlashKb(long long s);

  // The flash type changed and F KB are now free for prompts: when more than that is
  // counted, the whole table is emptied.
  void FlashSizeChanged(int freeKb);

  // Fit check after row r was edited: false when the file did not fit (the entry is
  // then cleared and the user told). A file already used by another enabled wave entry
  // is not counted again.
  bool FitCheckAfterEdit(int r);
  // The same while loading: only later entries count as sharing the file, so of several
  // entries naming one file the last is the one counted.
  bool FitCheckWhileLoading(int r);

  // The prompt list's columns (all centred), in the order of the row texts.
  static const std::array<const char*, kColumns>& ColumnTitles();
  static const std::array<int, kColumns>& ColumnWidths();
  // The four list texts of row i.
  std::vector<std::string> RowTexts(int row) const;
  static std::vector<std::string> EmptyRowTexts();
  std::string ControlText(int controlId) const;

  // A click on the list: the dialog for that row, or nothing without a selected row.
  std::optional<CAudioConfigDlg> BeginEdit(int row) const;
  // The dialog closed with OK and produced entry (see CAudioConfigDlg::Ok): the entry is
  // stored and checked for space. Returns whether it was kept.
  bool CommitEdit(int row, const SoundEffectEntry& entry);

  // The language index and the prompt slots of the record, and prompt data into the
  // image through load. The
  // prompt area starts 4 KB after the code area; promptAreaBytes gets its size.
  // Returns false when the placed prompts run past promptFileLimit bytes (the record
  // is complete all the same).
  bool CollectInto(ConfigRecord& rec, int codeAreaKb, uint32_t promptFileLimit, const PromptLoader& load,
                   uint32_t* promptAreaBytes) const;
  // After the table was loaded: language from the record, the space counted afresh.
  void RestoreFrom(const ConfigRecord& rec);

  std::array<SoundEffectEntry, 42> soundTable{};
  int usedPromptSpaceKb = 0;
  Selector language{names::NameList(names::kPromptLanguages), -1};
  std::string remainingSpaceText = "KB";

 private:
  bool FitCheck(int r, int searchFrom, bool skipSelf);
  int FreeKb() const;
  void SetRemainingText(int freeKb);
  PageHost* host_ = nullptr;
  bool initialized_ = false;
};

}  // namespace tessera
