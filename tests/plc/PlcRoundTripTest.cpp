// Property: for generated valid programs, decompiling the compiled image gives
// the canonical form of the source. The generator writes operands loosely
// (short or padded digits, lower-case hex, blanks, tabs, comments) and keeps
// its own expectation of the canonical text, including the sharing of
// presets by number and of one ATM block by every ATM-class line.
#include <cctype>
#include <cstdio>
#include <functional>
#include <map>
#include <optional>
#include <random>

#include "PlcTestSupport.h"

namespace zar::plc::test {
namespace {

struct Operand {
  std::string source;
  std::string canonical;
};

class Generator {
 public:
  explicit Generator(unsigned seed) : rng_(seed) {}

  int pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }
  bool chance(int percent) { return pick(1, 100) <= percent; }

  // A value written with the prefix and a random number of leading zeros;
  // canonically with the prefix and `width` digits.
  Operand number(const char* prefix, int value, int width, bool hex = false) {
    char digits[16], canon[24];
    std::snprintf(digits, sizeof digits, hex ? "%X" : "%d", value);
    std::string text = digits;
    const int maxDigits = hex ? 4 : 5;
    while (static_cast<int>(text.size()) < maxDigits && chance(30)) text.insert(0, "0");
    if (hex && chance(50))
      for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    std::snprintf(canon, sizeof canon, hex ? "%s%0*X" : "%s%0*d", prefix, width, value);
    return {prefix + text, canon};
  }

  // Relay addresses of the given areas ({lo, hi} pairs).
  Operand relay(std::initializer_list<std::pair<int, int>> areas) {
    const auto& a = *(areas.begin() + pick(0, static_cast<int>(areas.size()) - 1));
    int v;
    do v = pick(a.first / 100, a.second / 100) * 100 + pick(0, 15);
    while (v < a.first || v > a.second);
    return number("", v, 4);
  }
  Operand inputRelay() { return relay({{0, 2915}, {3000, 4915}, {5000, 5915}}); }
  Operand outputRelay() { return relay({{500, 1915}, {2009, 2011}, {4000, 4915}, {5500, 5915}}); }
  Operand internalRelay() { return relay({{1000, 1915}}); }
  Operand timerOrCounter() { return chance(50) ? number("T", pick(0, 63), 3) : number("C", pick(0, 63), 3); }
  Operand constant() { return chance(50) ? number("#", pick(0, 65535), 5) : number("$", pick(0, 65535), 4, true); }

  // One of the given operand makers.
  template <typename... F>
  Operand oneOf(F... makers) {
    std::function<Operand()> all[] = {makers...};
    return all[pick(0, static_cast<int>(sizeof...(F)) - 1)]();
  }

  // One instruction line: source tokens and the canonical text, with the
  // preset and ATM operands to be filled in once the whole program is known.
  struct Line {
    std::vector<std::string> tokens;
    std::string canonical;        // complete, or up to the preset / ATM operands
    std::optional<int> presetOf;  // timer/counter number
    std::string afterPreset;      // counter: the reset input
    bool atm = false;
  };

