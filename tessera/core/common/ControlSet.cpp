#include "tessera/core/common/ControlDecl.h"

namespace tessera {

namespace {
bool IsEdit(ControlKind k) {
  return k == ControlKind::Integer || k == ControlKind::Number || k == ControlKind::Text;
}
}  // namespace

size_t ControlSet::IndexOf(int id) const {
  const auto& infos = impl_->infos;
  for (size_t i = 0; i < infos.size(); ++i)
    if (infos[i].id == id) return i;
  return infos.size();
}

const ControlInfo* ControlSet::Find(int id) const {
  const size_t i = IndexOf(id);
  return i < impl_->infos.size() ? &impl_->infos[i] : nullptr;
}

ControlState ControlSet::State(int id) const {
  const size_t i = IndexOf(id);
  return i < impl_->infos.size() ? impl_->State(i) : ControlState{};
}

std::vector<ControlState> ControlSet::States() const {
  std::vector<ControlState> out;
  out.reserve(impl_->infos.size());
  for (size_t i = 0; i < impl_->infos.size(); ++i) out.push_back(impl_->State(i));
  return out;
}

std::optional<FieldError> ControlSet::ReadBack(const ControlReader& reader) {
  const auto& infos = impl_->infos;
  for (size_t i = 0; i < infos.size(); ++i) {
    const ControlInfo& info = infos[i];
    if (info.kind == ControlKind::List || info.readOnly) continue;
    const std::optional<ControlInput> in = reader(info);
    if (!in) continue;
    if (IsEdit(info.kind)) {
      FieldValue v;
      if (auto err = ReadField(info.field, in->text, v)) return FieldError{info.id, *err};
      impl_->Store(i, v);
    } else {
      impl_->SetValue(i, in->value);
    }
  }
  return std::nullopt;
}

std::optional<FieldError> ControlSet::ReadBackTexts(const ControlTextFn& controlText) {
  return ReadBack([&](const ControlInfo& info) -> std::optional<ControlInput> {
    if (!IsEdit(info.kind)) return std::nullopt;
    return ControlInput{controlText(info.id), 0};
  });
}

void ControlSet::TakeValidEdits(const ControlReader& reader) {
  const auto& infos = impl_->infos;
  for (size_t i = 0; i < infos.size(); ++i) {
    const ControlInfo& info = infos[i];
    if (!IsEdit(info.kind) || info.readOnly) continue;
    const std::optional<ControlInput> in = reader(info);
    if (!in || in->text == impl_->State(i).text) continue;
    FieldValue v;
    if (!ReadField(info.field, in->text, v)) impl_->Store(i, v);
  }
}

bool ControlSet::Change(int id, int value) {
  const size_t i = IndexOf(id);
  if (i >= impl_->infos.size()) return false;
  const ControlInfo& info = impl_->infos[i];
  if (IsEdit(info.kind) || info.kind == ControlKind::List || !impl_->HasValue(i)) return false;
  const ControlState s = impl_->State(i);
  if (!s.enabled) return false;
  switch (info.kind) {
    case ControlKind::CheckBox:
      if (value != 0 && value != 1) return false;
      break;
    case ControlKind::RadioGroup:
      if (value < 0 || value >= static_cast<int>(info.buttons.size())) return false;
      break;
    case ControlKind::Selector:
      if (value < 0 || value >= static_cast<int>(s.entries.size())) return false;
      break;
    default:
      break;
  }
  impl_->SetValue(i, value);
  impl_->Changed(i);
  return true;
}

bool ControlSet::RunHandler(int id) {
  const size_t i = IndexOf(id);
  return i < impl_->infos.size() && impl_->Changed(i);
}

}  // namespace tessera
