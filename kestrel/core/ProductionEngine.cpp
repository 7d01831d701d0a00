#include "core/ProductionEngine.h"

#include <algorithm>
#include <cstdio>
#include <system_error>

#include "core/DownloadProtocol.h"

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

int ProductionEngine::SlotPresence(Transport& transport, int index, std::string* instanceId) {
  if (instanceId == nullptr) return kBadBuffer;
  *instanceId = transport.GetInterfaceInfo(index).instanceId;
  return instanceId->empty() ? kNotPresent : kPresent;
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
  view_.burnEnabled = state_.imageLength != 0 && deviceCount_ != 0;
  view_.readEnabled = deviceCount_ != 0;
  view_.eraseEnabled = deviceCount_ != 0;
}

void ProductionEngine::SetAddressLabel(const BtAddress& address) {
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
  {
    std::lock_guard<std::mutex> lock(viewMutex_);
    if (!busy && !loading_) UpdateButtons();
    for (int n = 0; n < kSlotCount; ++n) {
      const size_t i = static_cast<size_t>(n);
      const bool visible = n < deviceCount_;
      view_.rowVisible[i] = visible;
      if (visible) {
        view_.ticked[i] = true;
        ticked_[i] = true;
      }
      view_.icon[i] = SlotIcon::kHidden;
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
    } else {
      state_.imagePath = path;
      view_.imagePath = path;
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
      RefreshAddressDisplay(true);
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

bool ProductionEngine::SetAddress() {
  if (Busy() || loading_) return false;
  bool ok = true;
  {
    std::lock_guard<std::mutex> lock(viewMutex_);
    // Parsed into a copy: a mistyped box must not leave a half-changed address behind
    // that a later burn (enabled again by a plug-in) would hand out.
    BtAddress parsed = state_.currentAddress;
    for (size_t i = 0; i < 6; ++i)
      ok = BtAddress::ParseBox(view_.addressBoxes[i], &parsed.bytes[i]) && ok;
    if (ok) {
      state_.currentAddress = parsed;
      if (state_.imageLength != 0 && deviceCount_ != 0) view_.burnEnabled = true;
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

bool ProductionEngine::SetLogFile(const std::string& path) {
  bool ok = true;
  if (path.empty()) {
    log_.CloseFile();
  } else {
    ok = log_.Open(path);
  }
  {
    std::lock_guard<std::mutex> lock(viewMutex_);
    view_.logPath = ok ? path : std::string();
    view_.logFailed = !ok;
  }
  events_.ViewChanged();
  return ok;
}

void ProductionEngine::OpenSlots(int rows) {
  for (int n = 0; n < rows; ++n) {
    AdapterSlot& slot = slots_[static_cast<size_t>(n)];
    std::unique_ptr<Endpoint> device, out, in;
    std::string instanceId;
    {
      std::lock_guard<std::mutex> lock(transportMutex_);
      if (SlotPresence(transport_, n, &instanceId) != kPresent) continue;
      device = transport_.OpenInterface(n);
      if (device) {
        out = transport_.OpenPipe("PIPE01");
        in = transport_.OpenPipe("PIPE00");
      }
    }
    adapterIds_[static_cast<size_t>(n)] = instanceId;
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
  {
    std::lock_guard<std::mutex> lock(viewMutex_);
    const bool enabled = op == Operation::kBurn   ? view_.burnEnabled
                         : op == Operation::kRead ? view_.readEnabled
                                                  : view_.eraseEnabled;
    if (!enabled) return false;
    view_.burnEnabled = view_.readEnabled = view_.eraseEnabled = false;
    view_.busy = true;
    for (int n = 0; n < rows; ++n) view_.icon[static_cast<size_t>(n)] = SlotIcon::kHidden;
  }
  {
    // Counted before any worker starts: a worker that finishes at once must not take
    // itself for the last one while the others have not yet started.
    std::lock_guard<std::mutex> lock(*state_.mutex);
    state_.runningWorkers = rows;
  }
  for (int n = 0; n < rows; ++n) adapterIds_[static_cast<size_t>(n)].clear();
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
    DownloadProtocol protocol(n, slots_[i], state_, clock_, events_, options_.limits, options_.readbackDir);
    const SlotResult r = op == Operation::kBurn   ? protocol.BurnSequence()
                         : op == Operation::kRead ? protocol.ReadSequence()
                                                  : protocol.EraseSequence();
    SlotReport report;
    report.slot = n;
    report.op = op;
    report.result = r;
    report.adapterId = adapterIds_[i];
    report.hasAddress = protocol.AddressUsed(&report.address);
    report.seconds = static_cast<double>(clock_.NowMs() - started) / 1000.0;
    bool logged = true;
    if (log_.IsOpen()) {
      ProductionLogRow row;
      row.wallTimeMs = clock_.WallTimeMs();
      row.station = station_;
      row.report = report;
      row.imagePath = op == Operation::kBurn ? state_.imagePath : std::string();
      row.hasChecksum = op == Operation::kBurn && state_.imageLength != 0;
      row.checksum = state_.imageChecksum;
      logged = log_.Append(row);
    }
    {
      std::lock_guard<std::mutex> lock(viewMutex_);
      view_.lastResult[i] = ToInt(r);
      if (op != Operation::kErase) view_.icon[i] = r == SlotResult::kDone ? SlotIcon::kSuccess : SlotIcon::kFailure;
      if (op == Operation::kBurn) {
        view_.slotHasAddress[i] = report.hasAddress;
        view_.slotAddress[i] = report.address;
        if (r == SlotResult::kDone) {
          ++view_.yield.passed[i];
          ++view_.yield.totalPassed;
        } else {
          ++view_.yield.failed[i];
          ++view_.yield.totalFailed;
        }
      }
      if (!logged) view_.logFailed = true;
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
  if (!state_.hasRecord) return true;
  return ImageFile::WriteAddress(state_.imagePath, state_.recordOffset + ImageFile::kAddressField,
                                 state_.currentAddress);
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
