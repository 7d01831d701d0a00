#include "tessera/core/pages/CKeyEventDlg.h"

#include <utility>

#include "tessera/core/config/EventNames.h"

namespace tessera {

namespace {
using D = CKeyEventDlg;

template <int N>
ControlDecl<D> GpioBox() {
  return {.info = {.id = D::GpioCheckId(N), .kind = ControlKind::CheckBox},
          .value = [](const D& d) { return d.GpioChecked(N) ? 1 : 0; },
          .setValue = [](D& d, int v) { d.SetGpioChecked(N, v != 0); },
          // Only pins free when the dialog opened can be ticked.
          .enabled = [](const D& d) { return d.GpioEnabled(N); }};
}

template <int... N>
void AddGpioBoxes(ControlTable<D>& table, std::integer_sequence<int, N...>) {
  (table.push_back(GpioBox<N>()), ...);
}

ControlTable<D> MakeTable() {
  using namespace decl;
  ControlTable<D> t = {
      Combo<D, &D::event>(D::kEventId).Then([](D& d) { d.OnEventChanged(d.event.selected); }),
      Combo<D, &D::type>(D::kTypeId),
      Combo<D, &D::state>(D::kStateId),
  };
  AddGpioBoxes(t, std::make_integer_sequence<int, D::kGpioCount>());
  return t;
}
}  // namespace

CKeyEventDlg::CKeyEventDlg(const KeyEventEntry& entry, uint32_t availableGpioMask_)
    : event(names::NameList(names::kKeyEventDialog)),
      type(names::NameList(names::kKeyTypeDialog)),
      state(names::NameList(names::kKeyStateDialog)),
      availableGpioMask(availableGpioMask_) {
  event.Select(entry.event);
  type.Select(entry.type);
  state.Select(entry.state);
  for (int n = 0; n < kGpioCount; ++n)
    gpioChecked_[static_cast<size_t>(n)] = ((entry.gpioMask & availableGpioMask & (1u << n)) != 0) ? 1 : 0;
}

int CKeyEventDlg::GpioCheckId(int n) {
  if (n >= 0 && n <= 14) return 1135 + n;
  if (n >= 15 && n <= 21) return 1157 + (n - 15);
  return 0;
}

bool CKeyEventDlg::GpioEnabled(int n) const {
  return n >= 0 && n < kGpioCount && (availableGpioMask & (1u << n)) != 0;
}

bool CKeyEventDlg::GpioChecked(int n) const {
  return n >= 0 && n < kGpioCount && gpioChecked_[static_cast<size_t>(n)] != 0;
}

bool CKeyEventDlg::SetGpioChecked(int n, bool checked) {
  if (!GpioEnabled(n)) return false;
  gpioChecked_[static_cast<size_t>(n)] = checked ? 1 : 0;
  return true;
}

void CKeyEventDlg::OnEventChanged(int index) {
  // The boxes' enabled state follows the pool copy, which does not change while the
  // dialog is open; only the selection moves.
  event.Select(index);
}

KeyEventEntry CKeyEventDlg::Ok() const {
  KeyEventEntry e;
  for (int n = 0; n < kGpioCount; ++n)
    if (gpioChecked_[static_cast<size_t>(n)]) e.gpioMask |= 1u << n;
  e.event = event.selected;
  e.type = type.selected;
  e.state = state.selected;
  return e;
}

const ControlTable<CKeyEventDlg>& CKeyEventDlg::ControlDecls() {
  static const ControlTable<CKeyEventDlg> kTable = MakeTable();
  return kTable;
}

}  // namespace tessera
