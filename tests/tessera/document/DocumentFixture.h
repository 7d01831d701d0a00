#pragma once
// A started document with a message recorder and a scratch folder.
#include <gtest/gtest.h>

#include "../config/TempDir.h"
#include "tessera/core/common/MessageSink.h"
#include "tessera/core/document/CTesseraView.h"

namespace tessera::testing {

// Sets a document up as a loaded configuration or an undo would leave it: f edits a copy
// of the whole state and the copy is put back (no handler runs, observers hear Reset).
template <class F>
void Edit(CTesseraView& view, F&& f) {
  DocumentState state = view.Snapshot();
  f(state);
  view.Restore(state);
}

class DocumentTest : public ::testing::Test {
 protected:
  void SetUp() override { view.OnInitialUpdate(); }

  // What the Sound-effect page was last told about its free space, in KiB.
  int WaveFreeKb() const {
    return std::stoi(view.wave.remainingSpaceText) + view.wave.usedPromptSpaceKb;
  }

  TempDir dir;
  RecordingSink sink;
  CTesseraView view{sink};
};

}  // namespace tessera::testing
