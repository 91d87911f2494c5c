// The program send, receive and delete dialogues on the wire, byte for byte,
// against the virtual controller.
#include <gtest/gtest.h>

#include <functional>
#include <utility>

#include "nc/TransferRig.h"

namespace zar::nc {
namespace {

namespace f = zar::frames;
using controller::Fault;
using controller::Program;
using test::msg;
using test::Rig;
using V = std::vector<std::string>;

TEST(ProgramSend, X02DeletesTheHeldProgramFirstThenSendsEveryLine) {
  Rig rig;
  ASSERT_TRUE(rig.startError.empty()) << rig.startError;
  rig.ctrl.setProgram(5, {"OLD", {"G00 X0", "M30"}});
  rig.editor() = {"G00 X0", "", "M30"};
  rig.page.slot = 5;
  rig.page.progName = "NEW";

  EXPECT_EQ(rig.transfer.TransBtnClick(rig.page), TransferOutcome::Done);

  EXPECT_EQ(rig.frames(15), (V{f::kAttention, f::kList, "05\r\n", f::kAck,                   // slot query
                               f::kAttention, f::kDelete, "05\r\n", "OLD     \r\n",          // deletion
                               f::kAttention, f::kStore, "05\r\n", "NEW     \r\n",           // sending
                               "N1 G00 X0\r\n", "N2 \r\n", "N3 M30\r\n"}));
  EXPECT_EQ(rig.ctrl.program(5), (Program{"NEW", {"G00 X0", "", "M30"}}));
  EXPECT_EQ(rig.page.tmpProgName, "OLD");
  EXPECT_EQ(rig.log_(), (V{rig.opened(), msg(108), msg(107),                         //
                           rig.opened(), msg(127), msg(128),                          //
                           msg(107), rig.opened(), msg(105), "N1 G00 X0", "N2 ", "N3 M30", msg(106), msg(107)}));
  ASSERT_EQ(rig.op.dialogs.size(), 2u);
  EXPECT_EQ(rig.op.dialogs[0].text, "#123:\n\n#14::05\n#15::NEW");
  EXPECT_EQ(rig.op.dialogs[1].text, "#130:\n\n#14::05\n#15::OLD");
  EXPECT_EQ(rig.op.dialogs[0].type, DialogType::Confirmation);
  EXPECT_EQ(rig.op.dialogs[0].buttons, (std::vector<ButtonKind>{ButtonKind::OK, ButtonKind::Cancel}));
  EXPECT_EQ(rig.op.beeps, 1);
  EXPECT_FALSE(rig.comm.Enabled());
  EXPECT_EQ(rig.editor(), (V{"G00 X0", "", "M30"}));
}

// An operator whose editor is changed while the send echoes line 2, as a
// handler run by the event pump could change it.
class EditorChangedMidSend : public zar::test::RecordingOperator {
 public:
  void appendMessage(Page p, std::string_view line) override {
    RecordingOperator::appendMessage(p, line);
    if (line.starts_with("N2 ")) editors[Page::Program] = {"X9"};
  }
};

TEST(ProgramSend, TheProgramIsTakenOnceWhenTheSendStarts) {
  controller::VirtualController ctrl;
  ASSERT_TRUE(ctrl.start());
  EditorChangedMidSend op;
  const MessageCatalog catalog = test::numberedCatalog();
  const MessageLog log{catalog, op};
  TComm comm;
  comm.SetPathResolver([path = ctrl.devicePath()](const std::string& n) { return n == "COM2" ? path : ""; });
  Link link(comm, test::fastSettings(), log);
  ProgramTransfer transfer(link, log);
  ProgramPage page;
  page.comIndex = 1;
  page.slot = 8;
  page.progName = "WHOLE";
  op.editors[Page::Program] = {"G00 X0", "G01 X1", "G01 X2", "G01 X3", "M30"};

  EXPECT_EQ(transfer.TransBtnClick(page), TransferOutcome::Done);
  EXPECT_EQ(ctrl.program(8), (Program{"WHOLE", {"G00 X0", "G01 X1", "G01 X2", "G01 X3", "M30"}}));
  EXPECT_EQ(op.editors[Page::Program], (V{"X9"}));  // changed, but after the send took it
  comm.Close();
  ctrl.stop();
}

TEST(ProgramSend, RefusedSlotQuerySendsAtOnceWithEmptyLinesAsPrefixAlone) {
  Rig rig;  // slot 7 is empty: the controller refuses the slot query
  rig.editor() = {"A", "", "B"};
  rig.page.slot = 7;
  rig.page.progName = "ABCDEFGH";  // 8 characters: no blanks added

  EXPECT_EQ(rig.transfer.TransBtnClick(rig.page), TransferOutcome::Done);
  EXPECT_EQ(rig.frames(10), (V{f::kAttention, f::kList, "07\r\n",                       //
                               f::kAttention, f::kStore, "07\r\n", "ABCDEFGH\r\n",        //
                               "N1 A\r\n", "N2 \r\n", "N3 B\r\n"}));
  EXPECT_EQ(rig.log_(), (V{rig.opened(), msg(108), msg(107), rig.opened(), msg(105), "N1 A", "N2 ", "N3 B", msg(106),
                           msg(107)}));
  EXPECT_EQ(rig.op.dialogs.size(), 1u);  // no question 130
}

// A send that stops once the controller began storing says, last, how many
// lines the slot holds; one that stops before leaves nothing to say.
TEST(ProgramSend, ASendThatStopsPartWaySaysTheSlotHoldsTheFirstLinesOnly) {
  const V program{"G00 X0", "G01 X1", "G01 X2", "G01 X3", "M30"};
  {
    Rig rig;  // slot 7 is empty: no deletion first
    rig.ctrl.addFault(Fault::nak("store.line:3"));
    rig.editor() = program;
    rig.page.slot = 7;
    rig.page.progName = "NEW";
    EXPECT_EQ(rig.transfer.TransBtnClick(rig.page), TransferOutcome::Refused);
    EXPECT_EQ(rig.ctrl.program(7), (Program{"NEW", {"G00 X0", "G01 X1"}}));
    const std::string note = "Slot 07 holds only the first 2 of the program's 5 lines: do not run it, send it again.";
    EXPECT_EQ(rig.transfer.partialSendNote(), note);
    const V& log = rig.log_();
    ASSERT_GE(log.size(), 3u);
    EXPECT_EQ((V(log.end() - 3, log.end())), (V{msg(122), msg(107), note}));

    // The next send is whole: nothing to say.
    EXPECT_EQ(rig.transfer.TransBtnClick(rig.page), TransferOutcome::Done);
    EXPECT_EQ(rig.transfer.partialSendNote(), "");
    EXPECT_EQ(rig.log_().back(), msg(107));
  }
  {
    // No names: storing begins with the slot frame. The line hangs up
    // instead of answering line 1, which may have been stored or not.
    Rig rig(test::x00Config());
    rig.ctrl.addFault(Fault::hangup("store.line:1"));
    rig.editor() = program;
    rig.page.slot = 7;
    rig.page.typeIndex = kTypeX00;
    EXPECT_EQ(rig.transfer.TransBtnClick(rig.page), TransferOutcome::LinkFailed);
    EXPECT_EQ(rig.log_().back(),
              "Slot 07 holds none (or the first) of the program's 5 lines: do not run it, send it again.");
  }
  for (const char* step : {"store", "store.slot", "store.name"}) {
    SCOPED_TRACE(step);
    Rig rig;
    rig.ctrl.setProgram(7, {"OLD", {"X1"}});
    rig.op.answers = {mrOk, mrCancel};  // no deletion: the old program stays
    rig.ctrl.addFault(Fault::nak(step));
    rig.editor() = program;
    rig.page.slot = 7;
    rig.page.progName = "NEW";
    EXPECT_EQ(rig.transfer.TransBtnClick(rig.page), TransferOutcome::Refused);
    EXPECT_EQ(rig.ctrl.program(7), (Program{"OLD", {"X1"}}));
    EXPECT_EQ(rig.transfer.partialSendNote(), "");
    EXPECT_EQ(rig.log_().back(), msg(107));
  }
}

// Clicks, from the event pump, while the reply to program line 2 is awaited.
class ClickingWhileWaiting : public zar::test::RecordingOperator {
 public:
  std::function<void()> click;
  void appendMessage(Page p, std::string_view line) override {
    RecordingOperator::appendMessage(p, line);
    armed = armed || line.starts_with("N2 ");
  }
  void processEvents() override {
    RecordingOperator::processEvents();
    if (armed && click) std::exchange(click, nullptr)();
  }

