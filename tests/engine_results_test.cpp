// Catches: results or journal bytes off the file format, numbers in the locale, an answer lost on a
// disk fault.
#include <gtest/gtest.h>

#include <clocale>
#include <functional>
#include <map>
#include <string>
#include <tuple>

#include "engine/journal.h"
#include "engine/results_log.h"
#include "engine/timing_log.h"
#include "labfolder/results_format.h"
#include "support/fake_sound_player.h"
#include "support/memory_files.h"
#include "support/scripted.h"
#include "support/virtual_time.h"

namespace cue {
namespace {

using namespace cue::testing;  // NOLINT(google-build-using-namespace): the test support

// Its bytes are checked in labfolder_test.
const std::string kHeader = HeaderLine(ResultsColumns());
const std::string kFile = "/lab/Res_Data/R-17.txt";
const char* const kNoSpace = "No space left on device";
using enum FileFailure;

// Under the C locale and under one whose decimal separator is a comma: numbers in the
// files never follow the user's locale. The timing line tells a trial whose sound was lost,
// also when its cue was due after an early answer.
TEST(ResultsFormatTest, SinglesAsShortestTextOfAtMostSevenDigitsInAnyLocale) {
  // clang-format off
  const std::pair<float, const char*> cases[] = {
      {4500, "4500"}, {0, "0"}, {-5, "-5"}, {4500.5F, "4500.5"}, {0.1F, "0.1"},
      {1234567, "1234567"}, {3.14159265F, "3.141593"}, {100000, "100000"},
      {12345678, "1.234568E+07"}, {1e7F, "1E+07"}, {1e-6F, "1E-06"}, {0.0001F, "0.0001"},
      {-0.0F, "0"}};
  // clang-format on
  for (const char* locale : {"C", "de_DE.UTF-8"}) {
    if (std::setlocale(LC_ALL, locale) == nullptr)
      GTEST_SKIP() << locale << " is not available (scripts/test-env makes it)";
    for (const auto& [value, text] : cases)
      EXPECT_EQ(FormatSingle(value), text) << value << " in " << locale;
    testing::VirtualTime clock;
    FakeSoundPlayer sound(clock);
    MemoryFileSystem files;
    TimingLog timing(files, sound);
    timing.Open("/lab/t.txt");
    sound.onsetDelayMicros = 999'994;
    timing.TrialStarted(1, clock.Micros());
    timing.CueStarted(0, sound.Play(std::get<SoundPlayer::SoundId>(sound.Open("/lab/wave/1.wav"))));
    timing.Answered(1, 0);
    sound.outputAvailable = false;  // lost before the next answer: that trial was silent
    timing.Answered(2, 0);
    sound.outputAvailable = true;
    // Answered before its cue, which the server then never started: silent too.
    timing.TrialStarted(2, clock.Micros());
    timing.Answered(clock.Micros() + 300, 0);
    timing.CueStarted(1, sound.PlayAt(0, clock.Micros() + 50'000));
    sound.stalled = true;
    sound.outputAvailable = false;
    timing.Flush();
    EXPECT_NE(files.files["/lab/t.txt"].find("\t999.994\t-\tlost\t"), std::string::npos) << locale;
    EXPECT_NE(files.files["/lab/t.txt"].find("\t-\t-\tlost\t"), std::string::npos) << locale;
  }
  std::setlocale(LC_ALL, "C");
}

// One answer's row, left open when the program ends before it is closed.
void Row(ResultsLog& log, int trial, bool close = true) {
  log.Open();
  log.WriteFields({trial, 1});
  log.WriteFields({std::string("1"), 500, LineEnd()});
  if (close) log.Close();
}
std::string RowText(int trial) { return std::to_string(trial) + "\t1\t1\t500\t\r\n"; }
// A journal's heading lines, as the machine `machine` wrote it for `results`.
std::string Head(const std::string& results, const std::string& machine = ThisMachine().machine,
                 const std::string& boot = ThisMachine().boot) {
  return "#" + results + "\r\n#machine " + machine + "\r\n#boot " + boot + "\r\n" + kHeader;
}
const std::string kJournalHead = Head(kFile);

// Each fault strikes after the header and row 1, holds for rows 2 and 3, and is gone at row 4.
TEST(ResultsLogTest, EveryRowReachesTheFileOnceAndInOrderWhateverTheFault) {
  const struct {
    const char* name;
    std::function<void(MemoryFileSystem&)> strike, heal;
    const char* reason;
    bool fileLost;  // the fault took the file's earlier rows with it
  } faults[] = {
      // clang-format off
      {"folder gone", [](auto& f) { f.folders.erase("/lab/Res_Data"); f.files.erase(kFile); },
       [](auto& f) { f.folders.insert("/lab/Res_Data"); }, "No such file or directory", true},
      {"read-only", [](auto& f) { f.readOnly.insert("/lab/Res_Data"); },
       [](auto& f) { f.readOnly.clear(); }, "Permission denied", false},
      // The lab's disk is full; the user's own data folder lies on another.
      {"disk full", [](auto& f) { f.closeErrors[kFile] = {kDiskFull, ENOSPC, kFile, kNoSpace}; },
       [](auto& f) { f.closeErrors.clear(); }, kNoSpace, false},
      // clang-format on
  };
  for (const auto& fault : faults) {
    SCOPED_TRACE(fault.name);
    MemoryFileSystem files;
    files.folders.insert({"/lab/Res_Data", "/prog"});
    ScriptedDialogs dialogs;
    ResultsLog log(files, dialogs, "/prog/journal");
    log.WriteHeader(kFile);
    Row(log, 1);
    fault.strike(files);
    Row(log, 2);
    Row(log, 3);
    ASSERT_EQ(dialogs.shown.size(), 2U);  // at each answer while rows wait
    const Message& told = dialogs.shown[1];
    EXPECT_EQ(std::tuple(told.title, told.icon, told.keyProof),
              std::tuple("RESULTS NOT SAVED YET", Icon::kExclamation, true));
    for (const std::string& part :
         {kFile, std::string(fault.reason), log.journalPath(), std::string("2 lines")})
      EXPECT_NE(told.text.find(part), std::string::npos) << part << " in " << told.text;
    EXPECT_EQ(files.files[log.journalPath()], kJournalHead + RowText(2) + RowText(3));
    fault.heal(files);
    Row(log, 4);
    const std::string before = fault.fileLost ? kHeader : kHeader + RowText(1);
    EXPECT_EQ(files.files[kFile], before + RowText(2) + RowText(3) + RowText(4));
    EXPECT_FALSE(files.Exists(log.journalPath()));
    EXPECT_EQ(dialogs.shown.size(), 2U);
  }
}

// At the end, the row still open is closed and kept too; with nowhere to keep them, says so.
TEST(ResultsLogTest, TheLastChanceLeavesKeptRowsInTheJournalAndSaysWhere) {
  MemoryFileSystem files;
  files.folders.insert({"/lab/Res_Data", "/prog"});
  ScriptedDialogs dialogs;
  ResultsLog log(files, dialogs, "/prog/journal"), nowhere(files, dialogs, "/prog/journal");
  log.WriteHeader(kFile);
  Row(log, 1);
  files.folders.erase("/lab/Res_Data");
  Row(log, 2);
  Row(log, 3, false);
  const auto report = log.LastChance();
  ASSERT_TRUE(report.has_value());
  EXPECT_EQ(report->title, "RESULTS RESCUED");
  EXPECT_NE(report->text.find(log.journalPath()), std::string::npos);
  EXPECT_EQ(log.journalPath().rfind("/prog/journal/lab-", 0), 0U);
  EXPECT_EQ(files.files[log.journalPath()], kJournalHead + RowText(2) + RowText(3));
  EXPECT_EQ(files.files[kFile], kHeader + RowText(1));

  files.folders = {"/lab"};
  nowhere.WriteHeader(kFile);
  EXPECT_FALSE(nowhere.LastChance().has_value());  // no answer yet
  Row(nowhere, 1, false);
  EXPECT_EQ(nowhere.LastChance()->title, "RESULTS NOT SAVED");
}

// The next start writes into each results file of this lab what it lacks, leaves alone the
// journal of a subject still running and other labs' journals, and keeps what it cannot write.
TEST(JournalTest, TheNextStartWritesWhatTheResultsFileLacksAndLeavesOthersAlone) {
  MemoryFileSystem files;
  files.folders.insert({"/lab/Res_Data", "/j"});
  const std::string r5 = "/lab/Res_Data/R-5.txt", r6 = "/lab/Res_Data/R-6.txt",
                    r7 = "/lab/Res_Data/R-7.txt";
  const std::string row1 = RowText(1), row2 = RowText(2), other = "/other/Res_Data/R-5.txt";
  for (const auto& [results, rows] :
       {std::pair{r5, row1 + row2}, {r6, row1}, {r7, row1}, {other, row1}})
    files.files["/j/" + JournalName(results)] = Head(results) + rows;
  files.files[r5] = kHeader + row1;      // row 1 reached the file before the program ended
  files.locked.insert(RunLockPath(r7));  // its subject is running
  const auto found = RecoverJournals(files, "/j", "/lab");
  EXPECT_EQ(files.files[r5], kHeader + row1 + row2);
  EXPECT_EQ(files.files[r6], kHeader + row1);  // its results file was gone
  EXPECT_EQ(std::get<std::vector<std::string>>(files.List("/j")),
            (std::vector<std::string>{JournalName(r7), JournalName(other)}));
  EXPECT_FALSE(files.files.contains(other));
  ASSERT_EQ(found.size(), 2U);
  EXPECT_EQ(std::pair(found[0].resultsFile, found[0].rows), std::pair(r5, 1));  // the row it lacked
  const Message message = RecoveryMessage(found);
  EXPECT_EQ(message.title, "RESULTS RECOVERED");
  EXPECT_NE(message.text.find("1 answer that"), std::string::npos);
  EXPECT_NE(message.text.find(r6), std::string::npos);

  files.readOnly.insert("/lab/Res_Data");
  files.locked.clear();
  const auto failed = RecoverJournals(files, "/j", "/lab");
  ASSERT_EQ(failed.size(), 1U);
  EXPECT_TRUE(failed[0].error.has_value());
  EXPECT_TRUE(files.Exists("/j/" + JournalName(r7)));
  EXPECT_NE(RecoveryMessage(failed).text.find("still cannot be written"), std::string::npos);
}

// A journal goes back only on the machine that wrote it (whatever its boot since), into the
// results file that its name and the lab folder give; any other is left untouched and reported.
TEST(JournalTest, OnlyThisMachinesJournalOfThisLabsFileIsWrittenBack) {
  const MachineIdentity here{"id-1 pc1", "boot-b"};
  const std::string r5 = "/lab/Res_Data/R-5.txt", row = RowText(1), odd = "/la\nb/Res_Data/R-5.txt";
  const struct {
    const char* name;
    std::string lab, journal, text, kept;
  } rows[] = {
      {"this machine, restarted", "/lab", JournalName(r5), Head(r5, "id-1 pc1", "boot-a") + row,
       ""},
      {"another machine", "/lab", JournalName(r5), Head(r5, "id-2 pc2") + row,
       "it was written on another machine (id-2 pc2; this one is id-1 pc1)"},
      {"a cloned machine id", "/lab", JournalName(r5), Head(r5, "id-1 pc2") + row,
       "another machine"},
      {"no machine", "/lab", JournalName(r5), "#" + r5 + "\r\n" + kHeader + row,
       "does not say which machine"},
      {"another subject's file", "/lab", JournalName(r5),
       Head("/lab/Res_Data/R-6.txt", "id-1 pc1") + row, "not this lab folder's"},
      {"a line break in the lab's path", "/la\nb", JournalName(odd), Head(odd, "id-1 pc1") + row,
       "not this lab"},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.name);
    MemoryFileSystem files;
    files.folders.insert({r.lab, r.lab + "/Res_Data", "/j"});
    files.files["/j/" + r.journal] = r.text;
    const auto found = RecoverJournals(files, "/j", r.lab, here);
    ASSERT_EQ(found.size(), 1U);
    EXPECT_NE(found[0].kept.find(r.kept), std::string::npos) << found[0].kept;
    const Message told = RecoveryMessage(found);
    if (r.kept.empty()) {
      EXPECT_EQ(files.files, (std::map<std::string, std::string>{{r5, kHeader + row}}));
      EXPECT_EQ(told.title, "RESULTS RECOVERED");
      continue;
    }
    EXPECT_EQ(files.files, (std::map<std::string, std::string>{{"/j/" + r.journal, r.text}}));
    EXPECT_EQ(told.title, "RESULTS KEPT IN THE JOURNAL");
    EXPECT_NE(told.text.find("1 answer kept in\r/j/" + r.journal + "\ris left there"),
              std::string::npos);
  }
  // A lab folder of 78 three-byte characters: the journal's name keeps 13 of them.
  std::string cjk;
  for (int i = 0; i < 78; ++i) cjk += "\u5B9F";
  const std::string name = JournalName("/home/u/" + cjk + "/Res_Data/R-5.txt");
  EXPECT_EQ(name.substr(0, 40), cjk.substr(0, 39) + "-");
  EXPECT_EQ(name.size(), 39 + 1 + 16 + 1 + 7U);
}

TEST(JournalTest, TheJournalFolderHasAClearFallbackWithoutAHome) {
  EXPECT_EQ(JournalFolder("/x", "/h", "/p", 7), "/x/cuesearch/journal");
  EXPECT_EQ(JournalFolder(nullptr, "/h", "/p", 7), "/h/.local/share/cuesearch/journal");
  EXPECT_EQ(JournalFolder("rel", "/", "/p", 7), "/p/.local/share/cuesearch/journal");
  EXPECT_EQ(JournalFolder("", nullptr, "", 7), "/var/tmp/cuesearch-7/journal");
}

}  // namespace
}  // namespace cue
