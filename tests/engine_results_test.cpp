#include <gtest/gtest.h>

#include <string>

#include "engine/results_file.h"
#include "engine/results_log.h"
#include "support/memory_files.h"
#include "support/scripted.h"

namespace cue {
namespace {

using testing::MemoryFileSystem;
using testing::ScriptedDialogs;

const std::string kHeader =
    "#trialNumber\tBlockNumber\tblockType\torderCondition\ttrialType1\ttargetNumber\t"
    "targetPosition\ttargetPositionX\ttargetPositionY\ttargetNumberCounter\tFLICKER_DELAY\t"
    "subject_res\tRT\t\r\n";
const std::string kFile = "/lab/Res_Data/R-17.txt";

TEST(ResultsFormatTest, HeaderLineByteForByte) {
  EXPECT_EQ(HeaderLine(ResultsColumns()), kHeader);
}

TEST(ResultsFormatTest, FileNameIsBuiltFromTheCurrentFolder) {
  MemoryFileSystem files;
  EXPECT_EQ(ResultsFileName(files, 17), kFile);
  EXPECT_EQ(ResultsFileName(files, 7), "/lab/Res_Data/R-7.txt");
}

// Trial 41 of order condition 1: block 2, type 2, target 7 on label 12 at (4500, 3300),
// answered "m" after 734 ms.
TEST(ResultsFormatTest, WorkedExampleRowByteForByte) {
  MemoryFileSystem files;
  files.folders.insert("/lab/Res_Data");
  auto opened = OpenForAppend(files, kFile);
  auto& file = std::get<std::unique_ptr<AppendFile>>(opened);
  WriteFields(*file, {41, 2, 2, 1, 1});
  WriteFields(*file, {7, 12, 4500.0F, 3300.0F, 0, 200});
  WriteFields(*file, {std::string("1"), 734, LineEnd()});
  ASSERT_FALSE(file->Close().has_value());
  EXPECT_EQ(files.files[kFile], "41\t2\t2\t1\t1\t7\t12\t4500\t3300\t0\t200\t1\t734\t\r\n");
}

TEST(ResultsFormatTest, SecondRunAppendsASecondHeader) {
  MemoryFileSystem files;
  files.folders.insert("/lab/Res_Data");
  EXPECT_FALSE(WriteHeader(files, kFile, ResultsColumns()).has_value());
  EXPECT_FALSE(WriteHeader(files, kFile, ResultsColumns()).has_value());
  EXPECT_EQ(files.files[kFile], kHeader + kHeader);
}

TEST(ResultsFormatTest, SinglesAsShortestTextOfAtMostSevenDigits) {
  const struct {
    float value;
    const char* text;
  } cases[] = {{4500, "4500"},        {0, "0"},           {-5, "-5"},
               {4500.5F, "4500.5"},   {0.1F, "0.1"},      {1234567, "1234567"},
               {3.14159265F, "3.141593"}, {100000, "100000"}, {12345678, "1.234568E+07"},
               {1e7F, "1E+07"},        {1e-6F, "1E-06"},    {0.0001F, "0.0001"},
               {-0.0F, "0"}};
  for (const auto& c : cases) EXPECT_EQ(FormatSingle(c.value), c.text) << c.value;
}

TEST(ResultsFormatTest, OnlyTheExactLineEndIsWrittenWithoutATab) {
  MemoryFileSystem files;
  auto opened = OpenForAppend(files, "/lab/x.txt");
  auto& file = std::get<std::unique_ptr<AppendFile>>(opened);
  WriteFields(*file, {std::string("\r"), std::string("\r\n"), std::string("a")});
  ASSERT_FALSE(file->Close().has_value());
  EXPECT_EQ(files.files["/lab/x.txt"], "\r\t\r\na\t");
}

class ResultsLogTest : public ::testing::Test {
 protected:
  ResultsLogTest() { files_.folders.insert("/prog"); }
  void Row(int trial) {
    log_.Open();
    log_.WriteFields({trial, 1});
    log_.WriteFields({std::string("1"), 500, LineEnd()});
    log_.Close();
  }
  static std::string RowText(int trial) { return std::to_string(trial) + "\t1\t1\t500\t\r\n"; }

  MemoryFileSystem files_;
  ScriptedDialogs dialogs_;
  ResultsLog log_{files_, dialogs_, "/prog"};
};

TEST_F(ResultsLogTest, RowsKeptWhileTheFolderIsMissingAreWrittenInOrderLater) {
  log_.WriteHeader(kFile);  // Res_Data does not exist yet
  ASSERT_EQ(dialogs_.shown.size(), 1U);
  EXPECT_NE(dialogs_.shown[0].text.find(kFile), std::string::npos);
  EXPECT_NE(dialogs_.shown[0].text.find("No such file or directory"), std::string::npos);
  Row(1);
  Row(2);
  EXPECT_EQ(dialogs_.shown.size(), 1U);  // told once for the spell of failures
  EXPECT_EQ(log_.KeptLines(), 3U);
  files_.folders.insert("/lab/Res_Data");
  Row(3);
  EXPECT_EQ(files_.files[kFile], kHeader + RowText(1) + RowText(2) + RowText(3));
  EXPECT_EQ(log_.KeptLines(), 0U);
}

TEST_F(ResultsLogTest, FullDiskKeepsTheRowAndAChangedReasonIsToldAgain) {
  files_.folders.insert("/lab/Res_Data");
  log_.WriteHeader(kFile);
  files_.diskFull = true;
  Row(1);
  ASSERT_EQ(dialogs_.shown.size(), 1U);
  EXPECT_NE(dialogs_.shown[0].text.find("No space left on device"), std::string::npos);
  files_.diskFull = false;
  files_.readOnly.insert("/lab/Res_Data");
  Row(2);
  EXPECT_EQ(dialogs_.shown.size(), 2U);
  files_.readOnly.clear();
  log_.FinalFlush();
  EXPECT_EQ(files_.files[kFile], kHeader + RowText(1) + RowText(2));
}

TEST_F(ResultsLogTest, FinalFlushRescuesWhatTheResultsFileCannotTake) {
  files_.folders.insert("/lab/Res_Data");
  log_.WriteHeader(kFile);
  Row(1);
  files_.folders.erase("/lab/Res_Data");
  Row(2);
  Row(3);
  log_.FinalFlush();
  EXPECT_EQ(files_.files[kFile], kHeader + RowText(1));
  EXPECT_EQ(files_.files["/prog/R-17-RESCUED.txt"], RowText(2) + RowText(3));
  EXPECT_EQ(dialogs_.shown.back().title, "RESULTS RESCUED");
  EXPECT_NE(dialogs_.shown.back().text.find("/prog/R-17-RESCUED.txt"), std::string::npos);
  EXPECT_EQ(log_.KeptLines(), 0U);
}

TEST_F(ResultsLogTest, WithNowhereToWriteTheExperimenterIsStillTold) {
  log_.WriteHeader(kFile);
  files_.folders.erase("/prog");
  log_.FinalFlush();
  EXPECT_EQ(dialogs_.shown.back().title, "RESULTS NOT SAVED");
}

}  // namespace
}  // namespace cue
