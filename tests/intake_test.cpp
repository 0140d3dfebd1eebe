// Catches: a registry line read or written wrongly, a filter letting a character through, a launch
// step out of order or a failure message that loses the subject or its text.
#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "intake/entry_rules.h"
#include "intake/registry.h"
#include "support/doubles.h"

namespace cue {
namespace {

using testing::EventLog;
using testing::IntakeDoubles;
using testing::MemoryFileSystem;
using Result = SubjectCheck::Result;

std::string Blanks(std::size_t n) { return std::string(n, ' '); }

// The registry lines the system writes for 12 AB 1 and 7 CD 2.
const std::string kLine12 = " 12" + Blanks(11) + "AB" + Blanks(12) + " 1 \r\n";
const std::string kLine7 = " 7" + Blanks(12) + "CD" + Blanks(12) + " 2 \r\n";
const std::string kPath = "/lab/CurrentSubjects.txt";

TEST(ScanRegistryTest, Table) {
  const std::string blanks = " 12" + Blanks(25) + " 0 \r\n";  // no initials, condition 0
  const struct {
    const char* name;
    std::string text;
    std::int16_t id;
    Result result;
    int badLine = 0;  // kMalformed: the line named
  } rows[] = {
      // clang-format off
      // The system's own lines: the first field is the ID, nothing else is.
      {"empty", "", 12, Result::kNew},
      {"condition 0 is no ID", kLine12 + blanks, 0, Result::kNew},
      // Hand-edited lines that still name a subject.
      {"line feeds", " 7 CD 2\n 12 AB 1\n", 12, Result::kRegistered},
      {"lone CRs", " 7 CD 2\r 12 AB 1\r", 12, Result::kRegistered},
      {"byte-order mark", "\xEF\xBB\xBF" + kLine12, 12, Result::kRegistered},
      {"blank lines name nobody", "\r\n  \r\n\n\n\t", 0, Result::kNew},
      {"leading zeros", "007 CD 2\r\n", 7, Result::kRegistered},
      {"fields after a comma", "12,AB,1\r\n", 1, Result::kNew},
      {"tabs", "\t12\tAB\t1\r\n", 12, Result::kRegistered},
      {"largest ID", "32767\r\n", 32767, Result::kRegistered},
      {"smallest ID", "-32768\r\n", -32768, Result::kRegistered},
      // Lines that cannot be read: never "new", unless a line names the ID.
      {"letters first", "AB 13 1\r\n", 13, Result::kMalformed, 1},
      {"found besides a bad line", "ID Initials\r\n" + kLine12, 12, Result::kRegistered},
      {"digits run into letters", "12AB 1\r\n", 12, Result::kMalformed, 1},
      {"above 16 bits", "32768 AB 1\r\n", 0, Result::kMalformed, 1},
      {"wraps to 12 in 16 bits", "65548 AB 1\r\n", 12, Result::kMalformed, 1},
      {"the first bad line", kLine7 + "x\r\n" + kLine12 + "y\r\n", 13, Result::kMalformed, 2},
      {"blank lines counted", "\r\n\n\r" + kLine7 + "?\r\n", 13, Result::kMalformed, 5},
      // clang-format on
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const SubjectCheck check = ScanRegistry(row.text, row.id);
    EXPECT_EQ(check.result, row.result);
    EXPECT_EQ(check.line, row.badLine);
  }
}

TEST(ScanRegistryTest, ABadLineIsQuotedShortAndPrintable) {
  const SubjectCheck check = ScanRegistry(kLine7 + "  AB\x01" + std::string(100, 'z') + "\r\n", 13);
  EXPECT_EQ(check.text, "AB?" + std::string(27, 'z') + "...");
  EXPECT_EQ(check.reason, "does not begin with a subject ID");
  EXPECT_EQ(ScanRegistry("70000\r\n", 1).reason, "begins with a number too large for a subject ID");
}

TEST(EntryFilterTest, EdgesOfEveryTable) {
  const struct {
    Box box;
    std::vector<int> allowed, refused;
  } rows[] = {
      {Box::kSubjectId, {8, '0', '9'}, {'/', ':', 'a', 0, 7, 9, 0x0661, 0xB2}},
      {Box::kInitials, {8, 'A', 'Z', 'a', 'z'}, {'@', '[', '`', '{', '1', 0xC4}},
      {Box::kOrderCondition, {8, '1', '3'}, {'0', '4'}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(static_cast<int>(row.box));
    for (const int code : row.allowed) EXPECT_TRUE(Allowed(row.box, code)) << code;
    // Also refused by every box: blank, Enter, Esc, the clipboard and undo keys, DEL and beyond.
    std::vector<int> refused = {32, 13, 27, 3, 22, 24, 26, 127, 128, 255, 0x4E00, 0xFFFF};
    refused.insert(refused.end(), row.refused.begin(), row.refused.end());
    for (const int code : refused) EXPECT_FALSE(Allowed(row.box, code)) << code;
  }
}

// Start pressed: with nothing in the way, every step in order. With the disk or another program
// in the way, each cause is told in the application's box (a registration lost meanwhile in the
// entry's), and the program ends only where the subject can no longer be started again.
TEST(GreetLaunchTest, StepsAndWhatStopsThem) {
  const std::string appended = "Append " + kPath, made = "MakeDirectory /lab/Res_Data";
  const std::string folder = "/lab/Res_Data", registryLock = kPath + ".lock";
  const std::string runLock = folder + "/R-12.txt.lock";
  const std::string notAdded =
      "Message The subject could not be added to the registry " + kPath + ".\rError ";
  const std::string noFolder = "Message The results folder " + folder + " could not be created.\r";
  const std::string ends = ".\rThe registry is unchanged. The program ends.";
  const std::string ends12 = ".\rSubject 12 is already in the registry. The program ends.";
  const std::string locked = ".\rError 70: Locked by another run.\r";
  const struct {
    const char* name;
    std::function<void(MemoryFileSystem&)> setUp;
    EventLog log;
    std::string title = kAppTitle;  // "": no message
  } rows[] = {
      {"nothing in the way", [](auto&) {},
       {appended, made, "SetCursorPos 15360 11520", "Display.Load", "Display.Visible", "Rest.Load",
        "Rest.Visible", "Blanke.Load", "Blanke.Visible", "ShowBlankeCross 1000 1000 500 Display"},
       ""},
      {"not opened", [&](auto& m) { m.openErrors[kPath] = {75, "Permission denied", kPath}; },
       {notAdded + "75: Permission denied" + ends, "EndProgram"}},
      {"not closed", [&](auto& m) { m.closeErrors[kPath] = {61, "No space left on device", kPath}; },
       {notAdded + "61: No space left on device" + ends, "EndProgram"}},
      {"no folder", [&](auto& m) { m.makeErrors[folder] = {76, "Gone", folder}; },
       {appended, made, noFolder + "Error 76: Gone" + ends12, "EndProgram"}},
      // Error 75 means "already there" only where a folder is there.
      {"75 and no folder", [&](auto& m) { m.makeErrors[folder] = {75, "File exists", folder}; },
       {appended, made, noFolder + "Error 75: File exists" + ends12, "EndProgram"}},
      // Two programs in one lab folder: the check is made again under the registry's lock,
      // and the subject's lock is held for the whole run.
      {"registry locked", [&](auto& m) { m.locked.insert(registryLock); },
       {"Message The subject registry is in use: its lock " + registryLock +
        " is held by another start of the program" + locked +
        "Nothing was registered. Press Start again in a moment."}},
      {"registered meanwhile", [&](auto& m) { m.files[kPath] += kLine12; },
       {"Message Sorry subject 12 allready exsists.\rLook in /lab/CurrentSubjects to see current "
        "subjects."},
       "ERROR"},
      {"subject running", [&](auto& m) { m.locked.insert(runLock); },
       {appended, made,
        "Message Subject 12 is being run by another program: its lock " + runLock + " is held" +
            locked + "That run's results file is left untouched. The program ends.",
        "EndProgram"}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    IntakeDoubles d;
    d.memory.files[kPath] = kLine7;
    row.setUp(d.memory);
    const std::string before = d.memory.files[kPath];
    GreetLogic logic(d.Context());
    logic.Form_Load();
    ASSERT_EQ(d.log, EventLog{"Blanke.Load"});
    d.log.clear();
    d.state.subjectId = 12;
    logic.Command1_Click("AB", "1");
    EXPECT_EQ(d.log, row.log);
    EXPECT_EQ(d.memory.files[kPath], before + (row.log[0] == appended ? kLine12 : ""));
    EXPECT_EQ(d.dialogs.shown.size(), row.title.empty() ? 0U : 1U);
    if (row.title.empty()) {
      EXPECT_EQ(d.state.orderCondition, 1);
      continue;
    }
    EXPECT_EQ(d.dialogs.shown[0].title, row.title);
    EXPECT_EQ(d.dialogs.shown[0].icon, Icon::kExclamation);
    if (row.log.back() == "EndProgram") continue;
    d.memory.locked.clear();
    d.memory.files[kPath] = kLine7;
    logic.Command1_Click("AB", "1");  // refused without a change: Start works again
    EXPECT_EQ(d.memory.files[kPath], kLine7 + kLine12);
    EXPECT_EQ(d.memory.locked, (std::set<std::string>{runLock}));  // for the whole run
  }
}

TEST(GreetLaunchTest, TheLaunchedIdIsRegisteredWhateverTheRegistryHeld) {
  // The last three end without a line end, with a lone LF, with a lone CR.
  for (const std::string& before : {std::string(), kLine7, std::string(" 5 X 1"),
                                    std::string(" 5 X 1\n"), std::string(" 5 X 1\r")}) {
    SCOPED_TRACE(before.substr(0, 10));
    IntakeDoubles d;
    if (!before.empty()) d.memory.files[kPath] = before;
    GreetLogic logic(d.Context());
    d.state.subjectId = 12;
    logic.Command1_Click("AB", "1");
    const std::string lineEnd = before.ends_with('1') ? "\r\n" : "";
    EXPECT_EQ(d.memory.files[kPath], before + lineEnd + kLine12);
    EXPECT_EQ(IsNewSubject(d.files, 12).result, Result::kRegistered);
    EXPECT_TRUE(IsNewSubject(d.files, 13).IsNew());
  }
}

}  // namespace
}  // namespace cue
