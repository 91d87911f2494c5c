// The controller's parameters: the numbers its model and version know with
// their factory values, refusals of unknown numbers, stored settings, and a
// fault at every reply point of the two parameter dialogues.
#include <gtest/gtest.h>

#include <cctype>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "controller/PtyClient.h"
#include "controller/VirtualController.h"
#include "link/Frames.h"

namespace zar::controller {
namespace {

namespace f = zar::frames;
using test::PtyClient;
using Replies = std::vector<std::string>;

ControllerConfig config(int model, FirmwareVersion version) {
  ControllerConfig c;
  c.model = model;
  c.type = *typeOfModel(model);
  c.version = version;
  return c;
}

struct Running {
  explicit Running(ControllerConfig c = {}) : ctrl(std::move(c)) {
    std::string error;
    EXPECT_TRUE(ctrl.start(&error)) << error;
    pc = std::make_unique<PtyClient>(ctrl.devicePath());
  }
  // The value the controller gives for `number` in a receive dialogue, or
  // the refusal.
  std::string request(std::int32_t number) {
    const auto r = pc->ask(std::to_string(number) + "\r\n");
    if (r != f::kAck) return r.value_or("<none>");
    return pc->ask(f::kAck).value_or("<none>");
  }
  VirtualController ctrl;
  std::unique_ptr<PtyClient> pc;
};

TEST(ControllerParameters, ModelAndVersionDecideTheKnownNumbersAndFactoryValues) {
  Running k;  // 102, version K
  k.pc->ask(f::kAttention);
  ASSERT_EQ(k.pc->ask(f::kParamReceive), f::kAck);
  EXPECT_EQ(k.request(12), "12000\r\n");  // Z rapid traverse
  EXPECT_EQ(k.request(140), "1\r\n");     // rigid tapping: K and M
  EXPECT_EQ(k.request(150), f::kNak);     // look-ahead: M only
  EXPECT_EQ(k.request(13), f::kNak);      // no A axis on a 102
  EXPECT_EQ(k.request(555), f::kNak);
  EXPECT_EQ(k.request(1003), "3\r\n");    // address table: X pitch point 3
  EXPECT_EQ(k.request(2), "8\r\n");       // refusals do not end the dialogue
  EXPECT_TRUE(k.ctrl.knowsParameter(12));
  EXPECT_FALSE(k.ctrl.knowsParameter(150));
  EXPECT_EQ(k.ctrl.parameter(80), 6000);

  Running m(config(302, FirmwareVersion::M));
  m.pc->ask(f::kAttention);
  m.pc->ask(f::kParamReceive);
  EXPECT_EQ(m.request(150), "30\r\n");
  EXPECT_EQ(m.request(13), "7200\r\n");
  EXPECT_EQ(m.request(9), "4\r\n");  // four axes
  EXPECT_EQ(m.request(80), "10000\r\n");

  Running x00(config(101, FirmwareVersion::M));  // X00 models have one list
  x00.pc->ask(f::kAttention);
  x00.pc->ask(f::kParamReceive);
  EXPECT_EQ(x00.request(140), f::kNak);
  EXPECT_EQ(x00.request(900), f::kNak);  // no address table
  EXPECT_EQ(x00.request(62), "2000\r\n");
}

TEST(ControllerParameters, SettingsOfKnownNumbersAreStoredOthersRefused) {
  Running fx;
  fx.pc->ask(f::kAttention);
  ASSERT_EQ(fx.pc->ask(f::kParamSend), f::kAck);
  EXPECT_EQ(fx.pc->ask("12=9000\r\n"), f::kAck);
  EXPECT_EQ(fx.pc->ask("150=5\r\n"), f::kNak);   // unknown on version K
  EXPECT_EQ(fx.pc->ask("9999=5\r\n"), f::kNak);
  EXPECT_EQ(fx.pc->ask(" 4 =2\r\n"), f::kAck);
  EXPECT_EQ(fx.ctrl.parameter(12), 9000);
  EXPECT_EQ(fx.ctrl.parameter(4), 2);
  EXPECT_FALSE(fx.ctrl.knowsParameter(9999));
  EXPECT_EQ(fx.ctrl.state().parameters, (std::map<std::int32_t, std::int32_t>{{4, 2}, {12, 9000}}));

  // A number put into the memory from outside is known from then on.
  fx.ctrl.setParameter(9999, -1);
  EXPECT_EQ(fx.pc->ask("9999=7\r\n"), f::kAck);
  fx.pc->ask(f::kAttention);
  fx.pc->ask(f::kParamReceive);
  EXPECT_EQ(fx.request(9999), "7\r\n");
  EXPECT_EQ(fx.request(12), "9000\r\n");
}

TEST(ControllerParameters, SettingsPersistAndTheirNumbersStayKnown) {
  char pattern[] = "/tmp/zar-ctrl-param-XXXXXX";
  ASSERT_NE(::mkdtemp(pattern), nullptr);
  const std::string dir = pattern, file = dir + "/memory.txt";
  {
    std::ofstream(file) << "[parameters]\n777 = 5\n";
    ControllerConfig c = config(302, FirmwareVersion::M);
    c.stateFile = file;
    Running fx(c);
    fx.pc->ask(f::kAttention);
    fx.pc->ask(f::kParamSend);
    EXPECT_EQ(fx.pc->ask("150=45\r\n"), f::kAck);
    EXPECT_EQ(fx.pc->ask("777=6\r\n"), f::kAck);  // known from the state file
    fx.ctrl.stop();
  }
  std::ifstream in(file);
  std::stringstream text;
  text << in.rdbuf();
  // Only what was set is written, not the factory values.
  EXPECT_EQ(text.str(), "# zarlink virtual controller memory\n\n[parameters]\n150 = 45\n777 = 6\n");

  ControllerConfig other = config(102, FirmwareVersion::K);
  other.stateFile = file;
  VirtualController again(other);
  ASSERT_TRUE(again.start());
  EXPECT_EQ(again.parameter(150), 45);  // a 102 K knows it now: it is in its memory
  EXPECT_TRUE(again.knowsParameter(777));
  std::filesystem::remove_all(dir);
}

// ---- a fault at each reply point ------------------------------------------

// The two dialogues as the parameter page runs them, two items each.
const std::vector<std::string> kSendFrames = {f::kAttention, f::kParamSend, "12=9000\r\n", "14=7000\r\n"};
const std::vector<std::string> kReceiveFrames = {f::kAttention, f::kParamReceive, "12\r\n", f::kAck,
                                                 "14\r\n", f::kAck};
const Replies kSendReplies = {f::kAck, f::kAck, f::kAck, f::kAck};
const Replies kReceiveReplies = {f::kAck, f::kAck, f::kAck, "12000\r\n", f::kAck, "8000\r\n"};

struct FaultCase {
  std::string fault;     // as given to zarctl controller --fault
  bool receive;          // which dialogue
  Replies replies;       // what comes back for each frame ("" nothing; "hangup")
  std::int32_t param12;  // values afterwards
  std::int32_t param14;
};

std::ostream& operator<<(std::ostream& out, const FaultCase& c) { return out << c.fault; }

Replies with(Replies replies, size_t at, const std::string& reply, bool restRefused = false) {
  replies[at] = reply;
  if (restRefused)
    for (size_t i = at + 1; i < replies.size(); ++i) replies[i] = f::kNak;
  return replies;
}

const std::string kNak = f::kNak;
const std::string kGarbage = kGarbageReply;

const FaultCase kFaultCases[] = {
    // Sending: the frame's effect is kept unless the fault refuses it or
    // hangs up; a refusal ends the dialogue, so what follows is unexpected.
    {"param.send:nak", false, with(kSendReplies, 1, kNak, true), 12000, 8000},
    {"param.send:none", false, with(kSendReplies, 1, ""), 9000, 7000},
    {"param.send:garbage", false, with(kSendReplies, 1, kGarbage), 9000, 7000},
    {"param.send:hangup", false, with(kSendReplies, 1, "hangup"), 12000, 8000},
    {"param.set:1:nak", false, with(kSendReplies, 2, kNak, true), 12000, 8000},
    {"param.set:2:none", false, with(kSendReplies, 3, ""), 9000, 7000},
    {"param.set:1:short", false, with(kSendReplies, 2, f::kAck.substr(0, 2)), 9000, 7000},
    {"param.set:2:garbage", false, with(kSendReplies, 3, kGarbage), 9000, 7000},
    {"param.set:2:hangup", false, with(kSendReplies, 3, "hangup"), 9000, 8000},
    {"param.set:reply=\\x15\\x07\\x07\\r\\n*0", false, {f::kAck, f::kAck, kNak, kNak}, 9000, 7000},
    // Receiving: values are only read, nothing changes.
    {"param.receive:nak", true, with(kReceiveReplies, 1, kNak, true), 12000, 8000},
    {"param.receive:short", true, with(kReceiveReplies, 1, f::kAck.substr(0, 2)), 12000, 8000},
    {"param.receive:hangup", true, with(kReceiveReplies, 1, "hangup"), 12000, 8000},
    {"param.request:1:nak", true, with(kReceiveReplies, 2, kNak, true), 12000, 8000},
    {"param.request:2:none", true, with(kReceiveReplies, 4, ""), 12000, 8000},
    {"param.request:2:garbage", true, with(kReceiveReplies, 4, kGarbage), 12000, 8000},
    {"param.request:1:hangup", true, with(kReceiveReplies, 2, "hangup"), 12000, 8000},
    {"param.value:1:nak", true, with(kReceiveReplies, 3, kNak, true), 12000, 8000},
    {"param.value:1:none", true, with(kReceiveReplies, 3, ""), 12000, 8000},
    {"param.value:2:short", true, with(kReceiveReplies, 5, "800"), 12000, 8000},
    {"param.value:1:garbage", true, with(kReceiveReplies, 3, kGarbage), 12000, 8000},
    {"param.value:2:reply=-1\\r\\n", true, with(kReceiveReplies, 5, "-1\r\n"), 12000, 8000},
    {"param.value:2:hangup", true, with(kReceiveReplies, 5, "hangup"), 12000, 8000},
};

class ParameterDialogueFault : public ::testing::TestWithParam<FaultCase> {};

TEST_P(ParameterDialogueFault, RepliesAndEffectAsArmed) {
  const FaultCase& c = GetParam();
  std::string error;
  const auto fault = parseFault(c.fault, &error);
  ASSERT_TRUE(fault) << error;
  Running fx([&] {
    ControllerConfig config;
    config.faults = {*fault};
    return config;
  }());
  const std::vector<std::string>& frames = c.receive ? kReceiveFrames : kSendFrames;
  Replies got;
  for (size_t i = 0; i < frames.size(); ++i) {
    const std::string& expected = c.replies[i];
    if (expected == "hangup") {
      fx.pc->send(frames[i]);
      got.push_back(fx.pc->hungUp(2000) ? "hangup" : "line still up");
      break;
    }
    fx.pc->send(frames[i]);
    // Terminated replies are read as the link reads them; anything else is
    // whatever arrives in a short while.
    const bool terminated = !expected.empty() && (expected.back() == '\n' || expected.back() == '\x03');
    got.push_back(terminated ? fx.pc->reply().value_or("<none>") : fx.pc->drain(200));
  }
  Replies want = c.replies;
  want.resize(got.size());
  EXPECT_EQ(got, want);
  EXPECT_EQ(fx.ctrl.parameter(12), c.param12);
  EXPECT_EQ(fx.ctrl.parameter(14), c.param14);
}

INSTANTIATE_TEST_SUITE_P(EveryStep, ParameterDialogueFault, ::testing::ValuesIn(kFaultCases),
                         [](const auto& info) {
                           std::string name;
                           for (char ch : info.param.fault)
                             name += std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
                           return name.substr(0, 40);
                         });

}  // namespace
}  // namespace zar::controller
