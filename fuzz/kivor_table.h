// The XML and HTTP library's function table as the program gets it, for the
// fuzzers that parse replies through it (linked with kivor_impl).
#pragma once

#include "kivor.h"

namespace fuzz {

inline const XmlHttpApi& KivorTable() {
  static const XmlHttpApi table = [] {
    XmlHttpApi t{};
    if (!GetHTTPXML(&t, sizeof t)) __builtin_trap();
    return t;
  }();
  return table;
}

}  // namespace fuzz
