// Fuzzes the PLC image reader and decompiler: any bytes as an image file.
// Every line the decompiler produces must be valid source again.
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "plc/PlcDecompiler.h"
#include "ui/MessageCatalog.h"
#include "ui/MessageLog.h"

using namespace zar;
using namespace zar::plc;

namespace {

class CheckingEditor : public Operator {
 public:
  PlcWorkspace* ws = nullptr;
  Page currentPage() const override { return Page::Plc; }
  void appendMessage(Page, std::string_view) override {}
  int showCatalogDialog(std::string_view, DialogType, const std::vector<ButtonKind>&, int) override { return 0; }
  void beep() override {}
  void processEvents() override {}
  std::vector<std::string> editorLines(Page) const override { return {}; }
  void setEditorLines(Page, const std::vector<std::string>&) override {}
  void appendEditorLine(Page, std::string_view line) override {
    PresetTable presets = ws->presets;
    AtmBlock atm = ws->header.atm;
    PlcInstruction ins;
    if (EncodeLine(line, ins, presets, atm) != psOk) std::abort();
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const MessageCatalog catalog;
  PlcWorkspace ws;
  CheckingEditor editor;
  editor.ws = &ws;
  const MessageLog log(catalog, editor);
  // Most inputs would die in the header; give half of them a valid one.
  std::string text;
  if (size > 0 && (data[0] & 1)) text.assign(320, '0');
  text.append(reinterpret_cast<const char*>(data), size);
  std::istringstream in(text);
  const PlcDecompileResult r = DecompilePlcImage(in, ws, log);
  switch (r.message) {
    case 173: case 174: case 208: case 231: case 232: break;
    default: std::abort();
  }
  return 0;
}
