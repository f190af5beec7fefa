// Every text the user sees is looked up by its string id through one chain:
// the language file beside the program, then the resource library beside
// it, then the program's own string table. On top of the chain: three
// message tables, filled once at start-up and read for the rest of the run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "core/language_file.h"
#include "platform/library.h"
#include "platform/text.h"

namespace tallow {

// A text has at most 512 characters; every source cuts longer ones.
inline constexpr std::size_t kMaxTextLength = 512;
inline constexpr std::size_t kTextBufferUnits = kMaxTextLength + 1;
using TextBuffer = char16_t[kTextBufferUnits];

// Releases the sources held so far, then opens the language file and loads
// the resource library named after |module|'s file: for "<folder>/x.bin",
// "<folder>/x.lrc" and "<folder>/xr.so". Both are optional. A file name
// without an extension gives no sources: names are never taken from a dot
// in a folder name, so nothing outside the program's folder is opened.
void LoadLanguageResources(HMODULE module);
// The application's exit: both sources are released.
void ReleaseLanguageResources();

// Runs the chain for |id| into |buffer|; returns the text's length, 0 (and
// an empty buffer) when no source has a non-empty text for it.
int LoadResString(TextBuffer& buffer, std::int32_t id);
WString LoadResString(std::int32_t id);

// The open language file's version text for the About dialog ("-" without
// one); null only when out of memory.
LrcText LanguageVersionText();

// One entry of a message table; a table ends with the id kTableEnd.
struct MessageTableEntry {
  std::int32_t id;
  WString text;  // empty until filled, and when no source has the id
};
inline constexpr std::int32_t kTableEnd = -1;

// The three tables, built with their ids and empty texts: messages and
// their captions (27 entries with the end), progress texts (5), and the
// labels "B/W", "Color", "USB" (4).
MessageTableEntry* MessageTable();
MessageTableEntry* ProgressTextTable();
MessageTableEntry* LabelTable();

// Fills every entry of |table| up to its end from the chain; an id that no
// source has gets the empty text.
void LoadMessageTable(MessageTableEntry* table);

// The text of the first entry of |table| with |id| (empty when no source had
// it), or nullopt when the table does not hold the id. Reads of the three
// tables should go through here: it is safe against a concurrent fill.
std::optional<WString> FindTableText(const MessageTableEntry* table, std::int32_t id);
std::optional<WString> FindMessageText(std::int32_t id);
// The message table's text of |id|, empty when it has none.
WString MessageText(std::int32_t id);
std::optional<WString> FindLabelText(std::int32_t id);

}  // namespace tallow
