#include "tessera/cli/CliCommands.h"

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <vector>

#include "qrplatform/Utf8Path.h"
#include "tessera/cli/CliFiles.h"
#include "tessera/cli/ConfigJson.h"
#include "tessera/cli/ConfigShow.h"
#include "tessera/core/common/MessageSink.h"
#include "tessera/core/config/ChipPackage.h"
#include "tessera/core/config/FlashLayout.h"
#include "tessera/core/config/ImageFiles.h"
#include "tessera/core/document/CTesseraView.h"
#include "tessera/core/eq/EqCoefficients.h"

namespace tessera::cli {
namespace {

// Message boxes become lines on standard error, in the order the window shows them.
class StderrSink : public MessageSink {
 public:
  void Show(const std::string& text) override {
    std::string line;
    for (char c : text)  // a box's "\r\n" line breaks become plain ones
      if (c != '\r') line += c;
    while (!line.empty() && line.back() == '\n') line.pop_back();
    std::cerr << line << "\n";
    ++count;
  }
  int count = 0;
};

int IndexOf(const auto& names, const std::string& name) {
  for (size_t i = 0; i < names.size(); ++i)
    if (name == names[i]) return static_cast<int>(i);
  return -1;
}

std::string Choices(const auto& names) {
  std::string s;
  for (const char* n : names) s += (s.empty() ? "" : ", ") + std::string(n);
  return s;
}

}  // namespace

int RunNew(const Options& o) {
  const int flash = IndexOf(kFlashTypeNames, o.flash);
  const int chip = IndexOf(kChipTypeNames, o.chip);
  if (flash < 0) {
    std::cerr << "Unknown flash type \"" << o.flash << "\"; choose one of "
              << Choices(kFlashTypeNames) << ".\n";
    return 1;
  }
  if (chip < 0) {
    std::cerr << "Unknown chip type \"" << o.chip << "\"; choose one of " << Choices(kChipTypeNames)
              << ".\n";
    return 1;
  }
  if (o.bin.size() > CTesseraView::kMaxStoredPath) {
    // The window saves without such a path and says so; asked for it here, refuse.
    std::cerr << "The bin path is " << o.bin.size() << " bytes long; a configuration file keeps at most "
              << CTesseraView::kMaxStoredPath << ". Nothing was written.\n";
    return 1;
  }
  StderrSink sink;
  CTesseraView view(sink);
  view.OnInitialUpdate();
  // The user picks the two entries (each pick runs its operation) and types the path.
  view.SelectFlashType(flash);
  view.SelectChipType(chip);
  view.SetBinPath(o.bin);
  return view.WriteConfigFile(o.out) ? 0 : 1;
}

int RunBuild(const Options& o) {
  StderrSink sink;
  CTesseraView view(sink);
  view.OnInitialUpdate();
  bool selectionsValid = false;
  if (!view.ReadConfigFile(o.config, &selectionsValid)) return 1;
  if (!selectionsValid) {
    // The window goes on with the entry that stays selected; an image for a flash type
    // or package the configuration does not name is not what a script asked for.
    std::cerr << "Nothing was written: " << o.config
              << " names a flash type or chip type outside the lists.\n";
    return 1;
  }
  if (!o.bin.empty()) view.SetBinPath(o.bin);
  // Unlike the window, a script gets no image that lacks something the configuration
  // names: firmware, or a prompt (unless it asked for prompts that cannot be read to
  // be left out).
  const CTesseraView::BuildChecks checks{.refuseEmptyBin = true,
                                         .refuseUnreadablePrompts = !o.allowMissingPrompts,
                                         .refuseDroppedPrompts = true};
  std::string summary;
  std::error_code ec;
  // The outputs in the order they are renamed into place; a later one can fail (a full
  // disk) after earlier ones are in place. Those this run created are taken away again,
  // so a failed build leaves no new file behind.
  std::vector<std::string> outputs{o.out, CrcImagePath(o.out)};
  for (const char* ext : {"QR1", "TU1"}) {
    const std::string copy = CrcCopyPath(outputs[1], ext);
    if (!copy.empty()) outputs.push_back(copy);
  }
  std::vector<bool> existed;
  for (const std::string& path : outputs) existed.push_back(std::filesystem::exists(qrplatform::PathFromUtf8(path), ec));
  if (!view.GenerateImage(o.out, &summary, false, checks)) {
    for (size_t i = 0; i < outputs.size(); ++i)
      if (!existed[i]) std::filesystem::remove(qrplatform::PathFromUtf8(outputs[i]), ec);
    return 1;
  }
  std::cout << summary;
  return 0;
}

int RunEq(const Options& o) {
  // The gain is what the band dialog would hold: the typed text as a float.
  const char* text = o.eqGain.c_str();
  char* end = nullptr;
  errno = 0;
  const float gain = std::strtof(text, &end);
  if (o.eqGain.empty() || *end != '\0' || errno == ERANGE || !std::isfinite(gain)) {
    std::cerr << "--gain \"" << o.eqGain
              << "\" is not a number; give the gain in dB, for example -3.5.\n";
    return 1;
  }
  EqBandParams band;
  band.enabled = 1;
  band.type = o.eqType == "peak" ? 1 : 0;
  band.highLow = o.eqSide == "high" ? 1 : 0;
  band.gainDb = gain;
  band.centerHz = o.eqCenter;
  band.sampleHz = o.eqRate;
  band.bandwidthHz = o.eqBandwidth;
  const EqBandCoeffs c = ComputeEqCoefficients(band);
  std::cout << c.a1 << " " << c.a2 << " " << c.b0 << " " << c.b1 << " " << c.b2 << "\n";
  return 0;
}

int RunExport(const Options& o) {
  std::vector<uint8_t> file;
  if (!ReadFileBytes(o.config, file)) {
    std::cerr << "Can not read " << o.config << ": check the path and its permissions.\n";
    return 1;
  }
  OrderedJson j;
  std::string error;
  if (!ExportConfigJson(file, j, error)) {
    std::cerr << o.config << ": " << error << "\n";
    return 1;
  }
  std::string text = j.dump(2) + "\n";
  if (o.out.empty()) {
    std::cout << text;
    return 0;
  }
  if (!WriteFileBytes(o.out, std::vector<uint8_t>(text.begin(), text.end()), &error)) {
    std::cerr << "Export failed, nothing was written: " << error << "\n";
    return 1;
  }
  return 0;
}

int RunShow(const Options& o) {
  // The values the pages hold once "Read Config" has loaded the file (GPIOs a package
  // lacks already reallocated, prompts that no longer fit already dropped), shown
  // through the record and tables the pages would write now.
  StderrSink sink;
  CTesseraView view(sink);
  view.OnInitialUpdate();
  if (!view.ReadConfigFile(o.config)) return 1;
  ConfigFileData pages = view.TablesAndSelections();
  std::vector<uint8_t> bytes;
  if (view.CollectConfigRecord(pages.record, CTesseraView::kWriteContext, nullptr)) {
    bytes = EncodeConfigFile(pages);
  } else {
    std::cerr << "The pages refuse to build a record; the values below are those stored in "
              << o.config << ".\n";
    if (!ReadFileBytes(o.config, bytes)) return 1;
  }
  std::string text, error;
  if (!ShowConfig(bytes, text, error)) {
    std::cerr << o.config << ": " << error << "\n";
    return 1;
  }
  std::cout << text;
  return 0;
}

int RunImport(const Options& o) {
  std::vector<uint8_t> text;
  if (!ReadFileBytes(o.json, text)) {
    std::cerr << "Can not read " << o.json << ": check the path and its permissions.\n";
    return 1;
  }
  OrderedJson j = OrderedJson::parse(text.begin(), text.end(), nullptr, false);
  if (j.is_discarded()) {
    std::cerr << o.json << ": not valid JSON.\n";
    return 1;
  }
  std::vector<uint8_t> file;
  std::string error;
  if (!ImportConfigJson(j, file, error)) {
    std::cerr << o.json << ": " << error << "\n";
    return 1;
  }
  if (!o.recollect) {
    if (!WriteFileBytes(o.out, file, &error)) {
      std::cerr << "Import failed, nothing was written: " << error << "\n";
      return 1;
    }
    return 0;
  }
  // Read Config of the imported bytes, then Write Config: the record's derived parts
  // (prompt slots, LED patterns, key words, EQ coefficients) follow the tables again.
  const std::string staged = o.out + ".import";
  if (!WriteFileBytes(staged, file, &error)) {
    std::cerr << "Import failed, nothing was written: " << error << "\n";
    return 1;
  }
  StderrSink sink;
  CTesseraView view(sink);
  view.OnInitialUpdate();
  const bool ok = view.ReadConfigFile(staged) && view.WriteConfigFile(o.out);
  std::error_code ec;
  std::filesystem::remove(qrplatform::PathFromUtf8(staged), ec);
  return ok ? 0 : 1;
}

}  // namespace tessera::cli