 private:
  bool armed = false;
};

TEST(ProgramSend, ClicksWhileASendRunsAreBusyAndLeaveItsNoteAlone) {
  controller::VirtualController ctrl;
  ctrl.addFault(Fault::nak("store.line:3"));
  ASSERT_TRUE(ctrl.start());
  ClickingWhileWaiting op;
  const MessageCatalog catalog = test::numberedCatalog();
  const MessageLog log{catalog, op};
  TComm comm;
  comm.SetPathResolver([path = ctrl.devicePath()](const std::string& n) { return n == "COM2" ? path : ""; });
  Link link(comm, test::fastSettings(), log);
  ProgramTransfer transfer(link, log);
  ProgramPage page;
  page.comIndex = 1;
  page.slot = 7;
  op.editors[Page::Program] = {"G00 X0", "G01 X1", "G01 X2", "M30"};
  TransferOutcome second = TransferOutcome::Done, third = TransferOutcome::Done;
  op.click = [&] {
    ProgramPage other = page;
    second = transfer.TransBtnClick(other);
    third = transfer.RcvBtnClick(other);
  };

  EXPECT_EQ(transfer.TransBtnClick(page), TransferOutcome::Refused);
  EXPECT_EQ(second, TransferOutcome::Busy);
  EXPECT_EQ(third, TransferOutcome::Busy);
  const std::string note = partialSendText(7, 2, 4, false);
  EXPECT_EQ(transfer.partialSendNote(), note);
  EXPECT_EQ(op.messages[Page::Program].back(), note);
  comm.Close();
  ctrl.stop();
}

TEST(ProgramSend, X00SendsNoNameButTheDeletionStillDoes) {
  Rig rig(test::x00Config());
  rig.ctrl.setProgram(5, {"", {"G01 Y2", "M30"}});
  rig.editor() = {"M02"};
  rig.page.slot = 5;
  rig.page.typeIndex = kTypeX00;

  EXPECT_EQ(rig.transfer.TransBtnClick(rig.page), TransferOutcome::Done);
  // Without names the first program line answers the slot query; it is cut
  // to 8 characters in the name frame of the deletion.
  EXPECT_EQ(rig.page.tmpProgName, "N1 G01 Y2");
  EXPECT_EQ(rig.frames(12), (V{f::kAttention, f::kList, "05\r\n", f::kAck,          //
                               f::kAttention, f::kDelete, "05\r\n", "N1 G01 Y\r\n",  //
                               f::kAttention, f::kStore, "05\r\n", "N1 M02\r\n"}));
  EXPECT_EQ(rig.ctrl.program(5), (Program{"", {"M02"}}));
}

TEST(ProgramSend, DecliningQuestion130SkipsOnlyTheDeletion) {
  Rig rig;
  rig.ctrl.setProgram(5, {"OLD", {"X1"}});
  rig.editor() = {"X2"};
  rig.page.slot = 5;
  rig.page.progName = "NEW";
  rig.op.answers = {mrOk, mrCancel};

  EXPECT_EQ(rig.transfer.TransBtnClick(rig.page), TransferOutcome::Done);
  EXPECT_EQ(rig.frames(9), (V{f::kAttention, f::kList, "05\r\n", f::kAck,  //
                              f::kAttention, f::kStore, "05\r\n", "NEW     \r\n", "N1 X2\r\n"}));
  EXPECT_FALSE(rig.has(msg(127)));
  EXPECT_EQ(rig.ctrl.program(5), (Program{"NEW", {"X2"}}));
}

TEST(ProgramSend, DeclinedEmptyAndOverlongSendsPutNothingOnTheLine) {
  Rig rig;
  rig.page.slot = 5;
  EXPECT_EQ(rig.transfer.TransBtnClick(rig.page), TransferOutcome::EmptyEditor);
  EXPECT_EQ(rig.log_(), (V{msg(121)}));
  EXPECT_EQ(rig.op.beeps, 1);
  EXPECT_TRUE(rig.op.dialogs.empty());

  rig.editor() = {"G00"};
  rig.op.answers = {mrCancel};
  EXPECT_EQ(rig.transfer.TransBtnClick(rig.page), TransferOutcome::Declined);

  // 251 characters make a 256-byte frame "N1 ...\r\n": one too many.
  rig.editor() = {"G00", std::string(250, 'X'), std::string(251, 'Y')};
  EXPECT_EQ(rig.transfer.TransBtnClick(rig.page), TransferOutcome::LineTooLong);
  EXPECT_EQ(rig.log_().back(), lineTooLongText(3, 256));
  EXPECT_EQ(rig.op.dialogs.size(), 1u);

  EXPECT_TRUE(rig.ctrl.traffic().empty());  // the port was never opened
  EXPECT_EQ(rig.editor().size(), 3u);
}

TEST(ProgramSend, AttentionReplyToTheNameQueryKeepsTheHeldNameAndStillAsks) {
  Rig rig;
  rig.ctrl.setProgram(5, {"OLD", {"X1"}});
  rig.ctrl.addFault(Fault::reply("list.name", f::kAttention));
  rig.editor() = {"X2"};
  rig.page.slot = 5;
  rig.page.tmpProgName = "KEPT";
  EXPECT_EQ(rig.transfer.TransBtnClick(rig.page), TransferOutcome::Done);
  EXPECT_EQ(rig.page.tmpProgName, "KEPT");
  ASSERT_EQ(rig.op.dialogs.size(), 2u);
  EXPECT_EQ(rig.op.dialogs[1].text, "#130:\n\n#14::05\n#15::KEPT");
  // The controller holds OLD, not KEPT: the deletion is not confirmed, the send goes on.
  EXPECT_TRUE(rig.has(msg(129)));
  EXPECT_EQ(rig.ctrl.program(5), (Program{"", {"X2"}}));
}

TEST(ProgramSend, OverlongReportedNameIsCutToEightInTheDeletion) {
  Rig rig;
  rig.ctrl.setProgram(5, {"LONGNAME", {"X1"}});
  rig.ctrl.addFault(Fault::reply("list.name", "LONGNAME12\r\n"));
  rig.editor() = {"X2"};
  rig.page.slot = 5;
  EXPECT_EQ(rig.transfer.TransBtnClick(rig.page), TransferOutcome::Done);
  EXPECT_EQ(rig.page.tmpProgName, "LONGNAME12");
  EXPECT_EQ(rig.frames(8)[7], "LONGNAME\r\n");
  EXPECT_TRUE(rig.has(msg(128)));
}

TEST(ProgramReceive, X02TakesTheNameAndStripsTheLinePrefixes) {
  Rig rig;
  rig.ctrl.setProgram(5, {"OLD", {"G00 X0", "M30"}});
  rig.editor() = {"was here"};
  rig.page.slot = 5;

  EXPECT_EQ(rig.transfer.RcvBtnClick(rig.page), TransferOutcome::Done);
  EXPECT_EQ(rig.editor(), (V{"G00 X0", "M30"}));
  EXPECT_EQ(rig.page.progName, "OLD");
  EXPECT_EQ(rig.transfer.linesReceived(), 2u);
  // name, two lines, the closing attention frame: each answered by an ACK frame
  EXPECT_EQ(rig.frames(8), (V{f::kAttention, f::kList, "05\r\n", f::kAck, f::kAck, f::kAck, f::kAck, f::kAck}));
  EXPECT_EQ(rig.log_(), (V{rig.opened(), msg(108), msg(109), msg(107)}));
  EXPECT_EQ(rig.op.dialogs.at(0).text, "#124:\n\n#14::05");
  EXPECT_FALSE(rig.comm.Enabled());
}

TEST(ProgramReceive, X00EmptiesTheNameAndDeclinedLeavesAllAsItWas) {
  Rig rig(test::x00Config());
  rig.ctrl.setProgram(9, {"", {"G00 X0", "M30"}});
  rig.page.slot = 9;
  rig.page.typeIndex = kTypeX00;
  rig.page.progName = "STALE";
  rig.editor() = {"keep"};
  rig.op.answers = {mrCancel};
  EXPECT_EQ(rig.transfer.RcvBtnClick(rig.page), TransferOutcome::Declined);
  EXPECT_EQ(rig.editor(), (V{"keep"}));
  EXPECT_EQ(rig.page.progName, "STALE");
  EXPECT_TRUE(rig.ctrl.traffic().empty());

  EXPECT_EQ(rig.transfer.RcvBtnClick(rig.page), TransferOutcome::Done);
  EXPECT_EQ(rig.editor(), (V{"G00 X0", "M30"}));
  EXPECT_EQ(rig.page.progName, "");
}

TEST(ProgramReceive, AnEmptySlotIsNamedAndTheEditorKept) {
  Rig rig;  // slot 7 holds nothing: the controller refuses to list it
  rig.page.slot = 7;
  rig.editor() = {"keep"};
  EXPECT_EQ(rig.transfer.RcvBtnClick(rig.page), TransferOutcome::Refused);
  EXPECT_EQ(rig.log_(), (V{rig.opened(), msg(108), msg(122), msg(107),
                           "#14::07: the slot may be empty; the controller refused to send it."}));
  EXPECT_EQ(rig.editor(), (V{"keep"}));
  EXPECT_FALSE(rig.comm.Enabled());
}

TEST(ProgramReceive, LinesWithoutBlankOrLongerThanOneReplyArriveWhole) {
  Rig rig;
  const std::string longLine = "G01 X" + std::string(150, '1');  // two and a half replies
  rig.ctrl.setProgram(5, {"P", {"a", "b"}});
  rig.ctrl.addFault(Fault::reply("list.line:1", "NOBLANK\r\n"));
  rig.ctrl.addFault(Fault::reply("list.line:2", "N2 " + longLine + "\r\n"));
  rig.ctrl.addFault(Fault::reply("list.end", "N3 M30\r\n"));
  rig.ctrl.addFault(Fault::reply("list.done", f::kAttention));
  rig.page.slot = 5;
  EXPECT_EQ(rig.transfer.RcvBtnClick(rig.page), TransferOutcome::Done);
  EXPECT_EQ(rig.editor(), (V{"NOBLANK", longLine, "M30"}));
}

// Garbled lines are stored as they came; the receive ends with one warning
// naming them. Which bytes are garbled depends on the catalog's language.
TEST(ProgramReceive, GarbledLinesAreKeptAndNamedInAWarning) {
  const Program held{"P", {"G00 X0", "G01\x07X1", "(\xA4\xA4)", "G01\tX2", "M30"}};
  const std::string why = "arrived garbled (control characters, or bytes the catalog's language does not use)";
  {
    Rig rig;  // English
    rig.ctrl.setProgram(5, held);
    rig.page.slot = 5;
    EXPECT_EQ(rig.transfer.RcvBtnClick(rig.page), TransferOutcome::Done);
    EXPECT_EQ(rig.editor(), held.lines);
    EXPECT_EQ(rig.log_(), (V{rig.opened(), msg(108), msg(109), msg(107),
                             "Warning: lines 2 and 3 " + why +
                                 "; they are kept as they arrived: check the program before running it."}));
    EXPECT_EQ(rig.op.beeps, 2);  // the confirmation's and the warning's

    // The next receive starts afresh.
    rig.ctrl.setProgram(6, {"Q", {"M30"}});
    rig.page.slot = 6;
    EXPECT_EQ(rig.transfer.RcvBtnClick(rig.page), TransferOutcome::Done);
    EXPECT_FALSE(rig.transfer.garbledLines().any());
    EXPECT_EQ(rig.log_().back(), msg(107));
  }
  {
    Rig rig;  // the same catalog texts, as the Chinese catalog: Big5 is text
    std::string text;
    for (int n = 1; n <= 200; ++n) text += "M" + std::to_string(n) + " #" + std::to_string(n) + ":\r\n";
    rig.catalog.load("/nonexistent", 0);
    rig.catalog.loadText(text);
    rig.ctrl.setProgram(5, held);
    rig.page.slot = 5;
    EXPECT_EQ(rig.transfer.RcvBtnClick(rig.page), TransferOutcome::Done);
    EXPECT_EQ(rig.editor(), held.lines);
    EXPECT_EQ(rig.log_().back(),
              "Warning: line 2 " + why + "; it is kept as it arrived: check the program before running it.");
  }
  {
    // A receive that fails keeps its lines in the editor, and still warns.
    Rig rig;
    rig.ctrl.setProgram(5, held);
    rig.ctrl.addFault(Fault::noReply("list.line:4"));
    rig.page.slot = 5;
    EXPECT_EQ(rig.transfer.RcvBtnClick(rig.page), TransferOutcome::LinkFailed);
    EXPECT_EQ(rig.editor(), (V(held.lines.begin(), held.lines.begin() + 3)));
    EXPECT_TRUE(rig.log_().back().starts_with("Warning: lines 2 and 3 arrived garbled")) << rig.log_().back();
  }
}

TEST(ProgramReceive, EndlessLineStopsTheReceiveKeepingEarlierLines) {
  Rig rig;
  rig.ctrl.setProgram(5, {"P", {"G00", "x"}});
  rig.ctrl.addFault(Fault::reply("list.line:2", std::string(5000, 'Z')));
  rig.page.slot = 5;
  EXPECT_EQ(rig.transfer.RcvBtnClick(rig.page), TransferOutcome::LineTooLong);
  EXPECT_EQ(rig.editor(), (V{"G00"}));
  EXPECT_EQ(rig.log_().at(rig.log_().size() - 2), receivedLineTooLongText());
  EXPECT_EQ(rig.log_().back(), msg(107));
  EXPECT_FALSE(rig.comm.Enabled());
}

TEST(ProgramDelete, AsksTheNameConfirmsAndDeletes) {
  Rig rig;
  rig.ctrl.setProgram(5, {"OLD", {"X1"}});
  rig.page.slot = 5;
  rig.page.progName = "OTHER";
  EXPECT_EQ(rig.transfer.DelProgBtnClick(rig.page), TransferOutcome::Done);
  EXPECT_EQ(rig.page.progName, "OLD");
  EXPECT_EQ(rig.frames(8),
            (V{f::kAttention, f::kList, "05\r\n", f::kAck, f::kAttention, f::kDelete, "05\r\n", "OLD     \r\n"}));
  EXPECT_EQ(rig.log_(), (V{rig.opened(), msg(108), msg(107), rig.opened(), msg(127), msg(128), msg(107)}));
  EXPECT_EQ(rig.op.dialogs.at(0).text, "#125:\n\n#14::05\n#15::OLD");
  EXPECT_EQ(rig.op.beeps, 0);
  EXPECT_FALSE(rig.ctrl.program(5));
}

TEST(ProgramDelete, DeclinedUnconfirmedAndEmptySlot) {
  Rig rig;
  rig.ctrl.setProgram(5, {"OLD", {"X1"}});
  rig.page.slot = 5;
  rig.op.answers = {mrCancel};
  EXPECT_EQ(rig.transfer.DelProgBtnClick(rig.page), TransferOutcome::Declined);
  EXPECT_EQ(rig.log_().back(), msg(126));
  EXPECT_EQ(rig.frames(4).size(), 4u);
  EXPECT_TRUE(rig.ctrl.program(5));

  rig.ctrl.addFault(Fault::reply("delete.confirm", f::kAck));
  EXPECT_EQ(rig.transfer.DelProgBtnClick(rig.page), TransferOutcome::NotDeleted);
  EXPECT_EQ(rig.log_().at(rig.log_().size() - 2), msg(129));
  EXPECT_FALSE(rig.comm.Enabled());

  rig.log_().clear();
  rig.page.slot = 6;  // empty: the slot query is refused
  EXPECT_EQ(rig.transfer.DelProgBtnClick(rig.page), TransferOutcome::Refused);
  EXPECT_EQ(rig.log_(), (V{rig.opened(), msg(108), msg(122), msg(107)}));
  EXPECT_FALSE(rig.comm.Enabled());
}

TEST(ProgramTransfer, SecondDialogueWhileOneRunsIsRefusedAndPortThatWontOpenEndsAtOnce) {
  Rig rig;
  rig.editor() = {"X1"};
  {
    DialogueGuard running(rig.link);
    EXPECT_EQ(rig.transfer.TransBtnClick(rig.page), TransferOutcome::Busy);
    EXPECT_EQ(rig.transfer.RcvBtnClick(rig.page), TransferOutcome::Busy);
    EXPECT_EQ(rig.transfer.DelProgBtnClick(rig.page), TransferOutcome::Busy);
  }
  EXPECT_TRUE(rig.log_().empty());

  rig.page.comIndex = 2;  // COM3 leads nowhere: the dialogue ends at once, saying why
  EXPECT_EQ(rig.transfer.DelProgBtnClick(rig.page), TransferOutcome::LinkFailed);
  EXPECT_EQ(rig.log_(), (V{msg(102, "COM3"), "COM3 is not assigned to a serial device (see Ports.ini)."}));
  EXPECT_TRUE(rig.ctrl.traffic().empty());
}

}  // namespace
}  // namespace zar::nc
