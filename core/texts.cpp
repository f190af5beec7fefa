#include "core/texts.h"

#include <array>
#include <iterator>
#include <memory>
#include <mutex>
#include <new>

#include "platform/module.h"
#include "platform/path.h"
#include "platform/string_resources.h"
#include "res/string_table.h"

namespace tallow {

namespace {

// The language sources. They change only at start-up and exit, but a lookup
// also marks the language file incomplete, so every use takes the lock.
struct LanguageSources {
  std::mutex lock;
  LrcFilePtr languageFile;        // g_pLanguageFile
  HMODULE languageDll = nullptr;  // g_hLanguageDll
};

LanguageSources& Sources() {
  static LanguageSources sources;
  return sources;
}

// Guards the texts of the message tables.
std::mutex& TablesLock() {
  static std::mutex lock;
  return lock;
}

void ReleaseLocked(LanguageSources& s) {
  s.languageFile.reset();
  if (s.languageDll) {
    FreeLibrary(s.languageDll);
    s.languageDll = nullptr;
  }
}

// The module's path, asked again with twice the room while it might not
// leave space for the longer of the two extensions (3 characters and one).
bool ModulePath(HMODULE module, WString& path) {
  constexpr DWORD kFirstSize = 260;
  constexpr DWORD kLargestSize = 65535;
  constexpr DWORD kExtensionRoom = 4;
  for (DWORD size = kFirstSize; size <= kLargestSize; size *= 2) {
    std::unique_ptr<char16_t[]> buffer(new (std::nothrow) char16_t[size]());
    if (!buffer) return false;
    const DWORD n = GetModuleFileNameW(module, buffer.get(), size);
    if (n == 0) return false;
    if (n < size - kExtensionRoom) {
      path.assign(buffer.get(), n);
      return true;
    }
  }
  return false;
}

int RunChainLocked(LanguageSources& s, char16_t* buffer, std::int32_t id) {
  buffer[0] = 0;
  if (s.languageFile) {
    if (LrcText text = LrcFindString(s.languageFile.get(), static_cast<std::uint32_t>(id))) {
      CopyToField(buffer, kTextBufferUnits, text.get());
      if (buffer[0]) return static_cast<int>(WideLength(buffer));
    }
  }
  if (s.languageDll) {
    const int n = LoadStringW(s.languageDll, static_cast<std::uint32_t>(id), buffer,
                              static_cast<int>(kTextBufferUnits));
    if (n > 0) return n;
  }
  if (const char16_t* text = FindBuiltinString(id)) {
    CopyToField(buffer, kTextBufferUnits, text);
    return static_cast<int>(WideLength(buffer));
  }
  buffer[0] = 0;
  return 0;
}

template <std::size_t N>
std::array<MessageTableEntry, N> MakeTable(const std::int32_t (&ids)[N]) {
  std::array<MessageTableEntry, N> table;
  for (std::size_t i = 0; i < N; ++i) table[i].id = ids[i];
  return table;
}

}  // namespace

void LoadLanguageResources(HMODULE module) {
  LanguageSources& s = Sources();
  std::lock_guard<std::mutex> lock(s.lock);
  ReleaseLocked(s);

  WString path;
  if (!ModulePath(module, path)) return;
  const std::size_t slash = path.rfind(kPathSeparator);
  const std::size_t nameStart = slash == WString::npos ? 0 : slash + 1;
  const std::size_t dot = path.rfind(u'.');
  if (dot == WString::npos || dot < nameStart) return;

  const WString languageFile = path.substr(0, dot + 1) + u"lrc";
  s.languageFile = LrcOpen(languageFile.c_str());

  const WString library = MapLibraryName(path.substr(0, dot) + u"r.dll");
  s.languageDll = LoadLibraryW(library.c_str());
}

void ReleaseLanguageResources() {
  LanguageSources& s = Sources();
  std::lock_guard<std::mutex> lock(s.lock);
  ReleaseLocked(s);
}

int LoadResString(TextBuffer& buffer, std::int32_t id) {
  LanguageSources& s = Sources();
  std::lock_guard<std::mutex> lock(s.lock);
  return RunChainLocked(s, buffer, id);
}

WString LoadResString(std::int32_t id) {
  TextBuffer buffer;
  const int n = LoadResString(buffer, id);
  return WString(buffer, static_cast<std::size_t>(n));
}

LrcText LanguageVersionText() {
  LanguageSources& s = Sources();
  std::lock_guard<std::mutex> lock(s.lock);
  return LrcGetVersionText(s.languageFile.get());
}

MessageTableEntry* MessageTable() {
  static constexpr std::int32_t kIds[] = {
      20001, 20002, 20003, 20004, 20005, 21001, 21003, 21004, 21005,
      21006, 21007, 21008, 21009, 21010, 21011, 21012, 21013, 21014,
      21015, 21016, 21017, 21101, 807,   808,   810,   811,   kTableEnd};
  static std::array<MessageTableEntry, std::size(kIds)> table = MakeTable(kIds);
  return table.data();
}

MessageTableEntry* ProgressTextTable() {
  static constexpr std::int32_t kIds[] = {15001, 15002, 15003, 15004, kTableEnd};
  static std::array<MessageTableEntry, std::size(kIds)> table = MakeTable(kIds);
  return table.data();
}

MessageTableEntry* LabelTable() {
  static constexpr std::int32_t kIds[] = {8001, 8002, 8003, kTableEnd};
  static std::array<MessageTableEntry, std::size(kIds)> table = MakeTable(kIds);
  return table.data();
}

void LoadMessageTable(MessageTableEntry* table) {
  if (!table) return;
  for (MessageTableEntry* e = table; e->id != kTableEnd; ++e) {
    // An id that no source has gets the empty text; at start-up it has it
    // already.
    WString text = LoadResString(e->id);
    std::lock_guard<std::mutex> lock(TablesLock());
    e->text = std::move(text);
  }
}

std::optional<WString> FindTableText(const MessageTableEntry* table, std::int32_t id) {
  if (!table || id == kTableEnd) return std::nullopt;
  std::lock_guard<std::mutex> lock(TablesLock());
  for (const MessageTableEntry* e = table; e->id != kTableEnd; ++e) {
    if (e->id == id) return e->text;
  }
  return std::nullopt;
}

std::optional<WString> FindMessageText(std::int32_t id) { return FindTableText(MessageTable(), id); }
WString MessageText(std::int32_t id) { return FindMessageText(id).value_or(WString()); }

std::optional<WString> FindLabelText(std::int32_t id) { return FindTableText(LabelTable(), id); }

}  // namespace tallow
