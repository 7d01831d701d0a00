#include <gtest/gtest.h>

#include <cmath>

#include "tessera/core/common/ByteIo.h"
#include "tessera/core/eq/EqCoefficients.h"
#include "tessera/core/pages/CPageEQ.h"
#include "tessera/core/pages/CPageEcho.h"

namespace tessera {
namespace {

// A fresh page lists the texts it was made with (gain "0"); a row redrawn from its
// band (a load, an edit) shows the gain with four decimals.
TEST(EqPage, DefaultsRowsAndCoefficients) {
  CPageEQ p;
  for (int i = 0; i < kEqBands; ++i) {
    EXPECT_EQ(p.RowTexts(i),
              (std::vector<std::string>{"Shelving", "Low-Pass", "0", "500", "44100", "100", "Disable"}));
    const EqBandCoeffs& c = p.coefficients[static_cast<size_t>(i)];
    EXPECT_EQ(c.enabled, 0);
    EXPECT_EQ(c.b0, 16384);
    EXPECT_EQ(c.a1, -31118);
  }
  EXPECT_TRUE(p.RowTexts(5).empty());
  p.RefreshRow(1);
  EXPECT_EQ(p.RowTexts(1)[2], "0.0000");
  EXPECT_EQ(p.RowTexts(0)[2], "0");
  p.OnInitialize();
  EXPECT_EQ(p.RowTexts(1)[2], "0");
}

TEST(EqPage, DialogOkCutsTheGainAndRecomputesTheBand) {
  CPageEQ p;
  ASSERT_TRUE(p.DialogFor(2));
  CEqConfigDlg d = *p.DialogFor(2);
  EXPECT_EQ(d.centerHz, 500);
  EXPECT_EQ(d.sampleHz, 44100);
  d.type = 1;
  d.highLow = 1;
  d.gainDb = 0.1f;
  d.centerHz = 1000;
  d.enabled = 1;
  p.ApplyDialog(2, d);
  EXPECT_EQ(p.bands[2].gainDb, std::nextafter(0.1f, 0.0f));
  EXPECT_EQ(p.RowTexts(2),
            (std::vector<std::string>{"Peak", "High-Pass", "0.1000", "1000", "44100", "100", "Enable"}));
  EXPECT_EQ(p.coefficients[2], ComputeEqCoefficients(p.bands[2]));
  EXPECT_EQ(p.coefficients[2].enabled, 1);
  EXPECT_EQ(p.coefficients[1].b0, 16384);  // other bands untouched

  d.gainDb = 6.0f;
  p.ApplyDialog(2, d);
  EXPECT_EQ(p.coefficients[2].b0, 16498);
  p.ApplyDialog(-1, d);  // no row selected: nothing happens
  p.ApplyDialog(5, d);
  // A click below the last row selects none: no dialog opens.
  EXPECT_FALSE(p.DialogFor(-1));
  EXPECT_FALSE(p.DialogFor(5));
}

TEST(EqPage, RefreshRowsRecomputesLoadedBands) {
  CPageEQ p;
  p.bands[4].type = 0;
  p.bands[4].highLow = 1;
  p.bands[4].gainDb = -6.0f;
  p.bands[4].centerHz = 5000;
  EXPECT_EQ(p.coefficients[4].b0, 16384);  // stale until refreshed
  p.RefreshRows();
  EXPECT_EQ(p.coefficients[4].a1, -21149);
  EXPECT_EQ(p.coefficients[4].b2, 3486);
  EXPECT_EQ(p.RowTexts(4)[2], "-6.0000");
}

TEST(EqPage, CollectCopiesTheFiveCoefficientRecords) {
  CPageEQ p;
  p.bands[0].gainDb = 6.0f;
  p.bands[0].type = 1;
  p.bands[0].centerHz = 1000;
  p.bands[0].enabled = 1;
  p.bands[4].enabled = 1;
  p.RefreshRows();
  ConfigRecord r;
  p.CollectInto(r);
  const uint8_t* b = r.data();
  EXPECT_EQ(b[rec::eq_bands], 1);
  EXPECT_EQ(GetI32(b, rec::eq_bands + 1), -32207);
  EXPECT_EQ(GetI32(b, rec::eq_bands + 9), 16498);
  EXPECT_EQ(b[rec::eq_bands + 4 * 21], 1);
  EXPECT_EQ(GetI32(b, rec::eq_bands + 4 * 21 + 17), 14813);
  EXPECT_EQ(b[rec::eq_bands - 1], 0);
  EXPECT_EQ(b[rec::noise_suppression], 0);
}

TEST(EchoPage, DefaultsAndLists) {
  CPageEcho p;
  p.OnInitialize();
  EXPECT_EQ(p.dacGainIndex, 0);
  EXPECT_EQ(p.echoSuppressionIndex, 0);
  EXPECT_EQ(p.micGainIndex, 77);
  EXPECT_EQ(p.noiseSuppressionIndex, 0);
  for (const VoiceEqParams& e : p.voiceEqs) {
    EXPECT_EQ(e.centerHz, 1);
    EXPECT_EQ(e.sampleHz, 1);
    EXPECT_EQ(e.bandwidthHz, 1);
    EXPECT_EQ(e.gainDb, 0);
  }
  EXPECT_TRUE(p.summaries[0].empty());
  EXPECT_TRUE(p.summaries[1].empty());
  EXPECT_FALSE(p.SettingsEnabled());

  const auto dac = CPageEcho::DacGainEntries();
  ASSERT_EQ(dac.size(), 16u);
  EXPECT_EQ(dac[0], "2dB");
  EXPECT_EQ(dac[4], "-6dB");
  EXPECT_EQ(dac[15], "-28dB");
  const auto mic = CPageEcho::MicGainEntries();
  ASSERT_EQ(mic.size(), 96u);
  EXPECT_EQ(mic[1], "0.5dB");
  EXPECT_EQ(mic[54], "27dB");
  EXPECT_EQ(mic[77], "38.5dB");
  EXPECT_EQ(mic[95], "47.5dB");
}

TEST(EchoPage, GainsAreTheSystemPagesVolumes) {
  CPageSystem sys;
  CPageEcho p;
  p.OnActivate(sys);
  EXPECT_EQ(CPageEcho::DacGainEntries()[static_cast<size_t>(p.dacGainIndex)], "-6dB");
  EXPECT_EQ(CPageEcho::MicGainEntries()[static_cast<size_t>(p.micGainIndex)], "27dB");
  p.dacGainIndex = 0;
  p.micGainIndex = 77;
  RecordingSink sink;
  p.Save(sys, sink);
  EXPECT_EQ(sys.hfpVolume, 15);
  EXPECT_EQ(sys.micVolume, 77);
  ASSERT_EQ(sink.messages.size(), 1u);
  EXPECT_EQ(sink.messages[0], "Save OK!\r\n");
  p.dacGainIndex = 4;
  p.Save(sys, sink);
  EXPECT_EQ(sys.hfpVolume, 11);
}

TEST(EchoPage, ConfUnlocksSettingsButApplyNeedsThePort) {
  CPageEcho p;
  p.OnInitialize();
  p.OnConf(false);
  EXPECT_TRUE(p.SettingsEnabled());
  EXPECT_FALSE(p.ApplyEnabled());
  p.SetPortOpen(true);
  EXPECT_TRUE(p.ApplyEnabled());
  p.SetPortOpen(false);
  EXPECT_FALSE(p.SettingsEnabled());
}

TEST(EchoPage, VoiceEqualizerDialogAndSummary) {
  CPageEcho p;
  // The untouched equalizer's 1 Hz sampling rate is refused on OK.
  CEqConfigDlg d = p.DialogFor(1);
  auto err = d.ReadBack([&d](int id) { return d.ControlText(id); });
  ASSERT_TRUE(err);
  EXPECT_EQ(err->controlId, CEqConfigDlg::kIdSample);
  EXPECT_EQ(err->message, "“请填入一个在8000和48000之间的整数。”");

  d.type = 1;
  d.highLow = 0;
  d.gainDb = -2.7f;
  d.centerHz = 1000;
  d.sampleHz = 8000;
  d.bandwidthHz = 200;
  d.enabled = 1;
  p.ApplyDialog(1, d);
  EXPECT_EQ(p.voiceEqs[1].gainDb, -2);
  EXPECT_EQ(p.voiceEqOn[1], 1);
  EXPECT_TRUE(p.summaries[0].empty());
  EXPECT_EQ(p.summaries[1],
            "均衡器类型: peak\r\n滤波类型: 低通\r\n增益: -2DB\r\n中心频率: 1000HZ\r\n采样率: 8000HZ\r\n"
            "3DB带宽: 200HZ\r\n使能\r\n");
  VoiceEqParams shelf = CPageEcho::DefaultVoiceEq();
  shelf.highLow = 1;
  EXPECT_EQ(CPageEcho::SummaryText(shelf, 0),
            "均衡器类型: shelving\r\n滤波类型: 高通\r\n增益: 0DB\r\n中心频率: 1HZ\r\n采样率: 1HZ\r\n3DB带宽: 1HZ\r\n\r\n");
}

TEST(EchoPage, CollectRestoreRoundTrip) {
  CPageEcho p;
  p.noiseSuppressionIndex = 3;
  p.echoSuppressionIndex = 2;
  p.voiceEqs[0].type = 1;
  p.voiceEqs[0].gainDb = -3;
  p.voiceEqs[0].centerHz = 1000;
  p.voiceEqs[1].highLow = 1;
  p.voiceEqs[1].sampleHz = 16000;
  p.voiceEqOn[1] = 1;
  ConfigRecord r;
  p.CollectInto(r);
  const uint8_t* b = r.data();
  EXPECT_EQ(GetU32(b, rec::noise_suppression), 3u);
  EXPECT_EQ(GetU32(b, rec::echo_suppression), 3u);
  EXPECT_EQ(b[rec::voice_eq], 1);
  EXPECT_EQ(GetI32(b, rec::voice_eq + 4), -3);
  EXPECT_EQ(b[rec::voice_eq + 20 + 1], 1);
  EXPECT_EQ(GetI32(b, rec::voice_eq + 20 + 12), 16000);
  EXPECT_EQ(b[rec::voice_eq0_enable], 0);
  EXPECT_EQ(b[rec::voice_eq1_enable], 1);

  CPageEcho q;
  q.RestoreFrom(r);
  EXPECT_EQ(q.echoSuppressionIndex, 2);
  EXPECT_EQ(q.noiseSuppressionIndex, 3);
  EXPECT_EQ(q.voiceEqs, p.voiceEqs);
  EXPECT_EQ(q.voiceEqOn, p.voiceEqOn);
  EXPECT_TRUE(q.summaries[1].empty());
  q.Refresh();
  EXPECT_EQ(q.summaries[1], CPageEcho::SummaryText(p.voiceEqs[1], 1));
  ConfigRecord again;
  q.CollectInto(again);
  EXPECT_EQ(again.bytes, r.bytes);
}

}  // namespace
}  // namespace tessera
