// What a serial device server sends: decoding never fails badly, gives the
// same data and events however the input is cut, and escaped data comes back
// as it went.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "link/Rfc2217.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace zar::telnet;
  const std::string_view input(reinterpret_cast<const char*>(data), size);

  Decoder whole;
  std::string wholeData;
  std::vector<Event> wholeEvents;
  whole.feed(input, wholeData, wholeEvents);
  if (wholeData.size() > input.size()) std::abort();

  Decoder pieces;
  std::string pieceData;
  std::vector<Event> pieceEvents;
  const size_t step = size ? (data[0] % 7) + 1 : 1;
  for (size_t at = 0; at < input.size(); at += step) pieces.feed(input.substr(at, step), pieceData, pieceEvents);
  if (pieceData != wholeData || pieceEvents != wholeEvents) std::abort();

  Decoder plain;
  std::string back;
  std::vector<Event> none;
  plain.feed(escapeData(input), back, none);
  if (back != input || !none.empty()) std::abort();

  Negotiator n;
  n.opening();
  for (const Event& e : wholeEvents)
    if (e.kind == Event::Kind::Negotiation && n.answer(e.verb, e.option).size() > 3) std::abort();
  return 0;
}
