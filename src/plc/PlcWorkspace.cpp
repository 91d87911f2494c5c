#include "plc/PlcWorkspace.h"

namespace zar::plc {

PlcWorkspace& PlcWorkspace::process() {
  static PlcWorkspace workspace;
  return workspace;
}

}  // namespace zar::plc
