// The parameter send and receive dialogues byte for byte against the
// virtual controller (model 102, version K: it knows parameters 1 to 12).
#include <gtest/gtest.h>

#include "param/ParameterRig.h"

namespace zar::param {
namespace {

using controller::Fault;
using test::msg;
using V = std::vector<std::string>;

const std::string kAck = frames::kAck;

TEST(ParameterSend, EditorLinesBecomeTheseFrames) {
  test::Rig rig;
  ASSERT_TRUE(rig.startError.empty()) << rig.startError;
  rig.editor() = {"Feed(12)=3000", "Gain(7)= -15", "X(3)=2.75", "X(3)=abc", "A(4)=1=2", "/ axes",
                  "Feed( 12 )=3001", "Speed (rpm)(12)=100", "never(1)=1"};
  EXPECT_EQ(rig.transfer.ParTrnBtnClick(), DialogueOutcome::Refused);

  // "rpm" is no parameter number: the controller refuses it, which ends the send.
  EXPECT_EQ(rig.frames(9), (V{"$%\r\n", "$R\r\n", "12=3000\r\n", "7=-15\r\n", "3=2\r\n", "3=0\r\n", "4=2\r\n",
                             " 12 =3001\r\n", "rpm=100\r\n"}));
  EXPECT_EQ(rig.ctrl.parameter(12), 3001);
  EXPECT_EQ(rig.ctrl.parameter(7), -15);
  EXPECT_EQ(rig.ctrl.parameter(3), 0);
  EXPECT_EQ(rig.ctrl.parameter(4), 2);
  // Each line is shown, unchanged, before its frame goes out.
  EXPECT_EQ(rig.messages(),
            (V{rig.opened(), msg(144), "Feed(12)=3000", "Gain(7)= -15", "X(3)=2.75", "X(3)=abc", "A(4)=1=2",
               "/ axes...Skip...", "Feed( 12 )=3001", "Speed (rpm)(12)=100", msg(142), msg(107), msg(146)}));
  ASSERT_EQ(rig.op.dialogs.size(), 1u);
  EXPECT_EQ(rig.op.dialogs[0].text, msg(143));
  EXPECT_EQ(rig.op.dialogs[0].type, DialogType::Confirmation);
  EXPECT_EQ(rig.op.dialogs[0].buttons, (std::vector<ButtonKind>{ButtonKind::OK, ButtonKind::Cancel}));
  EXPECT_EQ(rig.transfer.settingsSent(), 6u);
  EXPECT_FALSE(rig.comm.Enabled());
}

TEST(ParameterSend, ALineItCannotSendEndsTheLoop) {
  test::Rig rig;
  rig.editor() = {"Feed(12)=3000", "", "Gain(7)=1"};
  EXPECT_EQ(rig.transfer.ParTrnBtnClick(), DialogueOutcome::LineFormat);
  EXPECT_EQ(rig.frames(3), (V{"$%\r\n", "$R\r\n", "12=3000\r\n"}));
  EXPECT_EQ(rig.messages(), (V{rig.opened(), msg(144), "Feed(12)=3000", msg(145), msg(146), msg(107)}));
  EXPECT_EQ(rig.transfer.malformedLine(), 1u);
  EXPECT_EQ(rig.op.beeps, 2);  // before the question, at the bad line
  EXPECT_FALSE(rig.comm.Enabled());

  // A control character in the number would slip a frame in: refused alike.
  test::Rig again;
  again.editor() = {std::string("P(1\r\n$K)=5")};
  EXPECT_EQ(again.transfer.ParTrnBtnClick(), DialogueOutcome::LineFormat);
  EXPECT_EQ(again.transfer.malformedProblem(), LineProblem::ControlCharacter);
  EXPECT_EQ(again.frames(2), (V{"$%\r\n", "$R\r\n"}));
}

TEST(ParameterSend, HugeAndBinaryLinesSendOnlyWhatTheyMean) {
  test::Rig rig;
  const std::string padding(10 << 20, '\xB6');
  rig.editor() = {"/" + padding, "Feed(12)" + padding + "=5", std::string("Gain(7)=\x01\x02\xFF"),
                  std::string("P(1\0)=3", 8)};
  EXPECT_EQ(rig.transfer.ParTrnBtnClick(), DialogueOutcome::LineFormat);
  EXPECT_EQ(rig.transfer.malformedProblem(), LineProblem::ControlCharacter);
  EXPECT_EQ(rig.frames(4), (V{"$%\r\n", "$R\r\n", "12=5\r\n", "7=0\r\n"}));
  // The message area shows the long lines cut, between whole Big5 characters.
  const V& log = rig.messages();
  ASSERT_EQ(log.size(), 8u);
  // (Shown by size: a failure would print megabytes.)
  EXPECT_EQ(log[2].size(), 1 + 998 + 3 + 10);  // the 1000th byte would split a character
  EXPECT_TRUE(log[2].starts_with("/\xB6") && log[2].ends_with("\xB6......Skip..."));
  EXPECT_EQ(log[3].size(), 8 + 992 + 3);
  EXPECT_TRUE(log[3].starts_with("Feed(12)\xB6") && log[3].ends_with("\xB6..."));
  EXPECT_EQ(log[5], msg(145));
}

TEST(ParameterSend, NothingGoesOutWithoutLinesOrConsent) {
  test::Rig rig;
  EXPECT_EQ(rig.transfer.ParTrnBtnClick(), DialogueOutcome::EmptyEditor);
  EXPECT_EQ(rig.messages(), V{msg(141)});
  EXPECT_EQ(rig.op.beeps, 1);
  EXPECT_TRUE(rig.op.dialogs.empty());

  rig.editor() = {"Feed(12)=3000"};
  rig.op.answers = {mrCancel};
  EXPECT_EQ(rig.transfer.ParTrnBtnClick(), DialogueOutcome::Declined);
  EXPECT_EQ(rig.messages(), V{msg(141)});
  EXPECT_TRUE(rig.ctrl.traffic().empty());
}

TEST(ParameterReceive, CheckedEntriesFillTheEditorInOrder) {
  test::Rig rig;
  rig.ctrl.setParameter(3, 100);
  rig.ctrl.setParameter(12, -100);
  rig.editor() = {"old line"};
  const std::vector<ParameterEntry> checked = {{"Stop bits", 3}, {"Z rapid", 12}, {"Baud", 1}};
  EXPECT_EQ(rig.transfer.ParRcvBtnClick(checked), DialogueOutcome::Done);
  EXPECT_EQ(rig.frames(8), (V{"$%\r\n", "$P\r\n", "3\r\n", kAck, "12\r\n", kAck, "1\r\n", kAck}));
  EXPECT_EQ(rig.editor(), (V{"Stop bits(3)=100", "Z rapid(12)=-100", "Baud(1)=4"}));
  EXPECT_EQ(rig.messages(), (V{rig.opened(), msg(147), msg(148), msg(107)}));
  ASSERT_EQ(rig.transfer.received().size(), 3u);
  EXPECT_EQ(rig.transfer.received()[1].value, "-100");
  EXPECT_TRUE(rig.op.dialogs.empty());  // receiving asks nothing

  // Nothing checked: the dialogue still opens and empties the editor.
  test::Rig none;
  none.editor() = {"old line"};
  EXPECT_EQ(none.transfer.ParRcvBtnClick({}), DialogueOutcome::Done);
  EXPECT_EQ(none.frames(2), (V{"$%\r\n", "$P\r\n"}));
  EXPECT_TRUE(none.editor().empty());
  EXPECT_EQ(none.messages(), (V{none.opened(), msg(147), msg(148), msg(107)}));
}

TEST(ParameterReceive, AMissingValueIsMarkedAndTheNextRequestTimesOut) {
  test::Rig rig;
  rig.ctrl.addFault(Fault::noReply("param.value:2"));
  const std::vector<ParameterEntry> checked = {{"A", 1}, {"B", 2}, {"C", 3}};
  EXPECT_EQ(rig.transfer.ParRcvBtnClick(checked), DialogueOutcome::LinkFailed);
  EXPECT_EQ(rig.frames(6), (V{"$%\r\n", "$P\r\n", "1\r\n", kAck, "2\r\n", kAck}));
  EXPECT_EQ(rig.editor(), V{"A(1)=4"});
  EXPECT_EQ(rig.messages(), (V{rig.opened(), msg(147), msg(103), msg(107), "B(2)=XXXXXX", msg(103),
                               "C(3)=XXXXXX", msg(148)}));
  EXPECT_FALSE(rig.comm.Enabled());
}

TEST(ParameterReceive, RefusalsAndBadValues) {
  // An unknown number: refused, marked, the loop ends.
  test::Rig rig;
  EXPECT_EQ(rig.transfer.ParRcvBtnClick({{"A", 1}, {"Nowhere", 999999}, {"C", 3}}), DialogueOutcome::Refused);
  EXPECT_EQ(rig.frames(5), (V{"$%\r\n", "$P\r\n", "1\r\n", kAck, "999999\r\n"}));
  EXPECT_EQ(rig.editor(), V{"A(1)=4"});
  EXPECT_EQ(rig.messages(),
            (V{rig.opened(), msg(147), msg(142), msg(107), "Nowhere(999999)=XXXXXX", msg(148)}));

  // A value that is no number is not kept; the next parameter comes as usual.
  test::Rig noisy;
  noisy.ctrl.addFault(Fault::reply("param.value:1", "12.5\r\n"));
  EXPECT_EQ(noisy.transfer.ParRcvBtnClick({{"A", 1}, {"B", 2}}), DialogueOutcome::BadValue);
  EXPECT_EQ(noisy.editor(), V{"B(2)=8"});
  EXPECT_EQ(noisy.messages(), (V{noisy.opened(), msg(147), "A(1)=XXXXXX", msg(148), msg(107)}));
  ASSERT_EQ(noisy.transfer.received().size(), 2u);
  EXPECT_FALSE(noisy.transfer.received()[0].value);
}

TEST(ParameterTransfer, AnotherDialogueHoldingTheLinkStartsNothing) {
  test::Rig rig;
  rig.editor() = {"Feed(12)=3000"};
  DialogueGuard other(rig.link);
  EXPECT_EQ(rig.transfer.ParTrnBtnClick(), DialogueOutcome::Busy);
  EXPECT_EQ(rig.transfer.ParRcvBtnClick({{"A", 1}}), DialogueOutcome::Busy);
  EXPECT_TRUE(rig.ctrl.traffic().empty());
  EXPECT_EQ(rig.editor(), V{"Feed(12)=3000"});
}

}  // namespace
}  // namespace zar::param
