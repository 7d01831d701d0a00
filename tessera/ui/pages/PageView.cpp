#include "tessera/ui/pages/PageView.h"

#include <QVBoxLayout>
#include <algorithm>

#include "tessera/core/document/CTesseraView.h"

namespace tessera::ui {

PageView::PageView(QWidget* form, PageId page, PageController& controller, PageExtras extras, QWidget* parent)
    : QWidget(parent), form_(form), page_(page), c_(controller), extras_(std::move(extras)) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  form_->setParent(this);
  layout->addWidget(form_);
  setObjectName(form_->objectName() + QStringLiteral("View"));
  for (const auto& name : extras_.hidden)
    if (auto* w = form_->findChild<QWidget*>(name)) w->hide();
  binder_ = new ControlBinder(form_, [this] { return c_.Doc().Controls(page_); }, extras_.lists);

  binder_->onChange = [this](int id, int value) {
    // A check box whose handler reads the page back first gets the widgets' values too;
    // the core says which (and the click applies even when a field fails).
    CTesseraView::ChangeResult result;
    c_.Modify([&] {
      result = c_.Doc().ChangeControl(page_, id, value, binder_->Reader());
      if (result.error) c_.KeepTypedText();
      return result.changed;
    });
    // The clicked control shows what the core kept, also when it refused the click.
    binder_->RefreshControl(id, false);
    ReportIfFailed(result.error);
  };
  binder_->onTextEdited = [this](int id) {
    if (std::find(extras_.liveEdits.begin(), extras_.liveEdits.end(), id) == extras_.liveEdits.end()) return;
    std::optional<FieldError> err;
    c_.Modify([&] {
      const auto before = c_.Doc().Controls(page_).States();
      err = c_.Doc().EditChanged(page_, id, binder_->Reader());
      if (err) c_.KeepTypedText();
      return c_.Doc().Controls(page_).States() != before;
    });
    ReportIfFailed(err);
  };
  binder_->onListClick = [this](int id, int row) {
    if (extras_.editRow) extras_.editRow(*this, id, row);
  };
}

bool PageView::Commit() {
  std::optional<FieldError> err;
  c_.Modify([&] {
    const auto before = c_.Doc().Controls(page_).States();
    err = c_.Doc().ReadBack(page_, binder_->Reader());
    if (err) c_.KeepTypedText();
    return c_.Doc().Controls(page_).States() != before;
  });
  ReportIfFailed(err);
  return !err;
}

bool PageView::ModifyAfterReadBack(const std::function<bool()>& op) {
  std::optional<FieldError> err;
  const bool changed = c_.Modify([&] {
    const auto before = c_.Doc().Controls(page_).States();
    err = c_.Doc().ReadBack(page_, binder_->Reader());
    if (err) c_.KeepTypedText();
    const bool ran = op();
    return ran || c_.Doc().Controls(page_).States() != before;
  });
  ReportIfFailed(err);
  return changed;
}

bool PageView::TakeTypedValues() { return c_.Doc().TakeTypedEdits(page_, binder_->Reader()); }

void PageView::ReportIfFailed(const std::optional<FieldError>& err) {
  if (err) c_.ReportFieldError(binder_->Widget(err->controlId), err->message);
}

}  // namespace tessera::ui
