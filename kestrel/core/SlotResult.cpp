#include "core/SlotResult.h"

namespace kestrel {

const std::array<SlotResultEntry, 11>& SlotResultTable() {
  static const std::array<SlotResultEntry, 11> table = {{
      {SlotResult::kDone, "done", "成功"},
      {SlotResult::kImageOpenFailed, "the image file cannot be opened or its next address cannot be saved",
       "bin文件无法打开或下一个地址无法保存"},
      {SlotResult::kOutOfMemory, "out of memory", "内存不足"},
      {SlotResult::kAdapterUnusable, "adapter unusable or not answering (check its cable)",
       "下载器不可用或无响应(请检查连线)"},
      {SlotResult::kVerifyFailed, "verification found a byte that differs", "校验失败:读回数据不一致"},
      {SlotResult::kReadbackFileFailed, "the read-back file cannot be created (check the read-back folder)",
       "读回文件无法创建"},
      {SlotResult::kNotConfirmed, "the adapter did not confirm the connection (check the board)",
       "下载器未确认连接(请检查板子)"},
      {SlotResult::kNoAddress, "no address was handed out (see the address sequence's message); the board was not erased",
       "未分配到地址,板子未擦除"},
      {SlotResult::kLogUnwritable, "the production log cannot be written: the station stops until it can",
       "生产记录无法写入,已停止烧录"},
      {SlotResult::kAddressWasted, "an address kept for a retry was given up unused", "保留地址已作废"},
      {SlotResult::kEraseUnconfirmed, "the adapter did not confirm the erase", "擦除未确认"},
  }};
  return table;
}

namespace {

const SlotResultEntry* Find(SlotResult result) {
  for (const SlotResultEntry& e : SlotResultTable())
    if (e.value == result) return &e;
  return nullptr;
}

}  // namespace

const char* SlotResultText(SlotResult result) {
  const SlotResultEntry* e = Find(result);
  return e != nullptr ? e->text : "unknown result";
}

const char* SlotResultTextZh(SlotResult result) {
  const SlotResultEntry* e = Find(result);
  return e != nullptr ? e->textZh : "未知结果";
}

}  // namespace kestrel
