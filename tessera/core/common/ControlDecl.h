#pragma once
// Controls declared as data. Every page and entry dialog lists its controls once, in
// control (tab) order: id, kind, parse rule with its limits (and so its exact
// validation message), how to read the value from the model and write it back, the
// enable rule and the handler the control's notification runs. One generic data
// exchange runs over such a list for every page and dialog, so no page repeats its
// fields in switches.
//
// How a view uses it: it asks the model for a ControlSet (CTesseraView::Controls for
// a page, Controls() on an entry dialog), creates or finds one widget per ControlInfo
// (object name "ctl" + id), fills it from State(id), calls ReadBack(reader) when the
// page is left or the dialog confirmed (on an error: show the message, focus
// error.controlId, stay), and hands each click or selection to Change(id, value).
// For the document's pages the view goes through CTesseraView so its observers hear
// of the change.
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

#include "tessera/core/common/Selector.h"
#include "tessera/core/common/Validation.h"

namespace tessera {

enum class ControlKind {
  Integer,     // edit box holding a whole number (FieldSpec kind Int, UInt, Byte, Short)
  Number,      // edit box holding a floating-point number (FieldSpec kind Float)
  Text,        // edit box holding text, optionally length-limited
  CheckBox,    // value 0/1
  RadioGroup,  // value: index of the checked button, -1 for none; buttons lists their ids
  Selector,    // drop-down list: entries and the selected index (-1 for none)
  List,        // multi-column list showing a table; read-only rows, a click opens a dialog
};

// The part of a declaration a view needs to build and bind its widget.
struct ControlInfo {
  int id = 0;
  ControlKind kind = ControlKind::Integer;
  FieldSpec field{};         // edit kinds: parse rule, limits, maximum length
  std::vector<int> buttons{};  // RadioGroup: button ids by index (buttons[0] == id)
  int rows = 0;              // List: number of rows
  bool readOnly = false;     // edit kinds shown but never read back (a path box)
  // The handler reads the whole page back before it runs (a bad field elsewhere on
  // the page then shows its message, and the click still takes effect).
  bool readBackFirst = false;
  // A file path: a view shows its end (the file name) and the whole path on hover.
  bool filePath = false;
};

// What the model holds for one control now, as a view shows it.
struct ControlState {
  std::string text;                            // edit kinds
  int value = 0;                               // CheckBox, RadioGroup, Selector
  std::vector<std::string> entries;            // Selector
  std::vector<std::vector<std::string>> rows;  // List
  bool enabled = true;
  bool operator==(const ControlState&) const = default;
};

// What the view reads from one control for the exchange: text of an edit, value of a
// check box, radio group or selector. Nothing: the control is left as the model has it.
struct ControlInput {
  std::string text;
  int value = 0;
};
using ControlReader = std::function<std::optional<ControlInput>(const ControlInfo&)>;

// One control of Page. Getters and setters take the page by reference, so one static
// table serves the document's page, any copy of it and a fresh dialog object.
template <class Page>
struct ControlDecl {
  ControlInfo info{};
  // Edit kinds: the text the model shows, and a parsed value stored back.
  std::string (*text)(const Page&) = nullptr;
  void (*store)(Page&, const FieldValue&) = nullptr;
  // CheckBox, RadioGroup, Selector: the value, and storing one (no handler run).
  int (*value)(const Page&) = nullptr;
  void (*setValue)(Page&, int) = nullptr;
  // Selector: its entries and selection.
  const Selector* (*selector)(const Page&) = nullptr;
  // List: the texts of one row.
  std::vector<std::string> (*rowTexts)(const Page&, int row) = nullptr;
  // Enable rule; null: always enabled.
  bool (*enabled)(const Page&) = nullptr;
  // The handler the control's notification runs after its value was stored; null: none.
  void (*changed)(Page&) = nullptr;

