#include "core/ProductionEngine.h"

#include <algorithm>
#include <cstdio>
#include <system_error>

#include "core/DownloadProtocol.h"

namespace kestrel {

namespace {

std::string CountText(uint32_t count) { return "烧录数量：" + std::to_string(count); }

}  // namespace

ProductionEngine::ProductionEngine(Transport& transport, Clock& clock, EngineEvents& events,
                                   EngineOptions options)
    : transport_(transport), clock_(clock), events_(events), options_(std::move(options)) {}

ProductionEngine::~ProductionEngine() { JoinWorkers(); }

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

void ProductionEngine::JoinWorkers() {
  for (std::thread& t : workers_)
    if (t.joinable()) t.join();
  workers_.clear();
}

void ProductionEngine::WaitIdle() { JoinWorkers(); }

void ProductionEngine::UpdateButtons() {
  view_.burnEnabled = state_.imageLength != 0 && deviceCount_ != 0;
  view_.readEnabled = deviceCount_ != 0;
  view_.eraseEnabled = deviceCount_ != 0;
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
  view_.currentAddressLabel = "当前地址:\t" + a.DisplayText();
}

void ProductionEngine::RefreshSlots() {
  const int answer = CountInterfacesAnswer(transport_);
  deviceCount_ = answer == 255 ? 0 : answer;
  const bool busy = Busy();
  {
    std::lock_guard<std::mutex> lock(viewMutex_);
    if (!busy) {
      UpdateButtons();
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
    }
  }
  events_.ViewChanged();
}

ImageError ProductionEngine::LoadImage(const std::string& path) {
  if (Busy()) return ImageError::kNone;
  JoinWorkers();
  ImageInfo info;
  const ImageError e = ImageFile::Inspect(path, &info);
  {
    std::lock_guard<std::mutex> lock(viewMutex_);
    if (e != ImageError::kNone) {
      // The image in use stays in use: its path, length and address are untouched.
      view_.currentAddressLabel = e == ImageError::kTooLarge ? "烧录bin文件过大(须小于16MB)\r\n"
                                                              : "烧录bin文件打开失败\r\n";
    } else {
      state_.imagePath = path;
      view_.imagePath = path;
      state_.imageLength = info.length;
      if (info.length != 0) {
        char text[32];
        std::snprintf(text, sizeof text, "CRC_SUM:0x%x", static_cast<unsigned>(info.checksum));
        view_.checksumLabel = text;
      }
      UpdateButtons();
      state_.successCount = 0;
      view_.countLabel = CountText(0);
      state_.hasRecord = info.hasRecord;
      state_.recordOffset = info.recordOffset;
      state_.deviceName = info.deviceName;
      state_.currentAddress = info.address;  // zero without a record
      view_.deviceName = info.deviceName;
      RefreshAddressDisplay(true);
    }
  }
  events_.ViewChanged();
  return e;
}

void ProductionEngine::SetAddressBox(int i, const std::string& text) {
  if (i < 0 || i >= 6) return;
  std::lock_guard<std::mutex> lock(viewMutex_);
  view_.addressBoxes[static_cast<size_t>(i)] = text;
}

bool ProductionEngine::SetAddress() {
  if (Busy()) return false;
  JoinWorkers();
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
      view_.currentAddressLabel = "当前地址:\t" + parsed.DisplayText();
    } else {
      view_.currentAddressLabel = "地址格式错误!\r\n";
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

void ProductionEngine::OpenSlots() {
  for (int n = 0; n < SlotRows(); ++n) {
    std::string instanceId;
    if (SlotPresence(transport_, n, &instanceId) != kPresent) continue;
    AdapterSlot& slot = slots_[static_cast<size_t>(n)];
    std::unique_ptr<Endpoint> device = transport_.OpenInterface(n);
    const bool opened = device != nullptr;
    slot.SetDevice(std::move(device));
    if (!opened) continue;  // unusable for this operation; no text for this case
    std::unique_ptr<Endpoint> out = transport_.OpenPipe("PIPE01");
    std::unique_ptr<Endpoint> in = transport_.OpenPipe("PIPE00");
    const int failed = (out ? 0 : 1) + (in ? 0 : 1);
    slot.SetOutPipe(std::move(out));
    slot.SetInPipe(std::move(in));
    if (failed > 0) {
      {
        std::lock_guard<std::mutex> lock(viewMutex_);
        view_.countLabel = "USB打开失败\r\n";
      }
      events_.ViewChanged();
    }
  }
}

bool ProductionEngine::Start(Operation op) {
  if (Busy()) return false;
  JoinWorkers();
  {
    std::lock_guard<std::mutex> lock(viewMutex_);
    const bool enabled = op == Operation::kBurn   ? view_.burnEnabled
                         : op == Operation::kRead ? view_.readEnabled
                                                  : view_.eraseEnabled;
    if (!enabled) return false;
    view_.burnEnabled = view_.readEnabled = view_.eraseEnabled = false;
  }
  events_.ViewChanged();
  OpenSlots();
  state_.mutex = std::make_unique<std::mutex>();
  const int rows = SlotRows();
  // Counted before any worker starts: a worker that finishes at once must not take
  // itself for the last one while the others have not yet started.
  state_.runningWorkers = rows;
  {
    std::lock_guard<std::mutex> lock(viewMutex_);
    for (int n = 0; n < rows; ++n) view_.icon[static_cast<size_t>(n)] = SlotIcon::kHidden;
  }
  if (rows == 0) {
    FinalStep(op);
    return true;
  }
  for (int n = 0; n < rows; ++n) {
    try {
      workers_.emplace_back(&ProductionEngine::Worker, this, op, n);
    } catch (const std::system_error&) {
      // No thread for this slot and the ones after it: count them as finished, so the
      // operation still ends with its final step.
      bool last = false;
      {
        std::lock_guard<std::mutex> lock(*state_.mutex);
        state_.runningWorkers -= rows - n;
        last = state_.runningWorkers == 0;
      }
      if (last) FinalStep(op);
      break;
    }
  }
  return true;
}

void ProductionEngine::Worker(Operation op, int n) {
  const size_t i = static_cast<size_t>(n);
  if (ticked_[i]) {
    DownloadProtocol protocol(n, slots_[i], state_, clock_, events_, options_.limits, options_.readbackDir);
    const SlotResult r = op == Operation::kBurn   ? protocol.BurnSequence()
                         : op == Operation::kRead ? protocol.ReadSequence()
                                                  : protocol.EraseSequence();
    {
      std::lock_guard<std::mutex> lock(viewMutex_);
      view_.lastResult[i] = ToInt(r);
      if (op != Operation::kErase) view_.icon[i] = r == SlotResult::kDone ? SlotIcon::kSuccess : SlotIcon::kFailure;
    }
    events_.SlotFinished(n, op, r);
    events_.ViewChanged();
  }
  bool last = false;
  {
    std::lock_guard<std::mutex> lock(*state_.mutex);
    last = --state_.runningWorkers == 0;
  }
  if (last) FinalStep(op);
}

void ProductionEngine::FinalStep(Operation op) {
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
      RefreshAddressDisplay(false);
      view_.currentAddressLabel = "当前地址:\t" + next.DisplayText();
      view_.countLabel = CountText(count);
    }
    UpdateButtons();
  }
  events_.ViewChanged();
  events_.OperationFinished(op);
}

void ProductionEngine::ResetAdapters() {
  for (int n = 0; n < SlotRows(); ++n) slots_[static_cast<size_t>(n)].CloseDevice();
}

bool ProductionEngine::Close() {
  JoinWorkers();
  if (!state_.hasRecord) return true;
  return ImageFile::WriteAddress(state_.imagePath, state_.recordOffset + ImageFile::kAddressField,
                                 state_.currentAddress);
}

DialogView ProductionEngine::View() const {
  std::lock_guard<std::mutex> lock(viewMutex_);
  return view_;
}

}  // namespace kestrel
