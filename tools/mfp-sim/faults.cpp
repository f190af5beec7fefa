#include "faults.h"

#include <algorithm>
#include <cstdint>
#include <sstream>

#include "wire.h"

namespace tallow::mfpsim {
namespace {

struct Name {
  const char* text;
  int value;
};

constexpr Name kTargets[] = {
    {"list-boxes", static_cast<int>(FaultTarget::kListBoxes)},
    {"list-docs", static_cast<int>(FaultTarget::kListDocs)},
    {"imageinfo", static_cast<int>(FaultTarget::kImageInfo)},
    {"delete", static_cast<int>(FaultTarget::kDelete)},
    {"loadimg", static_cast<int>(FaultTarget::kLoadimg)},
    {"scanbox", static_cast<int>(FaultTarget::kScanbox)},
    {"getfile", static_cast<int>(FaultTarget::kGetFile)},
    {"getdata", static_cast<int>(FaultTarget::kGetData)},
};

constexpr Name kKinds[] = {
    {"code", static_cast<int>(FaultKind::kCode)},
    {"status", static_cast<int>(FaultKind::kStatus)},
    {"drop", static_cast<int>(FaultKind::kDrop)},
    {"stall", static_cast<int>(FaultKind::kStall)},
    {"stall-mid", static_cast<int>(FaultKind::kStallMid)},
    {"cut", static_cast<int>(FaultKind::kCut)},
    {"malformed", static_cast<int>(FaultKind::kMalformed)},
    {"oversize", static_cast<int>(FaultKind::kOversize)},
    {"empty", static_cast<int>(FaultKind::kEmpty)},
    {"trickle", static_cast<int>(FaultKind::kTrickle)},
};

template <std::size_t N>
std::optional<int> Lookup(const Name (&names)[N], std::string_view word) {
  for (const Name& n : names) {
    if (word == n.text) return n.value;
  }
  return std::nullopt;
}

template <std::size_t N>
const char* NameOf(const Name (&names)[N], int value) {
  for (const Name& n : names) {
    if (n.value == value) return n.text;
  }
  return "?";
}

std::vector<std::string_view> Words(std::string_view s) {
  std::vector<std::string_view> words;
  std::size_t i = 0;
  while (i < s.size()) {
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t' || s[i] == '\r')) ++i;
    std::size_t start = i;
    while (i < s.size() && s[i] != ' ' && s[i] != '\t' && s[i] != '\r') ++i;
    if (i > start) words.push_back(s.substr(start, i - start));
  }
  return words;
}

constexpr int kMaxStallMs = 600000;
constexpr int kMaxTrickle = 1 << 30;

bool TakesNumber(FaultKind kind) {
  return kind == FaultKind::kCode || kind == FaultKind::kStatus || kind == FaultKind::kStall ||
         kind == FaultKind::kStallMid || kind == FaultKind::kTrickle;
}

}  // namespace

std::optional<Fault> ParseFault(std::string_view spec, std::string& error) {
  std::vector<std::string_view> w = Words(spec);
  std::string shown = LogSafe(spec, 80);
  if (w.size() < 2 || w.size() > 3) {
    error = "fault \"" + shown + "\": expected <target> <kind> [arg]";
    return std::nullopt;
  }
  std::optional<int> target = Lookup(kTargets, w[0]);
  if (!target) {
    error = "fault \"" + shown + "\": unknown target (list-boxes, list-docs, imageinfo, delete, "
            "loadimg, scanbox, getfile, getdata)";
    return std::nullopt;
  }
  std::optional<int> kind = Lookup(kKinds, w[1]);
  if (!kind) {
    error = "fault \"" + shown + "\": unknown kind (code, status, drop, stall, stall-mid, cut, "
            "malformed, oversize, empty, trickle)";
    return std::nullopt;
  }
  Fault f{static_cast<FaultTarget>(*target), static_cast<FaultKind>(*kind), 0};
  const bool needsArg = TakesNumber(f.kind);
  if (needsArg != (w.size() == 3)) {
    error = "fault \"" + shown + "\": " + (needsArg ? "needs a number" : "takes no argument");
    return std::nullopt;
  }
  if (needsArg) {
    std::optional<std::int32_t> n = ParseNumber(w[2]);
    bool ok = n.has_value();
    if (ok && f.kind == FaultKind::kStatus) ok = *n >= 200 && *n <= 599;
    if (ok && (f.kind == FaultKind::kStall || f.kind == FaultKind::kStallMid)) {
      ok = *n >= 0 && *n <= kMaxStallMs;
    }
    if (ok && f.kind == FaultKind::kTrickle) ok = *n >= 1 && *n <= kMaxTrickle;
    if (!ok) {
      error = "fault \"" + shown + "\": bad number (code: 32-bit; status: 200 to 599; stall: 0 to " +
              std::to_string(kMaxStallMs) + " ms; trickle: 1 to " + std::to_string(kMaxTrickle) +
              " bytes a second)";
      return std::nullopt;
    }
    f.arg = *n;
  }
  return f;
}

std::optional<std::vector<Fault>> ParseFaults(std::string_view text, std::string& error) {
  std::vector<Fault> faults;
  while (!text.empty()) {
    std::size_t nl = text.find('\n');
    std::string_view line = text.substr(0, nl);
    text = nl == std::string_view::npos ? std::string_view{} : text.substr(nl + 1);
    std::vector<std::string_view> w = Words(line);
    if (w.empty() || w[0].front() == '#') continue;
    std::optional<Fault> f = ParseFault(line, error);
    if (!f) return std::nullopt;
    if (faults.size() >= 1000) {
      error = "more than 1000 faults";
      return std::nullopt;
    }
    faults.push_back(*f);
  }
  return faults;
}

std::string FormatFault(const Fault& fault) {
  std::string s = std::string(NameOf(kTargets, static_cast<int>(fault.target))) + " " +
                  NameOf(kKinds, static_cast<int>(fault.kind));
  if (TakesNumber(fault.kind)) s += " " + std::to_string(fault.arg);
  return s;
}

std::size_t TrickleSlice(int bytesPerSecond) {
  return std::max<std::size_t>(1, static_cast<std::size_t>(bytesPerSecond) / 10);
}

int TricklePauseMs(std::size_t bytes, int bytesPerSecond) {
  if (bytesPerSecond <= 0) return 0;
  const std::uint64_t ms = std::uint64_t{bytes} * 1000 / static_cast<std::uint64_t>(bytesPerSecond);
  return static_cast<int>(std::min<std::uint64_t>(ms, kMaxStallMs));
}

void FaultSet::Replace(std::vector<Fault> faults) {
  std::lock_guard lock(mutex_);
  faults_ = std::move(faults);
}

std::vector<Fault> FaultSet::All() const {
  std::lock_guard lock(mutex_);
  return faults_;
}

std::optional<Fault> FaultSet::Match(FaultTarget target) const {
  std::lock_guard lock(mutex_);
  bool scanbox = target != FaultTarget::kLoadimg;
  for (const Fault& f : faults_) {
    if (f.target == target || (scanbox && f.target == FaultTarget::kScanbox)) return f;
  }
  return std::nullopt;
}

void RequestLog::Add(std::string line) {
  std::lock_guard lock(mutex_);
  if (lines_.size() >= kMaxLines) lines_.pop_front();
  lines_.push_back(std::move(line));
}

std::string RequestLog::Text() const {
  std::lock_guard lock(mutex_);
  std::string out;
  for (const std::string& l : lines_) {
    out += l;
    out += '\n';
  }
  return out;
}

void RequestLog::Clear() {
  std::lock_guard lock(mutex_);
  lines_.clear();
}

}  // namespace tallow::mfpsim