  // Table-building steps: decl::Check<P, &P::member>(id).When(rule).Then(handler).
  ControlDecl When(bool (*rule)(const Page&)) const {
    ControlDecl d = *this;
    d.enabled = rule;
    return d;
  }
  ControlDecl Then(void (*handler)(Page&)) const {
    ControlDecl d = *this;
    d.changed = handler;
    return d;
  }
  // The edit holds a file path (see ControlInfo::filePath).
  ControlDecl AsPath() const {
    ControlDecl d = *this;
    d.info.filePath = true;
    return d;
  }
  // The handler runs after the page was read back (see ControlInfo::readBackFirst).
  ControlDecl AfterReadBack() const {
    ControlDecl d = *this;
    d.info.readBackFirst = true;
    return d;
  }
};

template <class Page>
using ControlTable = std::vector<ControlDecl<Page>>;

// A declaration table bound to one page or dialog object: the generic exchange.
// Copyable; it refers to the object, which must outlive it.
class ControlSet {
 public:
  template <class Page>
  ControlSet(Page& page, const ControlTable<Page>& table) : impl_(std::make_shared<Typed<Page>>(page, table)) {}

  // The controls in control order.
  const std::vector<ControlInfo>& Controls() const { return impl_->infos; }
  const ControlInfo* Find(int id) const;
  // The model's current value, entries, rows and enable state of control id (an
  // empty state for an unknown id).
  ControlState State(int id) const;
  // The states of all controls, in control order.
  std::vector<ControlState> States() const;

  // Reads the view's controls back in control order: edits are parsed and checked by
  // their FieldSpec, check boxes, radio groups and selectors stored as given. The
  // first failure stops the read and is returned (message and control id, which gets
  // the focus); controls read before it keep their new values. Read-only edits and
  // lists are skipped, as is any control the reader gives nothing for.
  std::optional<FieldError> ReadBack(const ControlReader& reader);
  // The text-only form: edit kinds only, the reader giving each one's text.
  std::optional<FieldError> ReadBackTexts(const ControlTextFn& controlText);
  // Edits only: each one whose text differs from the model's and passes its check is
  // stored; the others stay as the view holds them, without a message. A view runs it
  // before anything records the model, so typed values are part of that record.
  void TakeValidEdits(const ControlReader& reader);

  // The user clicked a check box or radio button or picked a selector entry: the value
  // is stored and the control's handler runs. False (nothing changed) for an unknown
  // id, an edit or list, a disabled control, or a selector index outside its list.
  bool Change(int id, int value);
  // An edit's text changed where the page reacts at once (the Bluetooth address): its
  // handler runs. False when the control has no handler.
  bool RunHandler(int id);

