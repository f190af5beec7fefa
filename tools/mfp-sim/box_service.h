// The box service without its transport: request parameters and XML body in,
// reply XML out. The HTTP front end wraps it; a USB front end can wrap it the
// same way.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "faults.h"
#include "store.h"
#include "wire.h"

namespace tallow::mfpsim {

// Result codes that the simulator answers with.
inline constexpr int kCodeOk = 600;
inline constexpr int kCodeAuthFailed = 807;
inline constexpr int kCodeUnknownDoc = 333;
inline constexpr int kCodePageOutside = 334;
inline constexpr int kCodeUnknownBox = 802;
inline constexpr int kCodeUnreadable = 700;

// Requests above this are not read at all.
inline constexpr std::size_t kMaxRequestBytes = 1 << 20;

struct BoxRequest {
  bool wellFormed = false;  // XML whose root is JOB
  std::optional<std::string> command;
  std::optional<std::string> type;
  // Children of JOB/PARAM/STORAGE, in document order: name and text.
  std::vector<std::pair<std::string, std::string>> params;

  const std::string* Param(std::string_view name) const;
};

BoxRequest ParseBoxRequest(std::string_view xml);

// The fault target that a request falls under; kScanbox for anything that
// is not one of the four commands or the two of the USB page transfer.
FaultTarget TargetOf(const BoxRequest& request);

// "scanbox version=2 LIST PASSWORD=1234 FOLDERID=00000001"
std::string LogLine(const QueryParams& query, const BoxRequest& request);

// <?xml ...?><JOB><CODE>code</CODE></JOB>
std::string CodeReply(int code);

struct BoxExchange {
  BoxRequest request;
  bool versionOk = false;  // the parameters carry version=2
  FaultTarget target = FaultTarget::kScanbox;
  std::string logLine;
  std::string reply;
};

class BoxService {
 public:
  explicit BoxService(Store& store) : store_(store) {}

  // Reads the request and its parameters; the reply is left empty, to be
  // filled by Answer once the caller has decided about faults.
  BoxExchange Read(const QueryParams& query, std::string_view body) const;
  // Carries out the request (a DELETE changes the store) and sets the reply.
  void Answer(BoxExchange& exchange);

  // Read and Answer in one.
  std::string Handle(const QueryParams& query, std::string_view body);

 private:
  std::string ListBoxes() const;
  std::string ListDocs(const BoxRequest& r) const;
  std::string ImageInfo(const BoxRequest& r) const;
  std::string Delete(const BoxRequest& r);

  Store& store_;
};

}  // namespace tallow::mfpsim
