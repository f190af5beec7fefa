// The discovery protocol of docs/discovery.md: the question a search sends,
// the reading of an answer, the set of MFPs found and the library's
// configuration. Free of sockets, so that the fuzzer can drive it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "contracts/discovery_api.h"

namespace yomba {

inline constexpr std::array<std::uint8_t, 4> kMagic = {'Y', 'M', 'B', 'D'};
inline constexpr std::uint8_t kVersion = 1;
inline constexpr std::uint8_t kKindQuestion = 1;
inline constexpr std::uint8_t kKindAnswer = 2;
inline constexpr std::size_t kQuestionSize = 12;
inline constexpr std::size_t kAnswerFixedSize = 16;  // header, port and both length bytes
inline constexpr std::size_t kMaxAddressBytes = VKT_MFP_ADDRESS_UNITS - 1;
inline constexpr std::size_t kMaxNameBytes = 255;
inline constexpr std::size_t kMaxAnswerSize = kAnswerFixedSize + kMaxAddressBytes + kMaxNameBytes;
inline constexpr std::size_t kMaxAnswers = 256;
inline constexpr std::size_t kMaxSearchAddresses = 32;
inline constexpr std::uint16_t kDefaultSearchPort = 61000;
inline constexpr int kDefaultWaitMs = 2000;
inline constexpr int kMaxWaitMs = 30000;

std::array<std::uint8_t, kQuestionSize> BuildQuestion(std::uint32_t requestId);

struct Answer {
  std::string address;  // empty: the address the answer came from
  std::string name;     // clean UTF-8 (standin::IsCleanUtf8)
  std::uint16_t httpPort = 0;
};

// The answer to question |requestId|, or nothing when the datagram is not
// exactly one well-formed answer to it.
std::optional<Answer> ParseAnswer(const std::uint8_t* data, std::size_t size,
                                  std::uint32_t requestId);

// Fills |record| with both texts, the name cut to its field without
// splitting a surrogate pair, the rest of the record zero.
void FillRecord(VktMfpAddress& record, std::string_view address, std::string_view name);

struct Found {
  std::string address;
  std::string name;
};

// The MFPs of one search: one per address (the first answer wins), at most
// kMaxAnswers, handed out sorted by address (dotted IPv4 numerically, ahead
// of host names, which sort by their bytes).
class FoundSet {
 public:
  bool Add(std::string address, std::string name);
  std::vector<Found> Sorted() const;
  std::size_t size() const { return found_.size(); }

 private:
  std::vector<Found> found_;
};

// "a.b.c.d" to a host-order value; nothing for any other text.
std::optional<std::uint32_t> ParseIpv4(std::string_view text);

// YOMBA_SEARCH_ADDRESSES: comma-separated dotted IPv4 addresses, blanks
// around each allowed; bad entries are skipped, at most
// kMaxSearchAddresses are kept. Unset or blank: 127.0.0.1 only.
std::vector<std::uint32_t> SearchAddresses(const char* setting);
// YOMBA_WAIT_MS: 0 to kMaxWaitMs; unset or bad: kDefaultWaitMs.
int WaitMs(const char* setting);
// YOMBA_SEARCH_PORT (the port of the entry that takes none): 1 to 65535;
// unset or bad: kDefaultSearchPort.
std::uint16_t DefaultSearchPort(const char* setting);

}  // namespace yomba
