#pragma once
// What a page widget asks of the window that hosts it.
#include <QString>
#include <functional>
#include <string>

#include "tessera/core/document/CTesseraView.h"
#include "tessera/ui/app/UiHooks.h"

class QWidget;

namespace tessera::ui {

class PageController {
 public:
  virtual ~PageController() = default;
  virtual CTesseraView& Doc() = 0;
  virtual UiHooks& Hooks() = 0;
  // Runs one change of the document as an undo step: op returns whether it changed
  // anything. The controls the document reports changed are refreshed, then the
  // messages the core raised are shown.
  virtual bool Modify(const std::function<bool()>& op) = 0;
  // Called inside a Modify whose read-back failed: the refresh after it leaves the
  // edits as typed, so the field with the focus still shows what the user entered.
  virtual void KeepTypedText() = 0;
  // Shows the messages the core has queued, in order.
  virtual void FlushMessages() = 0;
  // A field failed its read-back: its page comes to the front, the message is shown and
  // the field gets the focus.
  virtual void ReportFieldError(QWidget* field, const std::string& message) = 0;
};

}  // namespace tessera::ui
