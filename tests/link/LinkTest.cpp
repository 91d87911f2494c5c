// The link primitives against a pseudo-terminal whose far end the test plays.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "link/Frames.h"
#include "link/Link.h"
#include "link/PortNames.h"
#include "link/PtyPair.h"
#include "support/NumberedCatalog.h"
#include "support/RecordingOperator.h"

namespace zar {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using test::PtyPair;
using test::RecordingOperator;

double secondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Catalog whose message n reads "#n:", so log lines show which message came.
MessageCatalog numberedCatalog() { return zar::test::numberedCatalog("#", ":", 200); }

class LinkTest : public ::testing::Test {
 protected:
  LinkTest()
      : dir(fs::temp_directory_path() / ("zar-link-" + std::to_string(::getpid()))),
        ports((fs::create_directories(dir / "dev"), dir.string()), (dir / "dev").string(),
              (dir / "sys").string()),
        catalog(numberedCatalog()),
        log(catalog, op),
        link(comm, settings(), log, &ports) {
    ports.overrideDevice(9, pty.path());
    ports.overrideDevice(10, pty.path());
  }
  ~LinkTest() override {
    comm.Close();
    fs::remove_all(dir);
  }
  static LinkSettings settings() {
    LinkSettings s;
    s.transitMode = 1;
    s.byteDelayMs = 0;
    return s;
  }
  void connect() {
    link.ConnectRS232(8);
    ASSERT_TRUE(comm.Enabled()) << link.lastOpenError();
    op.messages.clear();
  }
  std::vector<std::string>& lines(Page page = Page::Program) { return op.messages[page]; }

