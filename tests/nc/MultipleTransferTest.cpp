// Reading and writing many programs against the virtual controller, byte
// for byte, with the faults that can stop a run half-way.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "base/SafeFile.h"
#include "nc/MultipleTransfer.h"
#include "nc/TransferRig.h"

namespace zar::nc {
namespace {

using controller::Fault;
using controller::Program;
using test::msg;
using V = std::vector<std::string>;
namespace fs = std::filesystem;
namespace f = zar::frames;

std::string slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void spit(const fs::path& p, const std::string& text) {
  std::ofstream out(p, std::ios::binary);
  out << text;
}

struct TempDir {
  TempDir() {
    char pattern[] = "/tmp/zar-multi-XXXXXX";
    path = mkdtemp(pattern);
  }
  ~TempDir() {
    std::error_code ec;
    fs::permissions(path, fs::perms::owner_all, ec);
    fs::remove_all(path, ec);
  }
  std::string dir() const { return path.string() + "/"; }
  fs::path path;
};

struct MultiRig : test::Rig {
  using test::Rig::Rig;
  MultipleTransfer multi{link, log};
  TempDir tmp;
  DialogueOutcome read(std::initializer_list<int> slots, std::string_view prefix = "") {
    SlotSelection s{};
    for (int n : slots) s[n - 1] = true;
    return multi.readSlots(s, prefix, tmp.dir(), page);
  }
  DialogueOutcome write(const V& names, bool inquire = true) {
    return multi.writeFiles(names, tmp.dir(), inquire, page);
  }
  size_t count(const std::string& line) { return std::count(log_().begin(), log_().end(), line); }
};

TEST(SlotNames, FileNamesAndLists) {
  EXPECT_EQ(slotFileName("JOB", 5), "JOBL05.NC");
  EXPECT_EQ(slotFileName("JOB", 61), "JOBG61.NC");
  EXPECT_EQ(slotFileName("", 59), "L59.NC");
  EXPECT_EQ(slotFailedText(7), "In program No 07");
  EXPECT_EQ(inDirectory("/a", "B.NC"), "/a/B.NC");
  EXPECT_EQ(inDirectory("/a/", "B.NC"), "/a/B.NC");

  auto list = parseSlotList("3,61", nullptr);
  ASSERT_TRUE(list);
  EXPECT_EQ(std::count(list->begin(), list->end(), true), 2);
  EXPECT_TRUE((*list)[2] && (*list)[60]);
  list = parseSlotList("L01-L16,g60-G68", nullptr);
  ASSERT_TRUE(list);
  EXPECT_EQ(std::count(list->begin(), list->end(), true), 25);
  list = parseSlotList("all", nullptr);
  EXPECT_EQ(std::count(list->begin(), list->end(), true), 68);
  std::string why;
  for (const char* bad : {"", "0", "69", "L60", "G59", "5-3", "x", "3,,4", "L1-", "100"}) {
    EXPECT_FALSE(parseSlotList(bad, &why)) << bad;
  }
  EXPECT_NE(why.find("all"), std::string::npos);
}

TEST(MultipleRead, Slots3And61WithPrefixPAreAskedInOrderAndSavedByteForByte) {
  MultiRig rig;
  rig.ctrl.setProgram(3, Program{"THREE", {"G00 X1", "", "M30"}});
  rig.ctrl.setProgram(61, Program{"SIXTY1", {"G01 Y2"}});
  V shown;
  rig.multi.onProgram = [&](const ProgramPage& p, const std::string& path) {
    shown.push_back(std::to_string(p.slot) + " " + p.progName + " " + path);
  };
  ASSERT_EQ(rig.read({61, 3}, "P"), DialogueOutcome::Done);
  const V in = rig.ctrl.inputFrames();
  const V perSlot3{f::kAttention, f::kList, "03\r\n", f::kAck, f::kAck, f::kAck, f::kAck, f::kAck, f::kAck};
  const V perSlot61{f::kAttention, f::kList, "61\r\n", f::kAck, f::kAck, f::kAck, f::kAck};
  V expected = perSlot3;
  expected.insert(expected.end(), perSlot61.begin(), perSlot61.end());
  EXPECT_EQ(in, expected);
  // The empty third line leaves its number out of the file.
  EXPECT_EQ(slurp(rig.tmp.path / "PL03.NC"), "3\r\nTHREE\r\nN1 G00 X1\r\nN3 M30\r\n");
  EXPECT_EQ(slurp(rig.tmp.path / "PG61.NC"), "61\r\nSIXTY1\r\nN1 G01 Y2\r\n");
  ASSERT_EQ(rig.multi.records().size(), 2u);
  EXPECT_EQ(rig.multi.records()[0].lines, 3u);
  EXPECT_TRUE(rig.multi.records()[1].ok);
  EXPECT_EQ(shown.back(), "61 SIXTY1 " + rig.tmp.dir() + "PG61.NC");
  EXPECT_EQ(rig.op.clears[Page::Program], 2);
  EXPECT_EQ(rig.count(rig.opened()), 1u);  // the port is opened once
  EXPECT_EQ(rig.count(msg(107)), 1u);
  EXPECT_EQ(rig.editor(), V{"G01 Y2"});
  EXPECT_FALSE(rig.comm.Enabled());
}

TEST(MultipleRead, RefusedSlotIsNamedAndTheRunGoesOn) {
  MultiRig rig;
  rig.ctrl.setProgram(8, Program{"EIGHT", {"M30"}});
  ASSERT_EQ(rig.read({7, 8}), DialogueOutcome::Done);
  EXPECT_TRUE(rig.has("In program No 07"));
  EXPECT_TRUE(rig.has(msg(122)));
  EXPECT_FALSE(fs::exists(rig.tmp.path / "L07.NC"));
  EXPECT_TRUE(fs::exists(rig.tmp.path / "L08.NC"));
  EXPECT_EQ(rig.multi.records()[0].result, "refused");
}

TEST(MultipleRead, X00TypeWritesNoNameLine) {
  MultiRig rig(test::x00Config());
  rig.page.typeIndex = kTypeX00;
  rig.ctrl.setProgram(2, Program{"", {"G00 X0", "M02"}});
  ASSERT_EQ(rig.read({2}), DialogueOutcome::Done);
  EXPECT_EQ(slurp(rig.tmp.path / "L02.NC"), "2\r\nN1 G00 X0\r\nN2 M02\r\n");
}

TEST(MultipleRead, AFailedSlotWritesNoFileAndAnEarlierBackupStays) {
  struct Case {
    Fault fault;
    const char* line;  // the "In program No" line expected, or ""
  };
  const Case cases[] = {
      {Fault::noReply("list.name"), "In program No 05"},  // nothing after the first ACK
      {Fault::nak("list.name"), "In program No 05"},
      {Fault::noReply("list.line:2"), ""},                // broken off after lines came
      {Fault::hangup("list.line:1"), ""},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.fault.step + ":" + std::string(faultKindName(k.fault.kind)));
    MultiRig rig;
    rig.ctrl.setProgram(5, Program{"FIVE", {"G00", "G01", "M30"}});
    rig.ctrl.setProgram(6, Program{"SIX", {"M30"}});
    spit(rig.tmp.path / "L05.NC", "5\r\nFIVE\r\nN1 OLD\r\n");
    rig.ctrl.addFault(k.fault);
    EXPECT_NE(rig.read({5, 6}), DialogueOutcome::Done);
    EXPECT_EQ(slurp(rig.tmp.path / "L05.NC"), "5\r\nFIVE\r\nN1 OLD\r\n");
    EXPECT_FALSE(fs::exists(rig.tmp.path / "L06.NC"));  // the run ended there
    if (*k.line) {
      EXPECT_TRUE(rig.has(k.line));
    }
    EXPECT_FALSE(rig.multi.records()[0].ok);
    EXPECT_FALSE(rig.comm.Enabled());
  }
}

TEST(MultipleRead, SilentControllerEndsTheRunAtOnce) {
  MultiRig rig;
  rig.ctrl.setProgram(1, Program{"ONE", {"M30"}});
  rig.ctrl.setProgram(2, Program{"TWO", {"M30"}});
  rig.ctrl.addFault(Fault::noReply("list.slot"));
  EXPECT_EQ(rig.read({1, 2}), DialogueOutcome::LinkFailed);
  EXPECT_EQ(rig.count(msg(103)), 1u);  // one time-out, not one per remaining slot
  EXPECT_EQ(rig.multi.records().size(), 1u);
}

TEST(MultipleRead, AFileThatCannotBeWrittenStopsTheRunWithThePortClosed) {
  MultiRig rig;
  rig.ctrl.setProgram(1, Program{"ONE", {"M30"}});
  rig.ctrl.setProgram(2, Program{"TWO", {"M30"}});
  spit(rig.tmp.path / "L01.NC", "1\r\nONE\r\nN1 OLD\r\n");
  const InjectedWriteFailure full(SafeFileStep::Write, ENOSPC);  // a full disk
  EXPECT_EQ(rig.read({1, 2}), DialogueOutcome::FileFailed);
  EXPECT_EQ(slurp(rig.tmp.path / "L01.NC"), "1\r\nONE\r\nN1 OLD\r\n");
  EXPECT_EQ(rig.multi.records().size(), 1u);
  EXPECT_NE(rig.multi.records()[0].result.find("not written"), std::string::npos);
  EXPECT_TRUE(rig.has(msg(107)));
  EXPECT_FALSE(rig.comm.Enabled());
}

TEST(MultipleWrite, FilesAreStoredByteForByteAndAnEmptyLineTravelsAsItsNumber) {
  MultiRig rig;
  spit(rig.tmp.path / "A.NC", "3\r\nTHREE\r\nN1 G00 X1\r\nN3 M30\r\n");
  spit(rig.tmp.path / "B.NC", "61\nSIXTY1\nN1 G01 Y2\n");
  ASSERT_EQ(rig.write({"A.NC", "B.NC"}), DialogueOutcome::Done);
  const V expected{
      f::kAttention, f::kList, "03\r\n",  // empty slot: refused, nothing to delete
      f::kAttention, f::kStore, "03\r\n", "THREE   \r\n", "N1 G00 X1\r\n", "N2 \r\n", "N3 M30\r\n",
      f::kAttention, f::kList, "61\r\n",
      f::kAttention, f::kStore, "61\r\n", "SIXTY1  \r\n", "N1 G01 Y2\r\n",
  };
  EXPECT_EQ(rig.ctrl.inputFrames(), expected);
  EXPECT_EQ(rig.ctrl.program(3), (Program{"THREE", {"G00 X1", "", "M30"}}));
  EXPECT_EQ(rig.ctrl.program(61), (Program{"SIXTY1", {"G01 Y2"}}));
  EXPECT_TRUE(rig.has(msg(114, ":3")));
  EXPECT_EQ(rig.count(msg(106)), 2u);
  EXPECT_EQ(rig.count(rig.opened()), 1u);
  EXPECT_TRUE(rig.op.dialogs.empty());
}

TEST(MultipleWrite, ExistingProgramIsDeletedFirstAskedOrNot) {
  struct Case {
    bool inquire;
    int answer;
    bool deleted;
  };
  for (const Case k : {Case{false, mrOk, true}, Case{true, mrOk, true}, Case{true, mrCancel, false}}) {
    SCOPED_TRACE(std::to_string(k.inquire) + "/" + std::to_string(k.answer));
    MultiRig rig;
    rig.ctrl.setProgram(4, Program{"OLD", {"G00", "G01"}});
    spit(rig.tmp.path / "L04.NC", "4\r\nNEW\r\nN1 M30\r\n");
    rig.op.answers = {k.answer};
    ASSERT_EQ(rig.write({"L04.NC"}, k.inquire), DialogueOutcome::Done);
    ASSERT_EQ(rig.op.dialogs.size(), k.inquire ? 1u : 0u);
    if (k.inquire) {
      EXPECT_EQ(rig.op.dialogs[0].text, "#130:\n\n#14::04\n#15::OLD");
    }
    EXPECT_EQ(rig.has(msg(127)), k.deleted);
    EXPECT_EQ(rig.has(msg(128)), k.deleted);
    const V frames = rig.ctrl.inputFrames();
    EXPECT_EQ(std::count(frames.begin(), frames.end(), f::kDelete), k.deleted ? 1 : 0);
    // The store goes out in every case.
    EXPECT_EQ(std::count(frames.begin(), frames.end(), f::kStore), 1);
    EXPECT_EQ(rig.page.tmpProgName, "OLD");
  }
}

TEST(MultipleWrite, BadFilesStopTheRunBeforeAnythingIsSentForThem) {
  struct Case {
    std::string content;
    const char* message;  // "" when the run ends without one
  };
  const Case cases[] = {
      {"0\r\nX\r\nN1 M30\r\n", "#112:"},
      {"100\r\nX\r\nN1 M30\r\n", "#112:"},
      {"5\r\nNINECHARS\r\nN1 M30\r\n", "#113:"},
      {"", ""},
      {"5\r\n", ""},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.content);
    MultiRig rig;
    spit(rig.tmp.path / "GOOD.NC", "1\r\nONE\r\nN1 M30\r\n");
    spit(rig.tmp.path / "BAD.NC", k.content);
    EXPECT_EQ(rig.write({"GOOD.NC", "BAD.NC", "GOOD.NC"}), DialogueOutcome::FileFailed);
    if (*k.message) {
      EXPECT_TRUE(rig.has(k.message));
    }
    // Only the first file went out.
    const V frames = rig.ctrl.inputFrames();
    EXPECT_EQ(std::count(frames.begin(), frames.end(), f::kStore), 1);
    EXPECT_EQ(rig.multi.records().size(), 2u);
    EXPECT_FALSE(rig.comm.Enabled());
  }
  MultiRig rig;
  EXPECT_EQ(rig.write({"MISSING.NC"}), DialogueOutcome::FileFailed);
  EXPECT_NE(rig.multi.records()[0].result.find("cannot open"), std::string::npos);
}

