#include "wire.h"

#include <cstdio>

namespace tallow::mfpsim {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::optional<std::uint32_t> ParseId(std::string_view text) {
  std::string_view s = Trim(text);
  if (s.empty() || s.size() > 8) return std::nullopt;
  std::uint32_t value = 0;
  for (char c : s) {
    int d = HexDigit(c);
    if (d < 0) return std::nullopt;
    value = (value << 4) | static_cast<std::uint32_t>(d);
  }
  return value;
}

std::optional<std::int32_t> ParseNumber(std::string_view text) {
  std::string_view s = Trim(text);
  bool negative = false;
  if (!s.empty() && (s.front() == '-' || s.front() == '+')) {
    negative = s.front() == '-';
    s.remove_prefix(1);
  }
  if (s.empty() || s.size() > 10) return std::nullopt;
  std::int64_t value = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  if (negative) value = -value;
  if (value < INT32_MIN || value > INT32_MAX) return std::nullopt;
  return static_cast<std::int32_t>(value);
}

std::string FormatId(std::uint32_t value) {
  char buf[9];
  std::snprintf(buf, sizeof buf, "%08X", static_cast<unsigned>(value));
  return buf;
}

std::string XmlEscape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&apos;"; break;
      default: out += c;
    }
  }
  return out;
}

std::string LogSafe(std::string_view text, std::size_t limit) {
  std::string out;
  bool cut = text.size() > limit;
  if (cut) text = text.substr(0, limit);
  for (unsigned char c : text) {
    if (c < 0x20 || c == 0x7F || c == '\\') {
      char buf[5];
      std::snprintf(buf, sizeof buf, "\\x%02X", c);
      out += buf;
    } else {
      out += static_cast<char>(c);
    }
  }
  if (cut) out += "...";
  return out;
}

namespace {

std::string PercentDecode(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '%' && i + 2 < s.size()) {
      int hi = HexDigit(s[i + 1]);
      int lo = HexDigit(s[i + 2]);
      if (hi >= 0 && lo >= 0) {
        out += static_cast<char>(hi * 16 + lo);
        i += 2;
        continue;
      }
    }
    out += s[i];
  }
  return out;
}

}  // namespace

QueryParams ParseQuery(std::string_view target) {
  QueryParams params;
  std::size_t q = target.find('?');
  // A target without "?" has no query: its path is no parameter.
  if (q == std::string_view::npos) return params;
  std::string_view query = target.substr(q + 1);
  std::size_t hash = query.find('#');
  if (hash != std::string_view::npos) query = query.substr(0, hash);
  while (!query.empty()) {
    std::size_t amp = query.find('&');
    std::string_view part = query.substr(0, amp);
    query = amp == std::string_view::npos ? std::string_view{} : query.substr(amp + 1);
    if (part.empty()) continue;
    std::size_t eq = part.find('=');
    if (eq == std::string_view::npos) {
      params.emplace_back(PercentDecode(part), std::string{});
    } else {
      params.emplace_back(PercentDecode(part.substr(0, eq)), PercentDecode(part.substr(eq + 1)));
    }
  }
  return params;
}

std::optional<std::string> QueryValue(const QueryParams& params, std::string_view name) {
  for (const auto& [n, v] : params) {
    if (n == name) return v;
  }
  return std::nullopt;
}

}  // namespace tallow::mfpsim
