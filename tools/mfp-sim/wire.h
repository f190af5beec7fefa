// Small text helpers of the box protocol's wire format: the id and number
// forms, XML escaping and the query string.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tallow::mfpsim {

// Id form: 1 to 8 hexadecimal digits of either case, blanks around them.
std::optional<std::uint32_t> ParseId(std::string_view text);
// Number form: optional sign and 1 to 10 decimal digits fitting 32 bits,
// blanks around them.
std::optional<std::int32_t> ParseNumber(std::string_view text);

// "%08X".
std::string FormatId(std::uint32_t value);

std::string XmlEscape(std::string_view text);

// Makes a value printable on one log line: control bytes become \xNN, and
// anything beyond |limit| bytes is replaced by "...".
std::string LogSafe(std::string_view text, std::size_t limit = 200);

using QueryParams = std::vector<std::pair<std::string, std::string>>;

// Splits the query part of a request target ("/path?a=1&b=2") into
// percent-decoded pairs, keeping their order; a target without "?" has none.
// A "+" stays a "+": the client encodes by RFC 3986, not as a form.
QueryParams ParseQuery(std::string_view target);

// The first value of |name|, if any.
std::optional<std::string> QueryValue(const QueryParams& params, std::string_view name);

}  // namespace tallow::mfpsim