  PtyPair pty;
  fs::path dir;
  PortDirectory ports;
  RecordingOperator op;
  MessageCatalog catalog;
  MessageLog log;
  TComm comm;
  Link link;
};

TEST(LinkFrames, FixedAndFormedFramesByteForByte) {
  EXPECT_EQ(frames::kLineEnd, "\x0d\x0a");
  EXPECT_EQ(frames::kAck, std::string("\x06\x07\x01\x0d\x0a"));
  EXPECT_EQ(frames::kNak, std::string("\x15\x07\x07\x0d\x0a"));
  EXPECT_EQ(frames::kAttention, "\x24\x25\x0d\x0a");
  EXPECT_EQ(frames::kList, "\x24\x4c\x0d\x0a");
  EXPECT_EQ(frames::kStore, "\x24\x53\x0d\x0a");
  EXPECT_EQ(frames::kDelete, "\x24\x4b\x0d\x0a");
  EXPECT_EQ(frames::kDeleteConfirmed, "\x24\x56\x0d\x0a");
  EXPECT_EQ(frames::kParamReceive, "\x24\x50\x0d\x0a");
  EXPECT_EQ(frames::kParamSend, "\x24\x52\x0d\x0a");
  EXPECT_EQ(frames::kLon, "\x02\x4c\x4f\x4e\x03");
  EXPECT_EQ(frames::kLof, "\x02\x4c\x4f\x46\x03");
  EXPECT_EQ(frames::kSqr, "\x02\x53\x51\x52\x03");
  EXPECT_EQ(frames::kSqw, "\x02\x53\x51\x57\x03");
  EXPECT_EQ(frames::kFe, "\x02\x30\x30\x30\x31\x46\x45\x03");
  EXPECT_EQ(frames::kModelQuery, "\x02\x5a\x41\x52\x03");
  EXPECT_EQ(frames::kVersionQuery, "\x02\x56\x45\x52\x03");
  EXPECT_EQ(frames::slotFrame(7), "\x30\x37\x0d\x0a");
  EXPECT_EQ(frames::slotFrame(99), "99\r\n");
  EXPECT_EQ(frames::nameFrame("ABC"), "ABC     \r\n");
  EXPECT_EQ(frames::nameFrame("ABCDEFGHIJ"), "ABCDEFGH\r\n");
  EXPECT_EQ(frames::programLineFrame(12, "G00 X10"), "N12 G00 X10\r\n");
  EXPECT_EQ(frames::programLineFrame(1, "G01\nrest"), "N1 G01\r\n");
}

TEST(LinkNames, DeviceNamesByListIndex) {
  EXPECT_EQ(Link::deviceNameFor(0), "COM1");
  EXPECT_EQ(Link::deviceNameFor(8), "COM9");
  EXPECT_EQ(Link::deviceNameFor(9), "\\\\.\\COM10");
  EXPECT_EQ(Link::deviceNameFor(98), "\\\\.\\COM99");
  EXPECT_EQ(baudRateForSelector(1), br1200);
  EXPECT_EQ(baudRateForSelector(5), br19200);
  EXPECT_EQ(baudRateForSelector(0), br9600);
  EXPECT_EQ(baudRateForSelector(6), br9600);
}

TEST_F(LinkTest, ConnectNamesThePortAndReportsTheOutcome) {
  LinkSettings s = settings();
  s.baudSelector = 5;
  link.setSettings(s);
  link.ConnectRS232(8);
  ASSERT_TRUE(comm.Enabled());
  EXPECT_EQ(comm.DeviceName(), "COM9");
  EXPECT_EQ(comm.BaudRate(), br19200);
  EXPECT_EQ(comm.DataBits(), da8);
  EXPECT_EQ(comm.Parity(), paNone);
  // Named as opened: the COM name and the device behind it.
  EXPECT_EQ(lines(), (std::vector<std::string>{"#101:COM9 (" + pty.path() + ")"}));

  link.ConnectRS232(9);  // closes first, then COM10 with its prefix
  ASSERT_TRUE(comm.Enabled());
  EXPECT_EQ(lines().back(), "#101:\\\\.\\COM10 (" + pty.path() + ")");

  link.ConnectRS232(3);  // COM4 stands for nothing here
  EXPECT_FALSE(comm.Enabled());
  ASSERT_EQ(lines().size(), 4u);
  EXPECT_EQ(lines()[2], "#102:COM4");
  EXPECT_EQ(lines()[3], "COM4 is not assigned to a serial device (see Ports.ini).");
  EXPECT_EQ(link.lastOpenError(), lines()[3]);

  // A device path set for every connection is named alone, whatever the list index.
  lines().clear();
  link.setDevicePath(pty.path());
  link.ConnectRS232(3);
  ASSERT_TRUE(comm.Enabled());
  EXPECT_EQ(lines(), (std::vector<std::string>{"#101:" + pty.path()}));
}

TEST_F(LinkTest, ConnectExplainsABusyPort) {
  TComm other;
  other.SetDeviceName(pty.path());
  other.Open();
  ASSERT_TRUE(other.Enabled());
  link.ConnectRS232(8);
  EXPECT_FALSE(comm.Enabled());
  ASSERT_EQ(lines().size(), 2u);
  EXPECT_EQ(lines()[0], "#102:COM9 (" + pty.path() + ")");
  EXPECT_NE(lines()[1].find("in use"), std::string::npos);
}

TEST_F(LinkTest, SendTracesPerTransitMode) {
  connect();
  LinkSettings s = settings();
  s.sendTrace = true;
  link.setSettings(s);
  ASSERT_TRUE(link.TransStr(frames::kLon));  // mode 1: the frame text, no bytes
  ASSERT_TRUE(link.TransToZAR(frames::kAck));
  EXPECT_EQ(pty.receive(10), frames::kLon + frames::kAck);
  EXPECT_EQ(lines(), (std::vector<std::string>{"TRN: " + frames::kLon, "TRN: "}));

  s.transitMode = 0;
  s.byteDelayMs = 10;
  link.setSettings(s);
  lines().clear();
  const auto start = Clock::now();
  ASSERT_TRUE(link.TransToZAR(frames::nameFrame("ABC")));
  EXPECT_GE(secondsSince(start), 0.1);  // ten bytes, each followed by the delay
  EXPECT_EQ(pty.receive(10), "ABC     \r\n");
  ASSERT_TRUE(link.TransStr("$%\r\n"));
  EXPECT_EQ(pty.receive(4), "$%\r\n");
  EXPECT_EQ(lines(), (std::vector<std::string>{"TRN: 41 42 43 20 20 20 20 20 0d 0a ",
                                               "TRN: $%\r\n24 25 0d 0a "}));

  // A negative byte delay does not turn into a near-endless wait.
  s.byteDelayMs = -5;
  link.setSettings(s);
  const auto quick = Clock::now();
  ASSERT_TRUE(link.TransToZAR(frames::kAttention));
  EXPECT_LT(secondsSince(quick), 0.5);
}

TEST_F(LinkTest, ReceiveTerminatorsTraceAndLimit) {
  connect();
  LinkSettings s = settings();
  s.receiveTrace = true;
  link.setSettings(s);

  pty.send("ABC\r\n");
  ASSERT_TRUE(link.ReceiveFromZAR(Link::kReplyLimit, 1));
  EXPECT_EQ(link.reply(), "ABC\r\n");
  EXPECT_EQ(lines().back(), "RCV: 41 42 43 0d 0a ");

  pty.send("\x02OK\x03\xb2\n");  // complete at the ETX, which stays in the buffer
  ASSERT_TRUE(link.ReceiveFromZAR(Link::kReplyLimit, 1));
  EXPECT_EQ(link.reply(), "\x02OK\x03");
  ASSERT_TRUE(link.ReceiveFromZAR(Link::kReplyLimit, 1));
  EXPECT_EQ(link.reply(), "\xb2\n");
  EXPECT_EQ(lines().back(), "RCV: b2 0a ");

  const std::string longLine(80, 'x');
  pty.send(longLine + "\n");
  ASSERT_TRUE(link.ReceiveFromZAR(Link::kReplyLimit, 1));
  EXPECT_EQ(link.reply(), std::string(75, 'x'));
  ASSERT_TRUE(link.ReceiveFromZAR(Link::kReplyLimit, 1));
  EXPECT_EQ(link.reply(), "xxxxx\n");

  // A NUL ends the reply as the buffer is read, the trace included.
  pty.send(std::string("A\0B\n", 4));
  ASSERT_TRUE(link.ReceiveFromZAR(Link::kReplyLimit, 1));
  EXPECT_EQ(link.reply(), "A");
  EXPECT_EQ(link.replyBytes(), std::string("A\0B\n", 4));
  EXPECT_EQ(lines().back(), "RCV: 41 ");
  EXPECT_TRUE(comm.Enabled());
}

TEST_F(LinkTest, RefusalHandlingByPageAndReportFlag) {
  struct Case {
    Page page;
    int report;
    std::vector<std::string> expected;
    bool closes;
  };
  const Case cases[] = {
      {Page::Parameter, 1, {"#142:", "#107:"}, true},
      {Page::Program, 1, {"#122:", "#107:"}, true},
      {Page::Plc, 1, {"#162:", "#107:"}, true},
      {Page::None, 1, {"#107:"}, true},
      {Page::Parameter, 0, {}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.page) * 10 + c.report);
    connect();
    op.page = c.page;
    op.beeps = 0;
    pty.send(frames::kNak);
    EXPECT_FALSE(link.ReceiveFromZAR(Link::kReplyLimit, c.report));
    EXPECT_EQ(lines(c.page), c.expected);
    EXPECT_EQ(op.beeps, c.report == 1 ? 1 : 0);
    EXPECT_EQ(comm.Enabled(), !c.closes);
    op.page = Page::Program;
  }

