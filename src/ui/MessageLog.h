#pragma once
// `AddMessage`: appends a catalog text plus an extra text as one line to the
// message area of the page the user is on; identifier 0 appends the extra
// text alone.

#include <string_view>

#include "ui/MessageCatalog.h"
#include "ui/Operator.h"

namespace zar {

class MessageLog {
 public:
  MessageLog(const MessageCatalog& catalog, Operator& op) : catalog_(catalog), op_(op) {}

  void add(int id, std::string_view extra = {}) const;
  // Appends message `id` (plus extra) to a given page, whatever page is shown.
  void addTo(Page page, int id, std::string_view extra = {}) const;

  const MessageCatalog& catalog() const { return catalog_; }
  Operator& op() const { return op_; }

 private:
  const MessageCatalog& catalog_;
  Operator& op_;
};

}  // namespace zar
