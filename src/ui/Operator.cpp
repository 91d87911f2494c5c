#include "ui/Operator.h"

namespace zar {

int dialogResultOf(ButtonKind kind) {
  static constexpr int results[] = {mrYes, mrNo, mrOk, mrCancel, mrAbort, mrRetry,
                                    mrIgnore, mrAll, mrNoToAll, mrYesToAll, mrNone};
  return results[static_cast<int>(kind)];
}

bool Operator::confirm(std::string_view text, DialogType type) {
  return showCatalogDialog(text, type, {ButtonKind::OK, ButtonKind::Cancel}, 0) == mrOk;
}

}  // namespace zar
