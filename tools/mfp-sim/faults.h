// Faults the simulator can be told to show, per kind of request, and the log
// of the requests it received. Both are changed at run time by the control
// endpoints, so both lock.
#pragma once

#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tallow::mfpsim {

// kGetFile and kGetData are the USB page transfer's requests.
enum class FaultTarget { kListBoxes, kListDocs, kImageInfo, kDelete, kLoadimg, kScanbox, kGetFile, kGetData };

enum class FaultKind {
  kCode,       // ScanBox: <JOB><CODE>N</CODE></JOB>; loadimg: HTTP 404
  kStatus,     // HTTP status N, empty body
  kDrop,       // close the connection without an answer
  kStall,      // wait N ms, then answer
  kStallMid,   // headers and half the body, wait N ms, the rest
  kCut,        // full Content-Length, half the body, close
  kMalformed,  // ScanBox: broken XML; loadimg: garbage bytes
  kOversize,   // ScanBox: 5 MiB reply; loadimg: a body above 256 MiB
  kEmpty,      // 200 with an empty body
  kTrickle,    // the reply, and over USB the page, at N bytes a second
};

struct Fault {
  FaultTarget target;
  FaultKind kind;
  int arg = 0;
};

// How a trickle of |bytesPerSecond| goes out: slices of at most a tenth of
// a second's bytes (at least one), each after a pause as long as the slice
// takes at that rate.
std::size_t TrickleSlice(int bytesPerSecond);
int TricklePauseMs(std::size_t bytes, int bytesPerSecond);

// One "<target> <kind> [arg]" line.
std::optional<Fault> ParseFault(std::string_view spec, std::string& error);
// Zero or more such lines; blank lines and lines starting with '#' are skipped.
std::optional<std::vector<Fault>> ParseFaults(std::string_view text, std::string& error);
std::string FormatFault(const Fault& fault);

class FaultSet {
 public:
  void Replace(std::vector<Fault> faults);
  std::vector<Fault> All() const;
  // The first fault, in the order given, whose target is |target| or, for a
  // ScanBox request, "scanbox".
  std::optional<Fault> Match(FaultTarget target) const;

 private:
  mutable std::mutex mutex_;
  std::vector<Fault> faults_;
};

class RequestLog {
 public:
  // Only the newest lines are kept past this.
  static constexpr std::size_t kMaxLines = 100000;

  void Add(std::string line);
  // Every line, each ending in "\n".
  std::string Text() const;
  void Clear();

 private:
  mutable std::mutex mutex_;
  std::deque<std::string> lines_;
};

}  // namespace tallow::mfpsim
