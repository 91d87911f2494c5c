// The Telnet / COM port option pieces, byte for byte against the layouts the
// servers use.
#include <gtest/gtest.h>

#include "link/Rfc2217.h"

namespace zar::telnet {
namespace {

std::string bytes(std::initializer_list<int> list) {
  std::string s;
  for (int b : list) s += static_cast<char>(b);
  return s;
}

struct Fed {
  std::string data;
  std::vector<Event> events;
};

Fed feedAll(Decoder& d, std::initializer_list<std::string> pieces) {
  Fed f;
  for (const std::string& p : pieces) d.feed(p, f.data, f.events);
  return f;
}

TEST(TelnetEncode, CommandsAndComPortValuesHaveTheirLayouts) {
  EXPECT_EQ(command(kWill, kOptComPort), bytes({255, 251, 44}));
  EXPECT_EQ(command(kDo, kOptBinary), bytes({255, 253, 0}));
  // 19200 = 0x00004B00, network order.
  EXPECT_EQ(setBaudRate(19200), bytes({255, 250, 44, 1, 0, 0, 0x4B, 0, 255, 240}));
  EXPECT_EQ(setByteValue(kSetDataSize, 8), bytes({255, 250, 44, 2, 8, 255, 240}));
  EXPECT_EQ(setByteValue(kSetParity, kParityEven), bytes({255, 250, 44, 3, 3, 255, 240}));
  EXPECT_EQ(setByteValue(kSetStopSize, kStop2), bytes({255, 250, 44, 4, 2, 255, 240}));
  EXPECT_EQ(setByteValue(kSetControl, kDtrOn), bytes({255, 250, 44, 5, 8, 255, 240}));
  EXPECT_EQ(setByteValue(kSetControl, kRtsOff), bytes({255, 250, 44, 5, 12, 255, 240}));
  EXPECT_EQ(setByteValue(kPurgeData, kPurgeBoth), bytes({255, 250, 44, 12, 3, 255, 240}));
}

TEST(TelnetEncode, IacBytesAreDoubledInDataAndInValues) {
  EXPECT_EQ(escapeData(bytes({'A', 255, 'B', 255, 255})), bytes({'A', 255, 255, 'B', 255, 255, 255, 255}));
  EXPECT_EQ(escapeData("plain\r\n"), "plain\r\n");
  // A rate with an 0xFF byte in it: 0x0001C2FF.
  EXPECT_EQ(setBaudRate(0x0001C2FF), bytes({255, 250, 44, 1, 0, 1, 0xC2, 255, 255, 255, 240}));
}

TEST(TelnetDecode, DataIacIacAndEventsSplitAnywhere) {
  // Data, an escaped 0xFF, DO COM-PORT, the SET-BAUDRATE answer with an
  // escaped 0xFF in its value, then data: cut at every possible place.
  const std::string wire = bytes({'$', 255, 255, 'x', 255, 253, 44, 255, 250, 44, 101, 0, 1, 0xC2, 255,
                                  255, 255, 240, '\r', '\n'});
  for (size_t cut1 = 0; cut1 <= wire.size(); ++cut1) {
    for (size_t cut2 = cut1; cut2 <= wire.size(); ++cut2) {
      Decoder d;
      const Fed f = feedAll(d, {wire.substr(0, cut1), wire.substr(cut1, cut2 - cut1), wire.substr(cut2)});
      ASSERT_EQ(f.data, bytes({'$', 255, 'x', '\r', '\n'})) << cut1 << "/" << cut2;
      ASSERT_EQ(f.events.size(), 2u);
      EXPECT_EQ(f.events[0].kind, Event::Kind::Negotiation);
      EXPECT_EQ(f.events[0].verb, kDo);
      EXPECT_EQ(f.events[0].option, kOptComPort);
      EXPECT_EQ(f.events[1].kind, Event::Kind::ComPort);
      EXPECT_EQ(f.events[1].command, kSetBaudRate + kServerOffset);
      EXPECT_EQ(f.events[1].baudRate(), 0x0001C2FFu);
    }
  }
}

TEST(TelnetDecode, ModemNotificationOtherOptionsAndNoise) {
  Decoder d;
  Fed f = feedAll(d, {bytes({255, 250, 44, 107, 0x30, 255, 240}),      // NOTIFY-MODEMSTATE CTS+DSR
                      bytes({255, 250, 24, 1, 255, 240}),              // terminal type: not ours, ignored
                      bytes({255, 241, 'a'}),                          // NOP, then data
                      bytes({255, 250, 44, 101, 1, 2, 255, 'z', 'b'})});  // broken framing inside SB
  EXPECT_EQ(f.data, "ab");
  ASSERT_EQ(f.events.size(), 1u);
  EXPECT_EQ(f.events[0].command, kNotifyModemState + kServerOffset);
  EXPECT_EQ(f.events[0].value, bytes({0x30}));
  EXPECT_EQ(f.events[0].baudRate(), 0u);  // not four bytes
}

TEST(TelnetDecode, OverlongSubnegotiationIsDroppedNotKept) {
  Decoder d;
  std::string wire = bytes({255, 250, 44, 101});
  wire += std::string(10000, 'x');
  wire += bytes({255, 240, 'o', 'k'});
  const Fed f = feedAll(d, {wire});
  EXPECT_EQ(f.data, "ok");
  EXPECT_TRUE(f.events.empty());
}

TEST(TelnetDecode, CrNulIsStrippedOnlyWhenAsked) {
  Decoder plain;
  EXPECT_EQ(feedAll(plain, {bytes({'\r', 0, 'a'})}).data, bytes({'\r', 0, 'a'}));
  Decoder nvt;
  nvt.setStripCrNul(true);
  EXPECT_EQ(feedAll(nvt, {bytes({'\r'}), bytes({0, 'a', 0, '\r', '\n'})}).data, bytes({'\r', 'a', 0, '\r', '\n'}));
}

TEST(TelnetNegotiation, AgreementRefusalAndNoLoops) {
  Negotiator n;
  EXPECT_EQ(n.opening(), command(kWill, kOptBinary) + command(kWill, kOptSuppressGoAhead) +
                             command(kWill, kOptComPort) + command(kDo, kOptBinary) +
                             command(kDo, kOptSuppressGoAhead));
  // Answers to our own requests are not answered again.
  EXPECT_EQ(n.answer(kDo, kOptComPort), "");
  EXPECT_TRUE(n.comPortAccepted());
  EXPECT_EQ(n.answer(kWill, kOptBinary), "");
  EXPECT_TRUE(n.remoteBinary());
  EXPECT_EQ(n.answer(kDo, kOptComPort), "");  // repeated: still nothing
  // Options we do not do are declined once per request.
  EXPECT_EQ(n.answer(kDo, 24), command(kWont, 24));
  EXPECT_EQ(n.answer(kWill, 1), command(kDont, 1));  // echo
  // A server turning binary off later is acknowledged.
  EXPECT_EQ(n.answer(kWont, kOptBinary), command(kDont, kOptBinary));
  EXPECT_FALSE(n.remoteBinary());
  EXPECT_EQ(n.answer(kWont, kOptBinary), "");

  Negotiator refused;
  refused.opening();
  EXPECT_EQ(refused.answer(kDont, kOptComPort), "");
  EXPECT_TRUE(refused.comPortRefused());
  EXPECT_FALSE(refused.comPortAccepted());
}

TEST(TelnetNegotiation, ServerAskingFirstIsAgreedOnce) {
  Negotiator n;  // no opening sent yet
  EXPECT_EQ(n.answer(kDo, kOptComPort), command(kWill, kOptComPort));
  EXPECT_EQ(n.answer(kDo, kOptComPort), "");
  EXPECT_EQ(n.answer(kWill, kOptSuppressGoAhead), command(kDo, kOptSuppressGoAhead));
}

}  // namespace
}  // namespace zar::telnet
