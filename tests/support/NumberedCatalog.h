#pragma once
// A catalog for tests whose message n reads <before>n<after> (e.g. "#101:"),
// so a log line shows which message came.

#include <string>
#include <string_view>

#include "ui/MessageCatalog.h"

namespace zar::test {

inline MessageCatalog numberedCatalog(std::string_view before, std::string_view after, int count) {
  std::string text;
  for (int n = 1; n <= count; ++n)
    text += "M" + std::to_string(n) + " " + std::string(before) + std::to_string(n) + std::string(after) + "\r\n";
  MessageCatalog catalog;
  catalog.loadText(text);
  return catalog;
}

}  // namespace zar::test
