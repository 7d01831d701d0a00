#pragma once
// Name tables of the key, LED and prompt events as the pages show them. Each index is
// the value the firmware reads from the record, so the order of every table is fixed.
// Where a list and its entry dialog spell an item differently, both tables exist: the
// list column text and the dialog selector text ("A2DP" versus "A2DP ").
#include <array>
#include <cstddef>
#include <span>
#include <string>
#include <vector>

namespace tessera {
namespace names {

// Key page: key events (list column / dialog selector), 28 each.
extern const std::array<const char*, 28> kKeyEventList;
extern const std::array<const char*, 28> kKeyEventDialog;
// Key page: press types (list / dialog), 6 each.
extern const std::array<const char*, 6> kKeyTypeList;
extern const std::array<const char*, 6> kKeyTypeDialog;
// Key page: device states (list / dialog), 4 each.
extern const std::array<const char*, 4> kKeyStateList;
extern const std::array<const char*, 4> kKeyStateDialog;

// LED page: LED events (list / dialog), 23 each.
extern const std::array<const char*, 23> kLedEventList;
extern const std::array<const char*, 23> kLedEventDialog;
// LED page: LED outputs as the list shows them, and as the dialog's selector offers them.
extern const std::array<const char*, 5> kLedOutputList;
extern const std::array<const char*, 5> kLedOutputDialog;

// Sound-effect page: prompt events (list / dialog), 44 each.
extern const std::array<const char*, 44> kPromptEventList;
extern const std::array<const char*, 44> kPromptEventDialog;
// Prompt kinds as the list column shows them (0 wave file, 1 DTMF).
extern const std::array<const char*, 2> kPromptKindList;
// The dialog's type, enable, DTMF pattern and DTMF mode selectors.
extern const std::array<const char*, 2> kPromptKindDialog;
extern const std::array<const char*, 2> kPromptEnableDialog;
extern const std::array<const char*, 2> kDtmfPatternDialog;
extern const std::array<const char*, 2> kDtmfModeDialog;
// The language selector's entries (one prompt table per language; only one exists).
extern const std::array<const char*, 1> kPromptLanguages;

// Text at index i of a table, or "" when i is outside it (a record from another tool
// may hold any byte).
const char* NameAt(std::span<const char* const> table, int i);
// The whole table as selector entries.
std::vector<std::string> NameList(std::span<const char* const> table);

}  // namespace names
}  // namespace tessera
