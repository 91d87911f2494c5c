// The port search against virtual controllers behind chosen COM numbers,
// and the answer rules on their own.

#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <memory>

#include "controller/VirtualController.h"
#include "link/AutoDetect.h"
#include "link/Frames.h"
#include "support/NumberedCatalog.h"
#include "support/RecordingOperator.h"

namespace zar {
namespace {

using controller::ControllerConfig;
using controller::Fault;
namespace f = zar::frames;

std::string msg(int id, const std::string& extra = {}) { return "#" + std::to_string(id) + ":" + extra; }

struct DetectRig {
  DetectRig() : link(comm, settings(), log) {
    comm.SetPathResolver([this](const std::string& name) {
      if (name.starts_with('/')) return name;
      auto it = devices.find(name);
      return it == devices.end() ? std::string("/nonexistent/zar-") + name : it->second;
    });
  }
  ~DetectRig() {
    comm.Close();
    for (auto& c : controllers) c->stop();
  }
  static LinkSettings settings() {
    LinkSettings s;
    s.timeoutMs = 200;
    s.transitMode = 1;
    s.byteDelayMs = 0;
    s.reconnectDelayMs = 30;
    return s;
  }
  // A controller behind "COM<n>".
  controller::VirtualController& controllerAt(int n, ControllerConfig config = {}) {
    controllers.push_back(std::make_unique<controller::VirtualController>(std::move(config)));
    auto& c = *controllers.back();
    EXPECT_TRUE(c.start());
    devices["COM" + std::to_string(n)] = c.devicePath();
    return c;
  }
  DetectReport run(int portCount = 8) {
    AutoDetect detect(link, log);
    return detect.run(AutoDetect::comPorts(portCount), id);
  }
  int count(const std::string& prefix) {
    int n = 0;
    for (const auto& l : op.log()) n += l.rfind(prefix, 0) == 0;
    return n;
  }
  bool has(const std::string& line) {
    for (const auto& l : op.log())
      if (l == line) return true;
    return false;
  }