  // The milder variant: only 122 on the program page, no beep, port stays open.
  connect();
  op.beeps = 0;
  pty.send(frames::kNak);
  EXPECT_FALSE(link.ReceiveZARProgNo(Link::kReplyLimit, 1));
  EXPECT_EQ(lines(), (std::vector<std::string>{"#122:"}));
  op.page = Page::Parameter;
  pty.send(frames::kNak);
  EXPECT_FALSE(link.ReceiveZARProgNo(Link::kReplyLimit, 1));
  EXPECT_TRUE(lines(Page::Parameter).empty());
  EXPECT_EQ(op.beeps, 0);
  EXPECT_TRUE(comm.Enabled());

  // Only the exact frame is a refusal.
  pty.send("X" + frames::kNak);
  EXPECT_TRUE(link.ReceiveFromZAR(Link::kReplyLimit, 1));
}

TEST_F(LinkTest, SilentControllerTimesOutWhileTheWindowStaysLive) {
  connect();
  const auto start = Clock::now();
  EXPECT_FALSE(link.ReceiveFromZAR(Link::kReplyLimit, 1));
  const double took = secondsSince(start);
  EXPECT_GE(took, 1.0);
  EXPECT_LT(took, 2.5);
  EXPECT_EQ(lines(), (std::vector<std::string>{"#103:", "#107:"}));
  EXPECT_EQ(op.beeps, 1);
  EXPECT_FALSE(comm.Enabled());
  EXPECT_GE(op.eventPumps, 10);  // pumped all along, not once per second
  EXPECT_TRUE(link.reply().empty());

  // On the closed port a send counts as sent and the next receive times out
  // (without 107: nothing left to close).
  lines().clear();
  EXPECT_TRUE(link.TransToZAR(frames::kAttention));
  const auto again = Clock::now();
  EXPECT_FALSE(link.ReceiveFromZAR(Link::kReplyLimit, 0));
  EXPECT_GE(secondsSince(again), 1.0);
  EXPECT_EQ(lines(), (std::vector<std::string>{"#103:"}));
}

TEST_F(LinkTest, ReplyTimeRunsFromTheStartOfTheOperation) {
  connect();
  LinkSettings s = settings();
  s.timeoutMs = 1000;
  link.setSettings(s);
  // Bytes keep coming, but the reply is not complete after a second of
  // silence once the time-out is over.
  std::thread peer([&] {
    std::this_thread::sleep_for(300ms);
    pty.send("AB");
    std::this_thread::sleep_for(300ms);
    pty.send("CD");
  });
  const auto start = Clock::now();
  EXPECT_FALSE(link.ReceiveFromZAR(Link::kReplyLimit, 1));
  peer.join();
  const double took = secondsSince(start);
  EXPECT_GE(took, 1.5);  // the last byte at 0.6 s, then one silent read attempt
  EXPECT_LT(took, 3.0);
  EXPECT_EQ(lines().front(), "#103:");
}