 private:
  struct Impl {
    virtual ~Impl() = default;
    virtual ControlState State(size_t i) const = 0;
    virtual void Store(size_t i, const FieldValue& v) = 0;
    virtual void SetValue(size_t i, int v) = 0;
    virtual bool HasValue(size_t i) const = 0;
    virtual bool Changed(size_t i) = 0;  // runs the handler; false without one
    std::vector<ControlInfo> infos;
  };
  template <class Page>
  struct Typed final : Impl {
    Typed(Page& p, const ControlTable<Page>& t) : page(p), table(t) {
      for (const auto& d : t) infos.push_back(d.info);
    }
    ControlState State(size_t i) const override {
      const ControlDecl<Page>& d = table[i];
      ControlState s;
      if (d.text) s.text = d.text(page);
      if (d.value) s.value = d.value(page);
      if (d.selector) {
        if (const Selector* sel = d.selector(page)) {
          s.entries = sel->entries;
          if (!d.value) s.value = sel->selected;
        }
      }
      if (d.rowTexts)
        for (int r = 0; r < d.info.rows; ++r) s.rows.push_back(d.rowTexts(page, r));
      s.enabled = d.enabled ? d.enabled(page) : true;
      return s;
    }
    void Store(size_t i, const FieldValue& v) override {
      if (table[i].store) table[i].store(page, v);
    }
    void SetValue(size_t i, int v) override {
      if (table[i].setValue) table[i].setValue(page, v);
    }
    bool HasValue(size_t i) const override { return table[i].setValue != nullptr; }
    bool Changed(size_t i) override {
      if (!table[i].changed) return false;
      table[i].changed(page);
      return true;
    }
    Page& page;
    const ControlTable<Page>& table;
  };
  size_t IndexOf(int id) const;
  std::shared_ptr<Impl> impl_;
};

// Table helpers: one line per control for the usual members. M is a pointer to the
// page member holding the value.
namespace decl {
template <class P, auto M>
int Get(const P& p) {
  return static_cast<int>(p.*M);
}
template <class P, auto M>
void Set(P& p, int v) {
  p.*M = static_cast<std::remove_cvref_t<decltype(p.*M)>>(v);
}
template <class P, auto M>
std::string Text(const P& p) {
  if constexpr (std::is_same_v<std::remove_cvref_t<decltype(p.*M)>, std::string>)
    return p.*M;
  else
    return std::to_string(p.*M);
}
template <class P, auto M>
void Store(P& p, const FieldValue& v) {
  using T = std::remove_cvref_t<decltype(p.*M)>;
  if constexpr (std::is_same_v<T, std::string>)
    p.*M = v.text;
  else if constexpr (std::is_floating_point_v<T>)
    p.*M = static_cast<T>(v.f);
  else
    p.*M = static_cast<T>(v.i);
}
template <class P, auto M>
const Selector* Sel(const P& p) {
  return &(p.*M);
}
template <class P, auto M>
void Pick(P& p, int i) {
  (p.*M).Select(i);
}

template <class P, auto M>
ControlDecl<P> Check(int id) {
  return {.info = {.id = id, .kind = ControlKind::CheckBox}, .value = Get<P, M>, .setValue = Set<P, M>};
}
template <class P, auto M>
ControlDecl<P> Radio(std::vector<int> buttons) {
  const int id = buttons.empty() ? 0 : buttons.front();
  return {.info = {.id = id, .kind = ControlKind::RadioGroup, .buttons = std::move(buttons)},
          .value = Get<P, M>,
          .setValue = Set<P, M>};
}
template <class P, auto M>
ControlDecl<P> Combo(int id) {
  return {.info = {.id = id, .kind = ControlKind::Selector}, .setValue = Pick<P, M>, .selector = Sel<P, M>};
}
// A drop-down list over a fixed list of entries (Entries(): the list, made once), its
// selected index held in an int member.
template <class P, auto M, auto Entries>
ControlDecl<P> Choice(int id) {
  return {.info = {.id = id, .kind = ControlKind::Selector},
          .value = Get<P, M>,
          .setValue = Set<P, M>,
          .selector = [](const P&) {
            static const Selector kEntries(Entries());
            return &kEntries;
          }};
}
// An edit bound to a member; the kind follows the field's parse rule.
template <class P, auto M>
ControlDecl<P> Edit(const FieldSpec& field) {
  const ControlKind kind = field.kind == FieldKind::Text    ? ControlKind::Text
                           : field.kind == FieldKind::Float ? ControlKind::Number
                                                            : ControlKind::Integer;
  return {.info = {.id = field.id, .kind = kind, .field = field}, .text = Text<P, M>, .store = Store<P, M>};
}
// A read-only box showing a member.
template <class P, auto M>
ControlDecl<P> Shown(int id) {
  return {.info = {.id = id, .kind = ControlKind::Text, .field = {id, FieldKind::Text}, .readOnly = true},
          .text = Text<P, M>};
}
template <class P>
ControlDecl<P> List(int id, int rows, std::vector<std::string> (*rowTexts)(const P&, int)) {
  return {.info = {.id = id, .kind = ControlKind::List, .rows = rows}, .rowTexts = rowTexts};
}

inline FieldSpec Field(int id, FieldKind kind) { return FieldSpec{id, kind}; }
inline FieldSpec Range(int id, FieldKind kind, double lo, double hi) { return FieldSpec{id, kind, true, lo, hi}; }
inline FieldSpec Chars(int id, int maxChars) { return FieldSpec{id, FieldKind::Text, false, 0, 0, maxChars}; }

// The text a declared control shows (an edit's text, a selector's entry); empty for
// an id the table does not declare.
template <class P>
std::string ShownText(const ControlTable<P>& table, const P& p, int id) {
  for (const auto& d : table) {
    if (d.info.id != id) continue;
    if (d.text) return d.text(p);
    if (d.selector) return d.selector(p)->Text();
  }
  return {};
}
}  // namespace decl

}  // namespace tessera
