#include "answer.h"

#include <algorithm>
#include <cstring>
#include <tuple>

#include "utf.h"

namespace yomba {

namespace {

std::uint32_t ReadBe32(const std::uint8_t* p) {
  return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
         std::uint32_t{p[3]};
}

bool HasHeader(const std::uint8_t* data, std::size_t size, std::uint8_t kind) {
  return size >= kQuestionSize && std::equal(kMagic.begin(), kMagic.end(), data) &&
         data[4] == kVersion && data[5] == kind;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// A decimal number in [lo, hi], or nothing.
std::optional<long> ParseNumber(const char* setting, long lo, long hi) {
  if (!setting) return std::nullopt;
  std::string_view s = Trim(setting);
  if (s.empty() || s.size() > 9) return std::nullopt;
  long v = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return std::nullopt;
    v = v * 10 + (c - '0');
  }
  if (v < lo || v > hi) return std::nullopt;
  return v;
}

}  // namespace

std::array<std::uint8_t, kQuestionSize> BuildQuestion(std::uint32_t requestId) {
  return {kMagic[0],
          kMagic[1],
          kMagic[2],
          kMagic[3],
          kVersion,
          kKindQuestion,
          0,
          0,
          static_cast<std::uint8_t>(requestId >> 24),
          static_cast<std::uint8_t>(requestId >> 16),
          static_cast<std::uint8_t>(requestId >> 8),
          static_cast<std::uint8_t>(requestId)};
}

std::optional<Answer> ParseAnswer(const std::uint8_t* data, std::size_t size,
                                  std::uint32_t requestId) {
  if (!data || size < kAnswerFixedSize || size > kMaxAnswerSize) return std::nullopt;
  if (!HasHeader(data, size, kKindAnswer) || ReadBe32(data + 8) != requestId) return std::nullopt;
  Answer a;
  a.httpPort = static_cast<std::uint16_t>((data[12] << 8) | data[13]);
  if (a.httpPort == 0) return std::nullopt;
  const std::size_t addressLength = data[14];
  if (addressLength > kMaxAddressBytes) return std::nullopt;
  // The fixed part holds both length bytes, so the name length lies inside.
  const std::size_t nameLengthAt = 15 + addressLength;
  if (nameLengthAt >= size) return std::nullopt;
  const std::size_t nameLength = data[nameLengthAt];
  if (kAnswerFixedSize + addressLength + nameLength != size) return std::nullopt;

  a.address.assign(reinterpret_cast<const char*>(data + 15), addressLength);
  for (char c : a.address) {
    if (c < 0x21 || c > 0x7E) return std::nullopt;
  }
  a.name.assign(reinterpret_cast<const char*>(data + nameLengthAt + 1), nameLength);
  if (!standin::IsCleanUtf8(a.name)) return std::nullopt;
  return a;
}

void FillRecord(VktMfpAddress& record, std::string_view address, std::string_view name) {
  std::memset(&record, 0, sizeof record);
  standin::CopyToField(record.address, VKT_MFP_ADDRESS_UNITS, standin::FromUtf8(address));
  standin::CopyToField(record.name, VKT_MFP_NAME_UNITS, standin::FromUtf8(name));
}

bool FoundSet::Add(std::string address, std::string name) {
  if (address.empty() || found_.size() >= kMaxAnswers) return false;
  for (const Found& f : found_) {
    if (f.address == address) return false;
  }
  found_.push_back({std::move(address), std::move(name)});
  return true;
}

std::vector<Found> FoundSet::Sorted() const {
  std::vector<Found> out = found_;
  auto key = [](const Found& f) {
    std::optional<std::uint32_t> v = ParseIpv4(f.address);
    return std::make_tuple(!v.has_value(), v.value_or(0), std::string_view(f.address));
  };
  std::sort(out.begin(), out.end(), [&](const Found& a, const Found& b) { return key(a) < key(b); });
  return out;
}

std::optional<std::uint32_t> ParseIpv4(std::string_view text) {
  std::uint32_t value = 0;
  for (int part = 0; part < 4; ++part) {
    if (part > 0) {
      if (text.empty() || text.front() != '.') return std::nullopt;
      text.remove_prefix(1);
    }
    std::size_t digits = 0;
    std::uint32_t octet = 0;
    while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9') {
      octet = octet * 10 + static_cast<std::uint32_t>(text[digits] - '0');
      if (++digits > 3) return std::nullopt;
    }
    // No leading zeros: "010" is octal to some readers.
    if (digits == 0 || octet > 255 || (digits > 1 && text[0] == '0')) return std::nullopt;
    text.remove_prefix(digits);
    value = (value << 8) | octet;
  }
  if (!text.empty()) return std::nullopt;
  return value;
}

std::vector<std::uint32_t> SearchAddresses(const char* setting) {
  constexpr std::uint32_t kLoopback = 0x7F000001;
  if (!setting || Trim(setting).empty()) return {kLoopback};
  std::vector<std::uint32_t> out;
  std::string_view rest = setting;
  while (!rest.empty() && out.size() < kMaxSearchAddresses) {
    const std::size_t comma = rest.find(',');
    std::string_view item = Trim(rest.substr(0, comma));
    rest = comma == std::string_view::npos ? std::string_view{} : rest.substr(comma + 1);
    std::optional<std::uint32_t> a = ParseIpv4(item);
    if (a && std::find(out.begin(), out.end(), *a) == out.end()) out.push_back(*a);
  }
  return out;
}

int WaitMs(const char* setting) {
  return static_cast<int>(ParseNumber(setting, 0, kMaxWaitMs).value_or(kDefaultWaitMs));
}

std::uint16_t DefaultSearchPort(const char* setting) {
  return static_cast<std::uint16_t>(ParseNumber(setting, 1, 65535).value_or(kDefaultSearchPort));
}

}  // namespace yomba