  Line instruction() {
    const PlcMnemonic& m = MnemonicTable()[pick(0, MnemonicCount() - 1)];
    Line line;
    line.tokens.emplace_back(m.name);
    line.canonical = m.name;
    auto add = [&](const Operand& o) {
      line.tokens.push_back(o.source);
      line.canonical += " " + o.canonical;
    };
    auto tm = [&](int max) { return [=, this] { return number("TM", pick(0, max), 2); }; };
    auto dm = [this] { return number("DM", pick(0, 499), 4); };
    auto dec = [this] { return number("#", pick(0, 65535), 5); };
    auto hex = [this] { return number("$", pick(0, 65535), 4, true); };
    auto tmConst = [this] { return number("#TM", pick(0, 29), 2); };
    auto tc = [this] { return timerOrCounter(); };
    auto in = [this] { return inputRelay(); };
    using OC = OperandClass;
    switch (m.cls) {
      case OC::None: break;
      case OC::Contact: add(oneOf(in, tc)); break;
      case OC::Coil: add(outputRelay()); break;
      case OC::SetReset: add(oneOf([this] { return outputRelay(); }, tc)); break;
      case OC::Edge: add(internalRelay()); break;
      case OC::Timer:
      case OC::Counter: {
        const int n = pick(0, 63);
        presets_[n] = pick(0, 65535);
        line.tokens.push_back(number("", n, 3).source);
        line.tokens.push_back(number("#", presets_[n], 5).source);
        line.canonical += " " + number("", n, 3).canonical;
        line.presetOf = n;
        if (m.cls == OC::Counter) {
          const Operand reset = inputRelay();
          line.tokens.push_back(reset.source);
          line.afterPreset = " " + reset.canonical;
        }
        break;
      }
      case OC::ShiftRegister: add(internalRelay()); add(internalRelay()); break;
      case OC::DataWord: add(constant()); add(dm()); break;
      case OC::Label: add(number("", pick(0, 255), 3)); break;
      case OC::Loop: add(oneOf(tm(29), dm, dec)); break;
      case OC::Load: add(oneOf(in, tc, tm(31), dm, dec, hex, tmConst)); break;
      case OC::Store:
        add(oneOf([this] { return relay({{500, 1915}, {4000, 4915}, {5500, 5915}}); }, tc, tm(29), dm,
                  tmConst));
        break;
      case OC::Arithmetic: add(oneOf(tm(31), dm, dec, hex, tmConst)); break;
      case OC::Logic: add(oneOf(in, tm(31), dm, dec, hex, tmConst)); break;
      case OC::Shift: {
        const int n = pick(1, 16);
        line.tokens.push_back(number("#", n, 2).source);
        line.canonical += " " + number("#", n, 2).canonical;
        break;
      }
      case OC::Increment: add(oneOf(tm(29), dm)); break;
      case OC::Atm: {
        const int first = pick(1, 99), second = pick(first, 99);
        const Operand a = number("", first, 2), b = number("", second, 2);
        const Operand o1 = outputRelay(), o2 = outputRelay();
        line.tokens.insert(line.tokens.end(), {a.source, b.source, o1.source, o2.source});
        atmText_ = " " + a.canonical + " " + b.canonical + " " + o1.canonical + " " + o2.canonical;
        line.atm = true;
        break;
      }
      case OC::DecodeByte: add(inputRelay()); add(number("#", pick(0, 255), 5)); break;
      case OC::Decode: add(inputRelay()); add(dec()); break;
    }
    return line;
  }

  std::string blanks() {
    std::string s(static_cast<size_t>(pick(1, 3)), ' ');
    if (chance(20)) s[0] = '\t';
    return s;
  }

  // A program: source lines and the canonical lines its image decompiles to.
  void program(std::vector<std::string>& source, std::vector<std::string>& canonical) {
    presets_.clear();
    atmText_.clear();
    std::vector<Line> lines;
    const int count = pick(1, 60);
    for (int i = 0; i < count; ++i) {
      if (chance(5)) source.push_back(chance(50) ? "" : "; remark " + std::to_string(i));
      if (chance(3)) {
        source.push_back("  ; blanks make a NOP");
        lines.push_back({{}, "NOP", {}, {}, false});
        continue;
      }
      Line line = instruction();
      std::string text = chance(20) ? blanks() : "";
      for (size_t t = 0; t < line.tokens.size(); ++t) text += (t ? blanks() : "") + line.tokens[t];
      if (chance(20)) text += chance(50) ? blanks() : ";c";
      source.push_back(text);
      lines.push_back(std::move(line));
    }
    for (const Line& l : lines) {
      std::string text = l.canonical;
      if (l.presetOf) text += " " + number("#", presets_[*l.presetOf], 5).canonical + l.afterPreset;
      if (l.atm) text += atmText_;
      canonical.push_back(text);
    }
  }

 private:
  std::mt19937 rng_;
  std::map<int, int> presets_;  // last preset written per number
  std::string atmText_;         // operands of the last ATM-class line
};

using PlcRoundTripTest = PlcTest;

TEST_F(PlcRoundTripTest, DecompiledImageIsTheCanonicalSource) {
  Generator gen(20240611);
  for (int program = 0; program < 400; ++program) {
    std::vector<std::string> source, canonical;
    gen.program(source, canonical);
    const auto r = compile(source);
    ASSERT_EQ(r.status, 0) << "program " << program << " line " << r.line << ": "
                           << source[static_cast<size_t>(r.line > 0 ? r.line - 1 : 0)];
    ASSERT_TRUE(r.imageWritten);
    op.editors[Page::Plc].clear();
    const auto d = DecompilePlcImage((dir / "prog.mcn").string(), ws, log);
    ASSERT_TRUE(d.ok()) << "program " << program << " message " << d.message << " at " << d.instruction;
    ASSERT_EQ(editor(), canonical) << "program " << program;
  }
}

}  // namespace
}  // namespace zar::plc::test