TEST(MultipleWrite, RefusedLineEndsTheRunAndSaysHowFarItGot) {
  MultiRig rig;
  spit(rig.tmp.path / "A.NC", "9\r\nNINE\r\nN1 G00\r\nN2 G01\r\nN3 M30\r\n");
  rig.ctrl.addFault(Fault::nak("store.line:2"));
  EXPECT_EQ(rig.write({"A.NC", "A.NC"}), DialogueOutcome::Refused);
  EXPECT_EQ(rig.multi.records()[0].result, "stopped after 1 of 3 lines");
}

TEST(MultipleCancel, MidRunLeavesThePortClosedAndWrittenFilesWhole) {
  for (const bool writing : {false, true}) {
    SCOPED_TRACE(writing ? "write" : "read");
    auto frames = std::make_shared<std::atomic<int>>(0);
    auto target = std::make_shared<std::atomic<Link*>>(nullptr);
    controller::ControllerConfig config;
    config.monitor = [frames, target](const controller::TrafficEntry& e) {
      if (e.kind == controller::TrafficEntry::Kind::In && ++*frames == 14) target->load()->requestCancel();
    };
    MultiRig rig(config);
    *target = &rig.link;
    for (int s = 1; s <= 4; ++s) rig.ctrl.setProgram(s, Program{"P" + std::to_string(s), {"G00", "G01", "M30"}});
    for (int s = 1; s <= 4; ++s) spit(rig.tmp.path / slotFileName("", s), "OLD BACKUP");
    spit(rig.tmp.path / "W1.NC", "21\r\nW1\r\nN1 G00\r\nN2 M30\r\n");
    spit(rig.tmp.path / "W2.NC", "22\r\nW2\r\nN1 G00\r\nN2 M30\r\n");
    const DialogueOutcome outcome = writing ? rig.write({"W1.NC", "W2.NC"}) : rig.read({1, 2, 3, 4});
    EXPECT_EQ(outcome, DialogueOutcome::Cancelled);
    EXPECT_TRUE(rig.has(std::string(Link::kCancelledText)));
    EXPECT_FALSE(rig.comm.Enabled());
    EXPECT_EQ(rig.multi.records().back().result, "cancelled");
    // Nothing more went out after the frame that asked for the cancel.
    rig.ctrl.waitForFrames(15, 300);
    EXPECT_EQ(rig.ctrl.inputFrames().size(), 14u);
    if (writing) {
      EXPECT_EQ(rig.ctrl.program(21), (Program{"W1", {"G00", "M30"}}));
      EXPECT_EQ(slurp(rig.tmp.path / "W2.NC"), "22\r\nW2\r\nN1 G00\r\nN2 M30\r\n");
      continue;
    }
    // Slot 1 came whole and was saved; the slot being read when the cancel
    // came, and the rest, keep their old files.
    EXPECT_EQ(slurp(rig.tmp.path / "L01.NC"), "1\r\nP1\r\nN1 G00\r\nN2 G01\r\nN3 M30\r\n");
    for (int s = 2; s <= 4; ++s) EXPECT_EQ(slurp(rig.tmp.path / slotFileName("", s)), "OLD BACKUP");
  }
}

