#include "core/ProductionEngine.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "core/DownloadProtocol.h"

#include "qrplatform/Utf8Path.h"

namespace kestrel {

namespace {

std::string CountText(uint32_t count) { return "烧录数量：" + std::to_string(count); }

}  // namespace

const char* OperationName(Operation op) {
  switch (op) {
    case Operation::kBurn: return "burn";
    case Operation::kRead: return "read";
    case Operation::kErase: return "erase";
  }
  return "?";
}

const char* PhaseName(ProgressPhase phase) {
  switch (phase) {
    case ProgressPhase::kProgram: return "program";
    case ProgressPhase::kVerify: return "verify";
    case ProgressPhase::kRead: return "read";
    case ProgressPhase::kErase: return "erase";
  }
  return "?";
}

ProductionEngine::ProductionEngine(Transport& transport, Clock& clock, EngineEvents& events,
                                   EngineOptions options)
    : transport_(transport),
      clock_(clock),
      events_(events),
      options_(std::move(options)),
      station_(ProductionLog::StationName()) {}

ProductionEngine::~ProductionEngine() {
  if (watching_) transport_.StopWatching();
  JoinThreads();
}

int ProductionEngine::CountInterfacesAnswer(Transport& transport) {
  const int count = transport.CountInterfaces();
  if (count <= 0) return 255;  // none, or an error
  return std::min(count, kMaxInterfaces);
}

int ProductionEngine::SlotPresence(Transport& transport, int index, AdapterId* adapterId) {
  if (adapterId == nullptr) return kBadBuffer;
  *adapterId = transport.GetInterfaceInfo(index).adapterId;
  return adapterId->empty() ? kNotPresent : kPresent;
}

int ProductionEngine::SlotRows() const { return std::min(deviceCount_.load(), kSlotCount); }

bool ProductionEngine::Busy() const {
  std::lock_guard<std::mutex> lock(*state_.mutex);
  return state_.runningWorkers > 0;
}

void ProductionEngine::JoinThreads() {
  // Both end on their own; joining a finished thread costs nothing worth counting.
  if (operation_.joinable()) operation_.join();
  if (loader_.joinable()) loader_.join();
}

void ProductionEngine::WaitIdle() { JoinThreads(); }

void ProductionEngine::UpdateButtons() {
  // An image with a record burns only with a sequence to take its addresses from; no
  // board starts while the production log cannot take its row.
  const bool noAddresses = state_.hasRecord && (!view_.hasSequence || view_.remaining == 0);
  view_.burnEnabled = state_.imageLength != 0 && deviceCount_ != 0 && !noAddresses && !logStopped_;
  view_.readEnabled = deviceCount_ != 0;
  view_.eraseEnabled = deviceCount_ != 0;
}

void ProductionEngine::SetAddressLabel(const BtAddress& address) {
  if (state_.hasRecord && view_.hasSequence && view_.remaining == 0) {
    // Used up: there is no next address to show, and burning stays off.
    view_.currentAddressLabel = "地址范围已用完(剩余0个)";
    view_.addressLabelMeaning = AddressLabelMeaning::kSequenceProblem;
    return;
  }
  view_.currentAddressLabel = "当前地址:\t" + address.DisplayText();
  view_.addressLabelMeaning = AddressLabelMeaning::kNextAddress;
  view_.labelAddress = address;
}

void ProductionEngine::SetCountLabel(uint32_t count) {
  view_.countLabel = CountText(count);
  view_.countLabelMeaning = CountLabelMeaning::kSuccessCount;
  view_.labelCount = count;
}

void ProductionEngine::RefreshAddressDisplay(bool boxes) {
  const BtAddress& a = state_.currentAddress;
  if (boxes) {
    for (size_t i = 0; i < 6; ++i) {
      char text[3];
      std::snprintf(text, sizeof text, "%02x", a.bytes[i]);
      view_.addressBoxes[i] = text;
    }
  }
  SetAddressLabel(a);
}

void ProductionEngine::RefreshSlots() {
  int answer = 0;
  {
    std::lock_guard<std::mutex> lock(transportMutex_);
    answer = CountInterfacesAnswer(transport_);
  }
  deviceCount_ = answer == 255 ? 0 : answer;
  const bool busy = Busy();
  const int rows = SlotRows();
  std::vector<AdapterId> present;
  if (!busy) {
    std::lock_guard<std::mutex> lock(transportMutex_);
    for (int n = 0; n < rows; ++n) present.push_back(transport_.GetInterfaceInfo(n).adapterId);
  }
  {
    std::lock_guard<std::mutex> lock(viewMutex_);
    if (!busy && !loading_) UpdateButtons();
    // A pulled-out adapter's result stays in view, in a row of its own below the present
    // adapters' rows, until the next operation starts.
    struct GoneRow {
      AdapterId adapter;
      int result;
      bool hasAddress;
      BtAddress address;
      SlotIcon icon;
    };
    std::vector<GoneRow> gone;
    if (!busy) {
      for (size_t n = 0; n < kSlotCount; ++n) {
        const AdapterId& id = view_.rowAdapter[n];
        // Only a failure stays in view: a board that is done needs no second look.
        if (id.empty() || view_.lastResult[n] <= 0 || !(view_.rowVisible[n] || view_.rowGone[n])) continue;
        if (std::find(present.begin(), present.end(), id) != present.end()) continue;
        gone.push_back({id, view_.lastResult[n], view_.slotHasAddress[n], view_.slotAddress[n], view_.icon[n]});
      }
    }
    for (int n = 0; n < kSlotCount; ++n) {
      const size_t i = static_cast<size_t>(n);
      const bool visible = n < deviceCount_;
      view_.rowVisible[i] = visible;
      if (visible) {
        view_.ticked[i] = true;
        ticked_[i] = true;
      }
      view_.icon[i] = SlotIcon::kHidden;
      if (!busy) {
        // A row shows its adapter's result only while that adapter is still the one there.
        const bool same = n < rows && !view_.rowGone[i] && view_.rowAdapter[i] == present[i];
        view_.rowGone[i] = false;
        if (!same) {
          view_.rowAdapter[i] = n < rows ? present[i] : AdapterId();
          view_.lastResult[i] = -1;
          view_.slotHasAddress[i] = false;
        }
      }
    }
    for (size_t k = 0, n = static_cast<size_t>(rows); k < gone.size() && n < kSlotCount; ++k, ++n) {
      view_.rowVisible[n] = true;
      view_.rowGone[n] = true;
      view_.ticked[n] = false;
      ticked_[n] = false;
      view_.rowAdapter[n] = gone[k].adapter;
      view_.lastResult[n] = gone[k].result;
      view_.slotHasAddress[n] = gone[k].hasAddress;
      view_.slotAddress[n] = gone[k].address;
      view_.icon[n] = gone[k].icon;
    }
  }
  events_.ViewChanged();
}

bool ProductionEngine::WatchAdapters() {
  if (watching_) return true;
  watching_ = transport_.StartWatching(this);
  return watching_;
}

void ProductionEngine::AdaptersChanged() {
  RefreshSlots();
  events_.AdaptersChanged(deviceCount_);
}

ImageError ProductionEngine::LoadImage(const std::string& path) {
  if (Busy() || loading_ || closing_) return ImageError::kNone;
  JoinThreads();
  ImageInfo info;
  auto data = std::make_shared<std::vector<uint8_t>>();
  const ImageError e = ImageFile::Load(path, &info, data.get());
  ApplyImage(path, e, std::move(info), std::move(data));
  return e;
}

bool ProductionEngine::LoadImageAsync(const std::string& path) {
  if (Busy() || loading_ || closing_) return false;
  JoinThreads();
  loading_ = true;
  {
    std::lock_guard<std::mutex> lock(viewMutex_);
    view_.loading = true;
    view_.burnEnabled = view_.readEnabled = view_.eraseEnabled = false;
  }
  events_.ViewChanged();
  try {
    loader_ = std::thread([this, path] {
      ImageInfo info;
      auto data = std::make_shared<std::vector<uint8_t>>();
      const ImageError e = ImageFile::Load(path, &info, data.get());
      ApplyImage(path, e, std::move(info), std::move(data));
      events_.ImageLoaded(e);
    });
  } catch (const std::system_error&) {
    ImageInfo info;
    auto data = std::make_shared<std::vector<uint8_t>>();
    const ImageError e = ImageFile::Load(path, &info, data.get());
    ApplyImage(path, e, std::move(info), std::move(data));
    events_.ImageLoaded(e);
  }
  return true;
}

void ProductionEngine::ApplyImage(const std::string& path, ImageError e, ImageInfo info,
                                  std::shared_ptr<const std::vector<uint8_t>> data) {
  {
    std::lock_guard<std::mutex> lock(viewMutex_);
    if (closing_) {
      // The window is closing: its address write-back uses the image it had.
    } else if (e != ImageError::kNone) {
      // The image in use stays in use: its path, length and address are untouched.
      const bool tooLarge = e == ImageError::kTooLarge;
      view_.currentAddressLabel = tooLarge ? "烧录bin文件过大(须小于16MB)\r\n" : "烧录bin文件打开失败\r\n";
      view_.addressLabelMeaning =
          tooLarge ? AddressLabelMeaning::kImageTooLarge : AddressLabelMeaning::kImageOpenFailed;
      if (e == ImageError::kDamagedRecord) {
        view_.currentAddressLabel = "bin文件配置记录损坏,不能烧录: " + info.problem;
        view_.addressLabelMeaning = AddressLabelMeaning::kDamagedRecord;
      }
    } else {
      state_.imagePath = path;
      view_.imagePath = path;
      if (options_.readbackDir.empty()) {
        const std::filesystem::path image = qrplatform::PathFromUtf8(path);
        view_.readbackFolder = image.has_parent_path() ? qrplatform::Utf8FromPath(image.parent_path() / "readback")
                                                       : std::string("readback");
      }
      state_.imageLength = info.length;
      state_.image = std::move(data);
      if (info.length != 0) {
        char text[32];
        std::snprintf(text, sizeof text, "CRC_SUM:0x%x", static_cast<unsigned>(info.checksum));
        view_.checksumLabel = text;
        view_.hasChecksum = true;
        view_.checksum = info.checksum;
        state_.imageChecksum = info.checksum;
      }
      state_.successCount = 0;
      SetCountLabel(0);
      view_.yield = Yield{};
      state_.hasRecord = info.hasRecord;
      state_.recordOffset = info.recordOffset;
      state_.deviceName = info.deviceName;
      state_.currentAddress = info.address;  // zero without a record
      view_.deviceName = info.deviceName;
      std::string message;
      {
        // The image's own sequence goes with its image: the old one is let go of (its
        // lock too, so this very image can be taken again) before the new one is made.
        std::lock_guard<std::mutex> stateLock(*state_.mutex);
        GiveUpKept(nullptr);
        if (!sequenceGiven_) {
          if (sequence_) sequence_->Release();
          sequence_.reset();
          if (info.hasRecord && options_.openSequence) {
            sequence_ = options_.openSequence(path, info, &message);
          } else if (info.hasRecord) {
            message = "no address sequence to take the boards' addresses from";
          }
        }
      }
      view_.sequenceMessage.clear();
      ShowSequence(message);
      RefreshAddressDisplay(true);
      if (info.hasRecord && !view_.hasSequence) {
        view_.currentAddressLabel = message;
        view_.addressLabelMeaning = AddressLabelMeaning::kSequenceProblem;
      }
    }
    if (loading_) {
      loading_ = false;
      view_.loading = false;
      UpdateButtons();
    } else if (e == ImageError::kNone) {
      UpdateButtons();
    }
  }
  events_.ViewChanged();
}

void ProductionEngine::SetAddressBox(int i, const std::string& text) {
  if (i < 0 || i >= 6) return;
  std::lock_guard<std::mutex> lock(viewMutex_);
  view_.addressBoxes[static_cast<size_t>(i)] = text;
}

bool ProductionEngine::SetAddress(std::optional<BtAddress> last) {
  if (Busy() || loading_) return false;
  bool ok = true;
  {
    std::lock_guard<std::mutex> lock(viewMutex_);
    // Parsed into a copy: a mistyped box must not leave a half-changed address behind
    // that a later burn (enabled again by a plug-in) would hand out.
    BtAddress parsed = state_.currentAddress;
    for (size_t i = 0; i < 6; ++i)
      ok = BtAddress::ParseBox(view_.addressBoxes[i], &parsed.bytes[i]) && ok;
    std::string message;
    bool refused = false;
    if (ok) {
      std::lock_guard<std::mutex> stateLock(*state_.mutex);
      if (sequence_) {
        // Addresses kept for retries belong to the range being left.
        GiveUpKept(nullptr);
        refused = sequence_->SetRange(parsed, last, &message) != SequenceStatus::kOk;
      }
    }
    if (ok && refused) {
      ok = false;
      view_.currentAddressLabel = message;
      view_.addressLabelMeaning = AddressLabelMeaning::kSequenceProblem;
      view_.sequenceMessage = message;
    } else if (ok) {
      state_.currentAddress = parsed;
      view_.sequenceMessage.clear();  // a new range: what was said of the old one is past
      ShowSequence("");
      UpdateButtons();
      SetAddressLabel(parsed);
    } else {
      view_.currentAddressLabel = "地址格式错误!\r\n";
      view_.addressLabelMeaning = AddressLabelMeaning::kAddressFormatError;
      view_.burnEnabled = false;
    }
  }
  events_.ViewChanged();
  return ok;
}

void ProductionEngine::SetSlotTicked(int slot, bool ticked) {
  if (slot < 0 || slot >= kSlotCount) return;
  const size_t i = static_cast<size_t>(slot);
  ticked_[i] = ticked;
  std::lock_guard<std::mutex> lock(viewMutex_);
  view_.ticked[i] = ticked;
}

std::string ProductionEngine::ReadbackFolder() const {
  if (!options_.readbackDir.empty()) return options_.readbackDir;
  std::lock_guard<std::mutex> lock(viewMutex_);
  const std::filesystem::path image = qrplatform::PathFromUtf8(view_.imagePath);
  return image.has_parent_path() ? qrplatform::Utf8FromPath(image.parent_path() / "readback") : std::string("readback");
}

void ProductionEngine::SetReadbackFolder(const std::string& folder) {
  if (Busy() || loading_) return;
  options_.readbackDir = folder;
  const std::string shown = ReadbackFolder();
  {
    std::lock_guard<std::mutex> lock(viewMutex_);
    view_.readbackFolder = shown;
  }
  events_.ViewChanged();
}

bool ProductionEngine::SetLogFile(const std::string& path) {
  bool ok = true;
  if (path.empty()) {
    log_.CloseFile();
  } else {
    ok = log_.Open(path);
  }
  if (!Busy()) logStopped_ = false;  // a log that opens takes rows again
  {
    std::lock_guard<std::mutex> lock(viewMutex_);
    view_.logPath = ok ? path : std::string();
    view_.logFailed = !ok;
    view_.logStopped = logStopped_;
    if (!Busy() && !loading_) UpdateButtons();
  }
  events_.ViewChanged();
  return ok;
}

void ProductionEngine::OpenSlots(int rows) {
  for (int n = 0; n < rows; ++n) {
    AdapterSlot& slot = slots_[static_cast<size_t>(n)];
    std::unique_ptr<Endpoint> device, out, in;
    AdapterId adapterId;
    {
      std::lock_guard<std::mutex> lock(transportMutex_);
      if (SlotPresence(transport_, n, &adapterId) != kPresent) continue;
      device = transport_.OpenInterface(n);
      if (device) {
        out = transport_.OpenPipe("PIPE01");
        in = transport_.OpenPipe("PIPE00");
      }
    }
    adapterIds_[static_cast<size_t>(n)] = adapterId;
    const bool opened = device != nullptr;
    slot.SetDevice(std::move(device));
    if (!opened) continue;  // unusable for this operation; no text for this case
    const int failed = (out ? 0 : 1) + (in ? 0 : 1);
    slot.SetOutPipe(std::move(out));
    slot.SetInPipe(std::move(in));
    if (failed > 0) {
      {
        std::lock_guard<std::mutex> lock(viewMutex_);
        view_.countLabel = "USB打开失败\r\n";
        view_.countLabelMeaning = CountLabelMeaning::kUsbOpenFailed;
      }
      events_.ViewChanged();
    }
  }
}

bool ProductionEngine::Start(Operation op) {
  if (Busy() || loading_ || closing_) return false;
  JoinThreads();
  const int rows = SlotRows();
  readbackFolder_ = ReadbackFolder();  // fixed for this operation's workers
  {
    std::lock_guard<std::mutex> lock(viewMutex_);
    const bool enabled = op == Operation::kBurn   ? view_.burnEnabled
                         : op == Operation::kRead ? view_.readEnabled
                                                  : view_.eraseEnabled;
    if (!enabled) return false;
    view_.burnEnabled = view_.readEnabled = view_.eraseEnabled = false;
    view_.busy = true;
    for (int n = 0; n < rows; ++n) view_.icon[static_cast<size_t>(n)] = SlotIcon::kHidden;
    // Rows kept for pulled-out adapters end with the next operation.
    for (size_t n = 0; n < kSlotCount; ++n) {
      if (!view_.rowGone[n]) continue;
      view_.rowGone[n] = false;
      view_.rowVisible[n] = static_cast<int>(n) < rows;
      view_.icon[n] = SlotIcon::kHidden;
      view_.lastResult[n] = -1;
      view_.slotHasAddress[n] = false;
      view_.rowAdapter[n] = AdapterId();
    }
  }
  {
    // Counted before any worker starts: a worker that finishes at once must not take
    // itself for the last one while the others have not yet started.
    std::lock_guard<std::mutex> lock(*state_.mutex);
    state_.runningWorkers = rows;
  }
  for (int n = 0; n < rows; ++n) adapterIds_[static_cast<size_t>(n)] = AdapterId();
  events_.ViewChanged();
  if (rows == 0) {
    FinalStep(op, false);
    return true;
  }
  try {
    operation_ = std::thread(&ProductionEngine::RunOperation, this, op, rows);
  } catch (const std::system_error&) {
    RunOperation(op, rows);  // no thread to spare: this once, the caller waits
  }
  return true;
}

void ProductionEngine::RunOperation(Operation op, int rows) {
  OpenSlots(rows);
  {
    std::lock_guard<std::mutex> lock(viewMutex_);
    for (int n = 0; n < rows; ++n) view_.rowAdapter[static_cast<size_t>(n)] = adapterIds_[static_cast<size_t>(n)];
  }
  if (op == Operation::kBurn) {
    // A kept address is retried only on the adapter it was kept for: one that is gone
    // will not take it, so it is given up now rather than held for ever.
    std::vector<AdapterId> present;
    for (int n = 0; n < rows; ++n)
      if (!adapterIds_[static_cast<size_t>(n)].empty()) present.push_back(adapterIds_[static_cast<size_t>(n)]);
    std::lock_guard<std::mutex> lock(*state_.mutex);
    GiveUpKept(&present);
  }
  std::vector<std::thread> workers;
  for (int n = 0; n < rows; ++n) {
    try {
      workers.emplace_back(&ProductionEngine::Worker, this, op, n);
    } catch (const std::system_error&) {
      Worker(op, n);  // no thread for this slot: it runs here, after the others started
    }
  }
  for (std::thread& t : workers) t.join();
}

void ProductionEngine::Worker(Operation op, int n) {
  const size_t i = static_cast<size_t>(n);
  if (ticked_[i]) {
    const int64_t started = clock_.NowMs();
    DownloadProtocol protocol(n, slots_[i], state_, clock_, events_, options_.limits, readbackFolder_);
    protocol.SetAddressSource([this, n](BtAddress* address) { return TakeAddress(n, address); });
    const SlotResult r = op == Operation::kBurn   ? protocol.BurnSequence()
                         : op == Operation::kRead ? protocol.ReadSequence()
                                                  : protocol.EraseSequence();
    SlotReport report;
    report.slot = n;
    report.op = op;
    report.result = r;
    report.adapterId = adapterIds_[i];
    report.hasAddress = protocol.AddressUsed(&report.address);
    report.addressKept = op == Operation::kBurn && report.hasAddress && r != SlotResult::kDone &&
                         !protocol.ProgramDataSent() && !report.adapterId.empty();
    report.seconds = static_cast<double>(clock_.NowMs() - started) / 1000.0;
    const bool logged = LogRow(report, op);
    if (op == Operation::kBurn && report.hasAddress) SettleAddress(report, started);
    {
      std::lock_guard<std::mutex> lock(viewMutex_);
      view_.lastResult[i] = ToInt(r);
      if (op != Operation::kErase) view_.icon[i] = r == SlotResult::kDone ? SlotIcon::kSuccess : SlotIcon::kFailure;
      if (op == Operation::kBurn) {
        view_.slotHasAddress[i] = report.hasAddress;
        view_.slotAddress[i] = report.address;
        view_.slotAddressKept[i] = report.addressKept;
        if (r == SlotResult::kDone) {
          ++view_.yield.passed[i];
          ++view_.yield.totalPassed;
        } else {
          ++view_.yield.failed[i];
          ++view_.yield.totalFailed;
        }
      }
      if (!logged) view_.logFailed = true;
      view_.logStopped = logStopped_;
    }
    events_.SlotFinished(report);
    events_.ViewChanged();
  }
  bool last = false;
  bool pendingClose = false;
  {
    std::lock_guard<std::mutex> lock(*state_.mutex);
    last = --state_.runningWorkers == 0;
    pendingClose = last && closing_;
  }
  if (last) FinalStep(op, pendingClose);
}

void ProductionEngine::FinalStep(Operation op, bool pendingClose) {
  BtAddress next;
  uint32_t count = 0;
  {
    std::lock_guard<std::mutex> lock(*state_.mutex);
    next = state_.currentAddress;
    count = state_.successCount;
  }
  {
    std::lock_guard<std::mutex> lock(viewMutex_);
    if (op == Operation::kBurn) {
      ShowSequence("");
      // The boxes keep what they show until the next redisplay of the whole dialog.
      SetAddressLabel(next);
      SetCountLabel(count);
    }
    view_.busy = false;
    UpdateButtons();
  }
  events_.ViewChanged();
  events_.OperationFinished(op);
  if (pendingClose) events_.Closed(WriteBack());
}

bool ProductionEngine::WriteBack() {
  std::lock_guard<std::mutex> lock(*state_.mutex);
  GiveUpKept(nullptr);
  // The image's own sequence is let go of; a given one stays with whoever gave it.
  if (sequence_ && !sequenceGiven_) sequence_->Release();
  return true;
}

void ProductionEngine::UseSequence(std::shared_ptr<AddressSequence> sequence) {
  if (Busy() || loading_) return;
  std::lock_guard<std::mutex> viewLock(viewMutex_);
  {
    std::lock_guard<std::mutex> lock(*state_.mutex);
    GiveUpKept(nullptr);
    if (sequence_ && !sequenceGiven_) sequence_->Release();
    sequence_ = std::move(sequence);
    sequenceGiven_ = sequence_ != nullptr;
  }
  view_.sequenceMessage.clear();
  ShowSequence("");
  if (view_.hasSequence && state_.hasRecord) SetAddressLabel(state_.currentAddress);
  UpdateButtons();
  events_.ViewChanged();
}

void ProductionEngine::ShowSequence(const std::string& message) {
  bool has = false;
  std::string text;
  uint64_t remaining = 0;
  {
    std::lock_guard<std::mutex> lock(*state_.mutex);
    has = sequence_ != nullptr;
    if (has) {
      text = sequence_->Describe();
      remaining = sequence_->Remaining();
      if (const std::optional<BtAddress> next = sequence_->PeekNext()) state_.currentAddress = *next;
    }
  }
  view_.hasSequence = has;
  view_.sequenceText = text;
  view_.remaining = remaining;
  view_.fewLeft = has && remaining < options_.warnBelow;
  if (!message.empty()) view_.sequenceMessage = message;
}

bool ProductionEngine::LogRow(const SlotReport& report, Operation op) {
  if (!log_.IsOpen()) return true;
  ProductionLogRow row;
  row.wallTimeMs = clock_.WallTimeMs();
  row.station = station_;
  row.report = report;
  row.imagePath = op == Operation::kBurn ? state_.imagePath : std::string();
  row.hasChecksum = op == Operation::kBurn && state_.imageLength != 0;
  row.checksum = state_.imageChecksum;
  if (log_.Append(row)) return true;
  logStopped_ = true;  // no new board until the log takes rows again
  return false;
}

SlotResult ProductionEngine::TakeAddress(int n, BtAddress* address) {
  const AdapterId adapter = adapterIds_[static_cast<size_t>(n)];
  SlotResult result = SlotResult::kDone;
  std::string message;
  if (!logStopped_ && log_.IsOpen()) {
    // A board is started only when its row can be written: a full disk is seen now, not
    // after the board holds an address nobody recorded.
    std::error_code ec;
    const std::filesystem::path logPath = qrplatform::PathFromUtf8(log_.Path());
    const auto space = std::filesystem::space(logPath.has_parent_path() ? logPath.parent_path() : ".", ec);
    if (!ec && space.available < options_.logReserveBytes) {
      logStopped_ = true;
      message = "the disk of the production log " + log_.Path() + " is full";
    }
  }
  if (logStopped_) {
    result = SlotResult::kLogUnwritable;
  } else {
    std::lock_guard<std::mutex> lock(*state_.mutex);
    const auto kept = adapter.empty() ? kept_.end() : kept_.find(adapter);
    if (kept != kept_.end()) {
      *address = kept->second.address;
      kept_.erase(kept);
    } else if (!sequence_) {
      result = SlotResult::kNoAddress;
      message = "no address sequence to take the boards' addresses from";
    } else if (sequence_->HandOut(adapter, address, &message) != SequenceStatus::kOk) {
      result = SlotResult::kNoAddress;
    }
  }
  {
    std::lock_guard<std::mutex> lock(viewMutex_);
    ShowSequence(message);
    view_.logStopped = logStopped_;
  }
  events_.ViewChanged();
  return result;
}

BoardRecord ProductionEngine::RecordOf(const SlotReport& report) const {
  BoardRecord record;
  record.station = station_;
  record.slot = report.slot;
  record.adapter = report.adapterId;
  record.imageChecksum = state_.imageChecksum;
  record.address = report.address;
  record.result = std::to_string(ToInt(report.result));
  record.toolVersion = options_.toolVersion;
  return record;
}

void ProductionEngine::SettleAddress(const SlotReport& report, int64_t startedMs) {
  BoardRecord record = RecordOf(report);
  record.finishedUnixMs = clock_.WallTimeMs();
  record.startedUnixMs = record.finishedUnixMs - (clock_.NowMs() - startedMs);
  std::string message;
  {
    std::lock_guard<std::mutex> lock(*state_.mutex);
    if (!sequence_) return;
    if (report.result == SlotResult::kDone) {
      sequence_->Confirm(record, &message);
    } else if (report.addressKept) {
      // Nothing of the image reached this board: the address is on no board and is
      // tried again on this adapter (another adapter never gets it).
      kept_[report.adapterId] = Kept{report.address, report.slot};
    } else {
      // The board may hold the address: it is never handed to another one.
      sequence_->GiveUp(record, AddressSequence::Loss::kFailed, &message);
    }
  }
  if (!message.empty()) {
    std::lock_guard<std::mutex> lock(viewMutex_);
    view_.sequenceMessage = message;
  }
}

void ProductionEngine::GiveUpKept(const std::vector<AdapterId>* present) {
  for (auto it = kept_.begin(); it != kept_.end();) {
    if (present != nullptr && std::find(present->begin(), present->end(), it->first) != present->end()) {
      ++it;
      continue;
    }
    SlotReport report;
    report.slot = it->second.slot;
    report.op = Operation::kBurn;
    report.result = SlotResult::kAddressWasted;
    report.adapterId = it->first;
    report.hasAddress = true;
    report.address = it->second.address;
    if (sequence_) {
      BoardRecord record = RecordOf(report);
      record.startedUnixMs = record.finishedUnixMs = clock_.WallTimeMs();
      std::string message;
      sequence_->GiveUp(record, AddressSequence::Loss::kWasted, &message);
    }
    LogRow(report, Operation::kBurn);
    it = kept_.erase(it);
  }
}

void ProductionEngine::ResetAdapters() {
  for (int n = 0; n < SlotRows(); ++n) slots_[static_cast<size_t>(n)].CloseDevice();
}

CloseOutcome ProductionEngine::Close() {
  {
    // Under the view lock a pending load either has applied its image or will see
    // closing_ and leave the state alone; under the state lock the last worker either
    // has finished (the address is final) or will see closing_ and store it itself.
    std::lock_guard<std::mutex> viewLock(viewMutex_);
    std::lock_guard<std::mutex> stateLock(*state_.mutex);
    closing_ = true;
    if (state_.runningWorkers > 0) return CloseOutcome::kPending;
  }
  return WriteBack() ? CloseOutcome::kDone : CloseOutcome::kWriteFailed;
}

DialogView ProductionEngine::View() const {
  std::lock_guard<std::mutex> lock(viewMutex_);
  return view_;
}

}  // namespace kestrel