  std::map<std::string, std::string> devices;
  std::vector<std::unique_ptr<controller::VirtualController>> controllers;
  zar::test::RecordingOperator op;
  MessageCatalog catalog = zar::test::numberedCatalog("#", ":", 200);
  MessageLog log{catalog, op};
  TComm comm;
  Link link;
  DetectIdentity id{0, 0, 1};
};

ControllerConfig answering(std::string model, std::string version) {
  ControllerConfig c;
  c.modelAnswer = std::move(model);
  c.versionAnswer = std::move(version);
  return c;
}

TEST(DetectRules, ModelTextAndNumber) {
  EXPECT_EQ(modelTextOf("ZR A-202 rev 3\r\n"), "A-202 r");
  EXPECT_EQ(modelTextOf("xx K-300\r\n"), "K-300\r\n");
  EXPECT_EQ(modelTextOf("X-102\r\n"), "");
  EXPECT_EQ(modelTextOf("A-1"), "A-1");
  EXPECT_EQ(modelNumberOf("A-202 r"), 202);
  EXPECT_EQ(modelNumberOf("A202"), 0);
  EXPECT_EQ(modelNumberOf("A-"), 0);
  EXPECT_EQ(modelNumberOf("A- 101x"), 101);
  DetectIdentity id{0, 0, 0};
  EXPECT_TRUE(applyModelNumber(200, id));
  EXPECT_EQ(id.typeIndex, 1);
  EXPECT_EQ(id.modelIndex, 4);
  EXPECT_FALSE(applyModelNumber(0, id));
  EXPECT_FALSE(applyModelNumber(103, id));
  EXPECT_EQ(id.modelIndex, 4);  // unchanged by a number outside the table
}

TEST(DetectRules, VersionTextAndLetter) {
  EXPECT_EQ(versionTextOf("ZAR V1.05M\r\n"), "V1.05M\r\n");
  EXPECT_EQ(versionTextOf("1.05M\r\n"), "");
  EXPECT_EQ(versionLetterOf("V1.05M"), 'M');
  EXPECT_EQ(versionLetterOf("V1.2.05SD"), 'S');  // the last full stop counts
  EXPECT_EQ(versionLetterOf("V105K"), std::nullopt);
  EXPECT_EQ(versionLetterOf("V1.0"), '\0');
  EXPECT_EQ(versionIndexOf('S'), 0);
  EXPECT_EQ(versionIndexOf('K'), 1);
  EXPECT_EQ(versionIndexOf('M'), 2);
  EXPECT_EQ(versionIndexOf('X'), 0);
}

TEST(AutoDetectSearch, EightPortsWithoutAControllerAreEachTriedOnceThenTheSearchFails) {
  DetectRig rig;
  rig.id = {1, 4, 2};
  const auto start = std::chrono::steady_clock::now();
  const DetectReport r = rig.run(8);
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(r.end, DetectEnd::NoController);
  EXPECT_EQ(r.portIndex, 0);  // back to COM1
  EXPECT_EQ(r.portsTried, 8);
  EXPECT_EQ(rig.count("#102:"), 8);
  // The reconnect pause comes between ports, not after the last.
  EXPECT_GE(took, std::chrono::milliseconds(7 * 30));
  ASSERT_EQ(rig.op.dialogs.size(), 2u);
  EXPECT_EQ(rig.op.dialogs[0].text, "#55:");
  EXPECT_EQ(rig.op.dialogs[1].text, kDetectFailureText);
  EXPECT_EQ(rig.op.dialogs[1].type, DialogType::Warning);
  EXPECT_EQ((DetectIdentity{1, 4, 2}).modelIndex, rig.id.modelIndex);  // nothing set
  EXPECT_FALSE(rig.comm.Enabled());
}

TEST(AutoDetectSearch, FindsTheControllerOnTheThirdPortAndSetsTypeModelAndVersion) {
  DetectRig rig;
  auto& c = rig.controllerAt(3, answering("A-202\r\n", "V1.05M\r\n"));
  const DetectReport r = rig.run(8);
  EXPECT_EQ(r.end, DetectEnd::Found);
  EXPECT_EQ(r.outcome, DialogueOutcome::Done);
  EXPECT_EQ(r.portIndex, 2);
  EXPECT_EQ(r.portsTried, 3);
  EXPECT_EQ(rig.id.typeIndex, 0);
  EXPECT_EQ(rig.id.modelIndex, 1);
  EXPECT_EQ(rig.id.versionIndex, 2);
  EXPECT_EQ(c.inputFrames(), (std::vector<std::string>{f::kLon, f::kModelQuery, f::kVersionQuery, f::kLof}));
  EXPECT_TRUE(rig.has("#108:"));
  EXPECT_TRUE(rig.has("A-202"));
  EXPECT_TRUE(rig.has("V1.05M"));
  EXPECT_TRUE(rig.has(msg(107, r.deviceName)));
  EXPECT_EQ(rig.op.dialogs.size(), 1u);  // only message 55: success shows no dialog
  EXPECT_FALSE(rig.comm.Enabled());
}

TEST(AutoDetectSearch, VersionAnswersDecideTheVersion) {
  struct Case {
    std::string model, version;
    DetectEnd end;
    int versionIndex;
  };
  const Case cases[] = {
      {"A-102\r\n", "V1.05X\r\n", DetectEnd::Found, 0},        // unknown letter: SD
      {"A-102\r\n", "V1.05K\r\n", DetectEnd::Found, 1},
      {"K-300\r\n", "V1.05SD\r\n", DetectEnd::Found, 1},       // a K model is a K controller
      {"A-102\r\n", "1.05M\r\n", DetectEnd::Found, 2},         // no V: the version stays
      {"A-102\r\n", "V105K\r\n", DetectEnd::WrongIdentity, 2}, // no full stop
      {"X-102\r\n", "V1.05K\r\n", DetectEnd::WrongIdentity, 1},// no A or K
      {"\r\n", "V1.05K\r\n", DetectEnd::WrongIdentity, 1},     // empty model answer
      {"A-102" + std::string(70, 'x'), "V1.05S\r\n", DetectEnd::Found, 0},  // 75 bytes, no line end
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.model + " / " + k.version);
    DetectRig rig;
    rig.id = {0, 0, 2};
    auto& c = rig.controllerAt(1, answering(k.model, k.version));
    const DetectReport r = rig.run(8);
    EXPECT_EQ(r.end, k.end);
    EXPECT_EQ(rig.id.versionIndex, k.versionIndex);
    EXPECT_EQ(r.portsTried, 1);  // a wrong answer does not go on to further ports
    // The LOF exchange comes in every case, also before a wrong identity.
    EXPECT_EQ(c.inputFrames().back(), f::kLof);
    if (k.end == DetectEnd::WrongIdentity) {
      ASSERT_EQ(rig.op.dialogs.size(), 2u);
      EXPECT_EQ(rig.op.dialogs[1].text, kWrongIdentityText);
    }
  }
}

TEST(AutoDetectSearch, KModelSelectsTheX00TypeAndModel300) {
  DetectRig rig;
  rig.controllerAt(1, answering("K-300\r\n", "V1.05S\r\n"));
  ASSERT_EQ(rig.run(2).end, DetectEnd::Found);
  EXPECT_EQ(rig.id.typeIndex, 1);
  EXPECT_EQ(rig.id.modelIndex, 5);
  EXPECT_EQ(rig.id.versionIndex, 1);
}

TEST(AutoDetectSearch, PortsThatBabbleRefuseOrStaySilentAreSkipped) {
  // COM1 floods, COM2 refuses LON, COM3 answers LON with garbage, COM4
  // stays silent; COM5 holds the controller.
  DetectRig rig;
  rig.controllerAt(1).addFault(Fault::flood("plc.lon", 4000));
  rig.controllerAt(2).addFault(Fault::nak("plc.lon"));
  rig.controllerAt(3).addFault(Fault::garbage("plc.lon"));
  rig.controllerAt(4).addFault(Fault::noReply("plc.lon"));
  rig.controllerAt(5, answering("A-302\r\n", "V1.05K\r\n"));
  const DetectReport r = rig.run(8);
  EXPECT_EQ(r.end, DetectEnd::Found);
  EXPECT_EQ(r.portIndex, 4);
  EXPECT_EQ(rig.id.modelIndex, 2);
  // One per port tried, and the link's own after the refusal and the time-out.
  EXPECT_EQ(rig.count("#107:"), 5 + 2);
  EXPECT_EQ(rig.count("#103:"), 1);
  for (int i = 0; i < 4; ++i)
    EXPECT_EQ(rig.controllers[i]->inputFrames(), std::vector<std::string>{f::kLon}) << "COM" << i + 1;
}

TEST(AutoDetectSearch, UnansweredQueryEndsTheSearchWithoutADialogKeepingWhatWasSet) {
  for (const char* step : {"model", "version", "plc.lof"}) {
    SCOPED_TRACE(step);
    DetectRig rig;
    rig.id = {0, 0, 2};
    auto& c = rig.controllerAt(1, answering("K-200\r\n", "V1.05S\r\n"));
    c.addFault(Fault::noReply(step));
    rig.controllerAt(2);
    const DetectReport r = rig.run(8);
    EXPECT_EQ(r.end, DetectEnd::Stopped);
    EXPECT_EQ(r.outcome, DialogueOutcome::LinkFailed);
    EXPECT_EQ(r.portsTried, 1);
    EXPECT_EQ(rig.op.dialogs.size(), 1u);
    EXPECT_EQ(rig.count("#103:"), 1);
    if (std::string(step) != "model") {
      EXPECT_EQ(rig.id.modelIndex, 4);
    }
    if (std::string(step) == "plc.lof") {
      EXPECT_EQ(rig.id.versionIndex, 1);
    }
    EXPECT_FALSE(rig.comm.Enabled());
  }
}

TEST(AutoDetectSearch, HangUpOnAQueryStopsTheSearch) {
  DetectRig rig;
  rig.controllerAt(1).addFault(Fault::hangup("version"));
  const DetectReport r = rig.run(3);
  EXPECT_EQ(r.end, DetectEnd::Stopped);
  EXPECT_FALSE(rig.comm.Enabled());
}

TEST(AutoDetectSearch, GivenDevicesAreTriedInTheirOrder) {
  DetectRig rig;
  auto& c = rig.controllerAt(7);
  AutoDetect detect(rig.link, rig.log);
  const DetectReport r =
      detect.run({{0, "/nonexistent/zar-a"}, {1, c.devicePath()}, {2, "/nonexistent/zar-b"}}, rig.id);
  EXPECT_EQ(r.end, DetectEnd::Found);
  EXPECT_EQ(r.portIndex, 1);
  EXPECT_EQ(r.deviceName, c.devicePath());
  EXPECT_EQ(rig.link.devicePath(), "");  // the link's own choice is back
}

TEST(AutoDetectSearch, CancelStopsTheWalkAndLeavesThePortClosed) {
  DetectRig rig;
  rig.controllerAt(2).addFault(Fault::noReply("plc.lon"));
  rig.controllerAt(3);
  struct CancellingOperator : zar::test::RecordingOperator {
    Link* link = nullptr;
    void processEvents() override {
      if (++eventPumps == 3) link->requestCancel();
    }
  } op;
  op.link = &rig.link;
  MessageLog log(rig.catalog, op);
  Link link(rig.comm, DetectRig::settings(), log);
  op.link = &link;
  AutoDetect detect(link, log);
  const DetectReport r = detect.run(AutoDetect::comPorts(8), rig.id);
  EXPECT_EQ(r.outcome, DialogueOutcome::Cancelled);
  EXPECT_EQ(r.end, DetectEnd::Stopped);
  EXPECT_LE(r.portsTried, 2);
  EXPECT_FALSE(rig.controllers[0]->inputFrames().empty());  // COM2 had its LON
  EXPECT_TRUE(rig.controllers[1]->inputFrames().empty());   // COM3 was never reached
  EXPECT_FALSE(rig.comm.Enabled());
  EXPECT_EQ(op.dialogs.size(), 1u);  // no failure dialog after a cancel
}

}  // namespace
}  // namespace zar