TEST_F(LinkTest, DialogueWithAPeerThread) {
  connect();
  std::thread peer([&] {
    if (pty.receive(4) != frames::kAttention) return;
    std::this_thread::sleep_for(150ms);
    pty.send(frames::kAttention);
    if (pty.receive(4) != frames::kList) return;
    pty.send("O0007 DEMO\r\n");
  });
  op.eventPumps = 0;
  ASSERT_TRUE(link.TransToZAR(frames::kAttention));
  ASSERT_TRUE(link.ReceiveFromZAR(Link::kReplyLimit, 0));
  EXPECT_EQ(link.reply(), frames::kAttention);
  EXPECT_GE(op.eventPumps, 3);  // the 150 ms wait pumped events
  ASSERT_TRUE(link.TransToZAR(frames::kList));
  ASSERT_TRUE(link.ReceiveFromZAR(Link::kReplyLimit, 1));
  EXPECT_EQ(link.reply(), "O0007 DEMO\r\n");
  peer.join();
  link.closeLink();
  EXPECT_EQ(lines(), (std::vector<std::string>{"#107:"}));
  link.closeLink();  // closed already: nothing more
  EXPECT_EQ(lines().size(), 1u);
}

TEST_F(LinkTest, HangUpFailsSendAndReceiveAtOnce) {
  connect();
  std::thread peer([&] {
    std::this_thread::sleep_for(100ms);
    pty.hangUp();
  });
  const auto start = Clock::now();
  EXPECT_FALSE(link.ReceiveFromZAR(Link::kReplyLimit, 0));  // even where a reply is not required
  peer.join();
  EXPECT_LT(secondsSince(start), 0.5);
  EXPECT_EQ(lines(), (std::vector<std::string>{std::string(Link::kHungUpText), "#107:"}));
  EXPECT_EQ(op.beeps, 1);

  // Reconnected to a line that is gone: the write fails, the port closes.
  PtyPair second;
  ports.overrideDevice(9, second.path());
  connect();
  second.hangUp();
  EXPECT_FALSE(link.TransToZAR(frames::kAttention));
  EXPECT_EQ(lines(), (std::vector<std::string>{std::string(Link::kHungUpText), "#107:"}));
  EXPECT_FALSE(comm.Enabled());
}

TEST_F(LinkTest, CancelStopsEveryPrimitiveAndIsReportedOnce) {
  connect();
  // Requested from another thread while a reply is awaited: the wait ends
  // within a pump interval, the port closes.
  std::thread canceller([&] {
    std::this_thread::sleep_for(100ms);
    link.requestCancel();
  });
  const auto start = Clock::now();
  EXPECT_FALSE(link.ReceiveFromZAR(Link::kReplyLimit, 1));
  canceller.join();
  EXPECT_LT(secondsSince(start), 0.3);
  EXPECT_FALSE(comm.Enabled());
  EXPECT_TRUE(link.cancelled());

  // From then on nothing opens, nothing goes out, nothing more is said.
  link.ConnectRS232(8);
  EXPECT_FALSE(comm.Enabled());
  EXPECT_FALSE(link.TransToZAR(frames::kAttention));
  EXPECT_FALSE(link.pause(5000));
  EXPECT_EQ(lines(), (std::vector<std::string>{std::string(Link::kCancelledText), "#107:"}));
  EXPECT_EQ(op.beeps, 0);

  // The request ends with the dialogue that saw it.
  { DialogueGuard dialogue(link); }
  EXPECT_FALSE(link.cancelRequested());
  EXPECT_FALSE(link.cancelled());
  connect();
  ASSERT_TRUE(link.TransToZAR(frames::kAttention));
  EXPECT_EQ(pty.receive(4), frames::kAttention);
}

TEST_F(LinkTest, OneDialogueAtATime) {
  EXPECT_FALSE(link.busy());
  {
    DialogueGuard first(link);
    EXPECT_TRUE(first);
    EXPECT_TRUE(link.busy());
    DialogueGuard second(link);
    EXPECT_FALSE(second.acquired());
    EXPECT_TRUE(link.busy());
  }
  EXPECT_FALSE(link.busy());
  DialogueGuard third(link);
  EXPECT_TRUE(third);
}

}  // namespace
}  // namespace zar
