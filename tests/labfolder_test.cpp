// Catches: a lab folder's file written in a way its one reader does not read back, a damaged
// line taken for data, a registry line read wrongly, a file of the program's taken for another.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <tuple>
#include <vector>

#include "labfolder/journal_format.h"
#include "labfolder/layout.h"
#include "labfolder/registry_format.h"
#include "labfolder/results_format.h"
#include "labfolder/session_format.h"
#include "labfolder/timing_format.h"
#include "platform/files.h"
#include "support/memory_files.h"
#include "support/scratch_dir.h"

namespace cue {
namespace {

using testing::MemoryFileSystem;
using Result = SubjectCheck::Result;

std::string Blanks(std::size_t n) { return std::string(n, ' '); }

// The registry lines the system writes for 12 AB 1 and 7 CD 2.
const std::string kLine12 = " 12" + Blanks(11) + "AB" + Blanks(12) + " 1 \r\n";
const std::string kLine7 = " 7" + Blanks(12) + "CD" + Blanks(12) + " 2 \r\n";
const std::string kHeader =
    "#trialNumber\tBlockNumber\tblockType\torderCondition\ttrialType1\ttargetNumber\t"
    "targetPosition\ttargetPositionX\ttargetPositionY\ttargetNumberCounter\tFLICKER_DELAY\t"
    "subject_res\tRT\t\r\n";
const std::string kFile = "/lab/Res_Data/R-17.txt";

TEST(ScanRegistryTest, Table) {
  // Scanned for id: the result and, for kMalformed, the line named.
  const struct {
    const char* name;
    std::string text;
    std::int16_t id;
    Result result;
    int badLine = 0;
  } rows[] = {
      // clang-format off
      // The system's own lines: the first field is the ID, nothing else is.
      {"empty", "", 12, Result::kNew},
      {"condition 0 is no ID", kLine12 + " 12" + Blanks(25) + " 0 \r\n", 0, Result::kNew},
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
  EXPECT_EQ(ScanRegistry("70000\r\n", 1).reason, "begins with a number too large for a subject ID");
}

// Each line RegistryLine writes reads back whole, at the line it is on.
TEST(ScanRegistryTest, WrittenLinesReadBack) {
  EXPECT_EQ(RegistryLine(12, "AB", 1), kLine12);
  EXPECT_EQ(RegistryLine(-32768, "XYZ", 3), "-32768" + Blanks(8) + "XYZ" + Blanks(11) + " 3 \r\n");
  const RegistryRead read = ReadRegistry(kLine7 + "oops\r\n" + RegistryLine(-32768, "", 3));
  ASSERT_EQ(read.entries.size(), 2U);
  EXPECT_EQ(std::tie(read.entries[0].subjectId, read.entries[0].initials, read.entries[0].line),
            std::make_tuple(7, "CD", 1));
  EXPECT_EQ(read.entries[1].orderCondition, 3);
  EXPECT_EQ(read.entries[1].line, 3);
  ASSERT_EQ(read.unreadable.size(), 1U);
  EXPECT_EQ(Describe(read.unreadable[0]), "line 2 does not begin with a subject ID: \"oops\"");
}

TEST(ResultsFormatTest, HeaderAtEveryRunAndRowsByteForByte) {
  MemoryFileSystem files;
  files.folders.insert("/lab/Res_Data");
  EXPECT_FALSE(WriteHeader(files, kFile, ResultsColumns()).has_value());
  EXPECT_FALSE(WriteHeader(files, kFile, ResultsColumns()).has_value());  // a second run
  auto opened = files.OpenForAppend(kFile);
  auto& file = std::get<std::unique_ptr<AppendFile>>(opened);
  // Trial 41 of order condition 1: block 2, type 2, target 7 on label 12 at (4500, 3300),
  // answered "m" after 734 ms. Only the exact line end goes without its tab.
  WriteFields(*file, {41, 2, 2, 1, 1});
  WriteFields(*file, {7, 12, 4500.0F, 3300.0F, 0, 200});
  WriteFields(*file, {std::string("1"), 734, LineEnd()});
  WriteFields(*file, {std::string("\r"), std::string("\r\n"), std::string("a")});
  ASSERT_FALSE(file->Close().has_value());
  const std::string row41 = "41\t2\t2\t1\t1\t7\t12\t4500\t3300\t0\t200\t1\t734\t\r\n";
  EXPECT_EQ(files.files[kFile], kHeader + kHeader + row41 + "\r\t\r\na\t");

  // Read back by the one reader: both headers counted, the row whole, each damage named.
  const ParsedResults back =
      ParseResults(kHeader + kHeader + row41 + "41\t2\t2\t\r\n" + "x" + row41 + "41\t2");
  EXPECT_EQ(back.headers, 2);
  ASSERT_EQ(back.rows.size(), 1U);
  const ResultsRow& r = back.rows[0];
  EXPECT_EQ(std::tie(r.line, r.trialNumber, r.targetNumber, r.targetPositionX, r.flickerDelay,
                     r.subjectRes, r.rt),
            std::make_tuple(3, 41, 7, 4500.0F, 200, 1, 734));
  EXPECT_EQ(back.problems, (std::vector<std::string>{"line 4: 3 fields instead of 13",
                                                     "line 5: trialNumber is not a number: \"x41\"",
                                                     "line 6: cut off (no line end)"}));
  EXPECT_EQ(ParseResults(row41).problems, (std::vector<std::string>{"no header line"}));
}

// The timing file's writer read back by its reader, by column name; a damaged line refused.
TEST(TimingFormatTest, LinesReadBackByColumnName) {
  std::vector<std::string> fields(TimingColumns().size(), "-");
  fields[0] = "7";
  fields[1] = "123456789";
  const std::string line = TimingLineText(fields);
  EXPECT_EQ(line.substr(0, 14), "7\t123456789\t-\t");
  EXPECT_TRUE(line.ends_with("-\t\r\n"));
  const ParsedTiming back = ParseTiming(TimingHeaderLine() + line + "x\t1\t\r\n" + "8\t9");
  EXPECT_EQ(back.columns, TimingColumns());
  ASSERT_EQ(back.lines.size(), 2U);
  EXPECT_EQ(TimingNumber(&back.lines[0], "clockStart"), 123456789.0);
  EXPECT_EQ(back.lines[0].at("cueOnset"), "-");
  EXPECT_EQ(TimingNumber(&back.lines[0], "cueOnset"), std::nullopt);
  EXPECT_EQ(TimingNumber(&back.lines[1], "clockStart"), 9.0);  // the last line needs no line end
  EXPECT_EQ(back.problems,
            (std::vector<std::string>{"line 3: trialNumber is not a number: \"x\""}));
  // An older file, its header with the results file's "#": read all the same.
  EXPECT_EQ(ParseTiming("#trialNumber\tanswer\t\r\n5\t77\t\r\n").lines.at(0).at("answer"), "77");
}

// The journal's heading and rows read back; what is not a journal refused as such.
TEST(JournalFormatTest, HeadingAndRowsReadBack) {
  const std::string row = "5\t1\t\r\n";
  const auto back = ParseJournal(JournalHeading(kFile, {"id-1 pc1", "boot-a"}) + row + row);
  ASSERT_TRUE(std::holds_alternative<ParsedJournal>(back));
  const ParsedJournal& journal = std::get<ParsedJournal>(back);
  EXPECT_EQ(journal.resultsFile, kFile);
  EXPECT_EQ(journal.machine, "id-1 pc1");
  EXPECT_EQ(journal.rows, (std::vector<std::string>{row, row}));
  const auto refused = ParseJournal(row);
  ASSERT_TRUE(std::holds_alternative<FileError>(refused));
  EXPECT_EQ(std::get<FileError>(refused).cause, FileFailure::kMalformed);
}

// Every field of the session file read back as written; the time with its offset; a file cut
// off refused, saying where; the file replaced whole, or left as it was.
TEST(SessionFormatTest, EveryFieldReadsBackACutFileIsRefusedAndTheFileIsReplacedWhole) {
  // clang-format off
  const SessionInfo info{
      "1.2", "2026-12-06T10:00:00-03:30", "2026-12-06T10:30:00-03:30", SessionInfo::Ending::kQuit,
      40, 41, "M\xC3\xBCller \"lab\"\\2\n", 1920, 1080, 28800, 16200, 96, std::nullopt,
      "Liberation Sans", "pulse", "sink", "", 4.5,
      {"/lab/wave/3.wav", "/lab/wave/Utopia Error.wav"}, 12, 3, true, true, false, {"2 cues lost"},
      0, 2, 5};
  // clang-format on
  const std::string text = SessionJson(info);
  const auto back = ParseSessionJson(text);
  ASSERT_TRUE(std::holds_alternative<SessionInfo>(back)) << std::get<FileError>(back).description;
  EXPECT_EQ(SessionJson(std::get<SessionInfo>(back)), text);
  EXPECT_NE(text.find("\"ended\": \"quit\",\n  \"trials_answered\": 40,\n  \"quit_at_trial\": 41"),
            std::string::npos);
  EXPECT_NE(text.find("\"refresh_hz\": null"), std::string::npos);
  const auto cut = ParseSessionJson(text.substr(0, text.size() / 2));
  ASSERT_TRUE(std::holds_alternative<FileError>(cut));
  EXPECT_EQ(std::get<FileError>(cut).cause, FileFailure::kMalformed);
  EXPECT_NE(std::get<FileError>(cut).description.find("at byte"), std::string::npos);

  setenv("TZ", "Asia/Kolkata", 1);
  tzset();
  EXPECT_EQ(IsoTime(0), "1970-01-01T05:30:00+05:30");
  setenv("TZ", "America/St_Johns", 1);
  tzset();
  EXPECT_EQ(IsoTime(0), "1969-12-31T20:30:00-03:30");

  const testing::ScratchDir dir;
  const std::string path = SessionFileName(dir.Path(), 12);
  EXPECT_FALSE(ReplaceContents(path, "old"));
  EXPECT_FALSE(ReplaceContents(path, "new"));
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(std::ifstream(path).rdbuf()), {}), "new");
  EXPECT_FALSE(std::filesystem::exists(path + ".new"));
  EXPECT_TRUE(ReplaceContents(dir.File("no-folder/x.json"), "x"));
}

// What the study reads in a results folder, and what it passes over.
TEST(LayoutTest, FilesOfTheProgramAreToldApartByName) {
  const std::pair<const char*, LabFileKind> names[] = {
      {"R-12.txt", LabFileKind::kResults},        {"R--3.txt", LabFileKind::kResults},
      {"timing-12.tsv", LabFileKind::kTiming},    {"session-12.json", LabFileKind::kSession},
      {"R-12.txt.lock", LabFileKind::kByProduct}, {"session-1.json.new", LabFileKind::kByProduct},
      {"summary-4.png", LabFileKind::kByProduct}, {"R-12.txt.bak", LabFileKind::kForeign},
      {"R-99999.txt", LabFileKind::kForeign},     {"R-.txt", LabFileKind::kForeign},
      {"notes.lock", LabFileKind::kForeign}};
  for (const auto& [name, kind] : names) EXPECT_EQ(KindOf(name), kind) << name;
  const MemoryFileSystem files;
  EXPECT_EQ(ResultsFileName(files, 12), "/lab/Res_Data/R-12.txt");
  EXPECT_EQ(TimingFileName(files, -3), "/lab/Res_Data/timing--3.tsv");
  const auto sounds = SoundPaths("/lab");
  ASSERT_EQ(sounds.size(), 11U);
  EXPECT_EQ(sounds[0], "/lab/wave/Utopia Default.wav");
  EXPECT_EQ(sounds[2], "/lab/wave/1.wav");
  EXPECT_EQ(sounds[10], "/lab/wave/9.wav");
}

}  // namespace
}  // namespace cue