TEST(MultipleCancel, AtEveryFrameNothingMoreIsSentAndThePortCloses) {
  // Two slots read, two files written (the first replacing a program):
  // a cancel asked for as the controller takes frame k stops the run there.
  for (const bool writing : {false, true}) {
    for (int k = 1;; ++k) {
      SCOPED_TRACE(std::string(writing ? "write" : "read") + " at frame " + std::to_string(k));
      auto frames = std::make_shared<std::atomic<int>>(0);
      auto target = std::make_shared<std::atomic<Link*>>(nullptr);
      controller::ControllerConfig config;
      config.monitor = [frames, target, k](const controller::TrafficEntry& e) {
        if (e.kind == controller::TrafficEntry::Kind::In && ++*frames == k) target->load()->requestCancel();
      };
      MultiRig rig(config);
      *target = &rig.link;
      rig.ctrl.setProgram(1, Program{"ONE", {"G00", "M30"}});
      rig.ctrl.setProgram(2, Program{"TWO", {"M30"}});
      spit(rig.tmp.path / "A.NC", "1\r\nNEW\r\nN1 G01\r\n");
      spit(rig.tmp.path / "B.NC", "5\r\nFIVE\r\nN1 M30\r\n");
      const DialogueOutcome outcome = writing ? rig.write({"A.NC", "B.NC"}, false) : rig.read({1, 2});
      if (outcome == DialogueOutcome::Done) {
        EXPECT_GT(k, 10);  // the run ended before frame k
        break;
      }
      EXPECT_EQ(outcome, DialogueOutcome::Cancelled);
      EXPECT_FALSE(rig.comm.Enabled());
      rig.ctrl.waitForFrames(static_cast<size_t>(k) + 1, 50);
      EXPECT_EQ(rig.ctrl.inputFrames().size(), static_cast<size_t>(k));
      EXPECT_EQ(std::count(rig.log_().begin(), rig.log_().end(), std::string(Link::kCancelledText)), 1);
      if (!writing) {
        // A slot file exists only whole.
        if (fs::exists(rig.tmp.path / "L02.NC")) ADD_FAILURE() << "slot 2 came whole after a cancel";
        if (fs::exists(rig.tmp.path / "L01.NC")) {
          EXPECT_EQ(slurp(rig.tmp.path / "L01.NC"), "1\r\nONE\r\nN1 G00\r\nN2 M30\r\n");
        }
      }
    }
  }
}

TEST(MultipleProgress, CountsPrograms) {
  MultiRig rig;
  struct Seen : ProgressObserver {
    ProgressSnapshot last;
    void progressChanged(const ProgressSnapshot& now) override { last = now; }
    void progressEnded(const ProgressSnapshot& s, DialogueOutcome) override { last = s; }
  } seen;
  rig.link.progress().setObserver(&seen);
  rig.ctrl.setProgram(1, Program{"A", {"M30"}});
  rig.ctrl.setProgram(2, Program{"B", {"M30"}});
  ASSERT_EQ(rig.read({1, 2, 3}), DialogueOutcome::Done);
  EXPECT_EQ(seen.last.unit, ProgressUnit::Programs);
  EXPECT_EQ(seen.last.done, 3u);
  EXPECT_EQ(seen.last.total, 3u);
  rig.link.progress().setObserver(nullptr);
}

}  // namespace
}  // namespace zar::nc
