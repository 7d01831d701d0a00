#pragma once
// A started document with a message recorder and a scratch folder.
#include <gtest/gtest.h>

#include "../config/TempDir.h"
#include "tessera/core/common/MessageSink.h"
#include "tessera/core/document/CTesseraView.h"

namespace tessera::testing {

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
