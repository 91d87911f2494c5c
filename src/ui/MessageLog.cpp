#include "ui/MessageLog.h"

#include <string>

namespace zar {

void MessageLog::add(int id, std::string_view extra) const { addTo(op_.currentPage(), id, extra); }

void MessageLog::addTo(Page page, int id, std::string_view extra) const {
  if (id == 0) {
    op_.appendMessage(page, extra);
    return;
  }
  std::string line = catalog_.text(id);
  line += extra;
  op_.appendMessage(page, line);
}

}  // namespace zar
