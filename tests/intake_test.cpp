#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "intake/entry_rules.h"
#include "intake/greet_layout.h"
#include "intake/greet_logic.h"
#include "intake/registry.h"
#include "intake_doubles.h"

namespace cue {
namespace {

using testing::EventLog;
using testing::IntakeDoubles;
using testing::MemoryFileSystem;
using Result = SubjectCheck::Result;

std::string Blanks(std::size_t n) { return std::string(n, ' '); }

// The registry line the system writes for ID 12, initials AB, order condition 1.
const std::string kLine12 = " 12" + Blanks(11) + "AB" + Blanks(12) + " 1 \r\n";

// Registry lines

TEST(RegistryLineTest, PrintZonesOfTheWorkedExample) {
  const std::string line = RegistryLine(12, "AB", 1);
  EXPECT_EQ(line, kLine12);
  EXPECT_EQ(line.size(), 33U);
}

TEST(RegistryLineTest, EmptyInitialsLeaveTheirZoneBlankAndConditionZeroIsWritten) {
  const std::string line = RegistryLine(12, "", 0);
  ASSERT_EQ(line.size(), 33U);
  EXPECT_EQ(line.substr(14, 14), Blanks(14));  // columns 15 to 28
  EXPECT_EQ(line.substr(28), " 0 \r\n");
}

TEST(RegistryLineTest, WidestBoxContentsStayInTheirZones) {
  EXPECT_EQ(RegistryLine(999, "abc", 3), " 999" + Blanks(10) + "abc" + Blanks(11) + " 3 \r\n");
  EXPECT_EQ(RegistryLine(0, "XY", 2), " 0" + Blanks(12) + "XY" + Blanks(12) + " 2 \r\n");
}

TEST(RegistryLineTest, SignedExtremesAndAFullZoneNeverRunTogether) {
  EXPECT_EQ(RegistryLine(-32768, "A", 32767),
            "-32768 " + Blanks(7) + "A" + Blanks(13) + " 32767 \r\n");
  // A field that fills its zone is followed by a blank zone, not by the next field.
  EXPECT_EQ(RegistryLine(1, std::string(14, 'A'), 1),
            " 1" + Blanks(12) + std::string(14, 'A') + Blanks(14) + " 1 \r\n");
}

// Reading the registry

struct ScanCase {
  const char* name;
  std::string text;
  std::int16_t id;
  Result expected;
  int badLine = 0;  // for kMalformed
};

void PrintTo(const ScanCase& c, std::ostream* os) { *os << c.name; }

class ScanRegistryTest : public ::testing::TestWithParam<ScanCase> {};

TEST_P(ScanRegistryTest, Answers) {
  const ScanCase& c = GetParam();
  const SubjectCheck check = ScanRegistry(c.text, c.id);
  EXPECT_EQ(check.result, c.expected);
  if (c.expected == Result::kMalformed) {
    EXPECT_EQ(check.line, c.badLine);
  }
}

const std::string kLine7 = RegistryLine(7, "CD", 2);
const std::string kLine300 = RegistryLine(300, "EFG", 3);

INSTANTIATE_TEST_SUITE_P(
    OwnLines, ScanRegistryTest,
    ::testing::Values(
        ScanCase{"Empty", "", 12, Result::kNew},
        ScanCase{"OnlyLine", kLine12, 12, Result::kRegistered},
        ScanCase{"OtherId", kLine12, 13, Result::kNew},
        ScanCase{"InitialsAreNoId", kLine12, 1, Result::kNew},
        ScanCase{"LastOfThree", kLine7 + kLine300 + kLine12, 12, Result::kRegistered},
        ScanCase{"FirstOfThree", kLine12 + kLine7 + kLine300, 12, Result::kRegistered},
        ScanCase{"NoneOfThree", kLine12 + kLine7 + kLine300, 13, Result::kNew},
        ScanCase{"IdZero", RegistryLine(0, "", 0), 0, Result::kRegistered},
        ScanCase{"EmptyInitials", RegistryLine(12, "", 0), 12, Result::kRegistered},
        ScanCase{"EmptyInitialsConditionIsNoId", RegistryLine(12, "", 0), 0, Result::kNew}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    HandEdited, ScanRegistryTest,
    ::testing::Values(
        ScanCase{"LineFeedsOnly", " 7 CD 2\n 12 AB 1\n", 12, Result::kRegistered},
        ScanCase{"LoneCarriageReturns", " 7 CD 2\r 12 AB 1\r", 12, Result::kRegistered},
        ScanCase{"LastLineWithoutLineEnd", kLine7 + " 12 AB 1", 12, Result::kRegistered},
        ScanCase{"LastLineJustTheId", kLine7 + "12", 12, Result::kRegistered},
        ScanCase{"ByteOrderMark", "\xEF\xBB\xBF" + kLine12, 12, Result::kRegistered},
        ScanCase{"ByteOrderMarkIsNoBadLine", "\xEF\xBB\xBF" + kLine12, 13, Result::kNew},
        ScanCase{"BlankLinesBetweenAndAtTheEnd",
                 "\r\n" + kLine7 + "\r\n   \r\n\t\r\n" + kLine12 + "\r\n\r\n", 12,
                 Result::kRegistered},
        ScanCase{"BlankLinesNameNoSubject", "\r\n  \r\n\n\n\t", 0, Result::kNew},
        ScanCase{"LeadingZeros", "007 CD 2\r\n", 7, Result::kRegistered},
        ScanCase{"ManyLeadingZeros", "0000000000012 AB 1\r\n", 12, Result::kRegistered},
        ScanCase{"PlusSign", "+12 AB 1\r\n", 12, Result::kRegistered},
        ScanCase{"Commas", "12,AB,1\r\n", 12, Result::kRegistered},
        // A field-by-field reading would take the "1" after the second comma for an ID.
        ScanCase{"CommasLaterFieldsAreNoIds", "12,AB,1\r\n", 1, Result::kNew},
        ScanCase{"Tabs", "\t12\tAB\t1\r\n", 12, Result::kRegistered},
        ScanCase{"LargestId", "32767\r\n", 32767, Result::kRegistered},
        ScanCase{"SmallestId", "-32768\r\n", -32768, Result::kRegistered}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Unreadable, ScanRegistryTest,
    ::testing::Values(
        ScanCase{"LettersFirst", "AB 13 1\r\n", 13, Result::kMalformed, 1},
        ScanCase{"HeaderLine", "ID Initials Condition\r\n" + kLine7, 13, Result::kMalformed, 1},
        ScanCase{"HeaderLineButIdFound", "ID Initials Condition\r\n" + kLine12, 12,
                 Result::kRegistered},
        ScanCase{"FoundBeforeABadLine", kLine12 + "xyz\r\n", 12, Result::kRegistered},
        ScanCase{"DigitsRunIntoLetters", "12AB 1\r\n", 12, Result::kMalformed, 1},
        ScanCase{"Decimal", "1.5\r\n", 1, Result::kMalformed, 1},
        ScanCase{"EmptyFieldBeforeAComma", ",AB,1\r\n", 0, Result::kMalformed, 1},
        ScanCase{"SignAlone", "- AB 1\r\n", 0, Result::kMalformed, 1},
        ScanCase{"JustAboveSixteenBits", "32768 AB 1\r\n", 0, Result::kMalformed, 1},
        ScanCase{"JustBelowSixteenBits", "-32769 AB 1\r\n", 0, Result::kMalformed, 1},
        // 65548 = 65536 + 12: wrapping it to 16 bits would make it subject 12.
        ScanCase{"WrapsToARegisteredId", "65548 AB 1\r\n", 12, Result::kMalformed, 1},
        ScanCase{"TwentyDigits", "99999999999999999999\r\n", 12, Result::kMalformed, 1},
        ScanCase{"Utf16File",
                 std::string("\xFF\xFE"
                             "1\0"
                             "2\0",
                             6),
                 12, Result::kMalformed, 1},
        ScanCase{"ByteOrderMarkNotAtTheStart", kLine7 + "\xEF\xBB\xBF 12 AB 1\r\n", 13,
                 Result::kMalformed, 2},
        ScanCase{"NulByte", kLine7 + std::string("\0", 1) + "\r\n", 13, Result::kMalformed, 2},
        ScanCase{"FirstBadLineIsNamed", kLine7 + "x\r\n" + kLine300 + "y\r\n", 13,
                 Result::kMalformed, 2},
        // Blank lines count: the line number is the one an editor shows.
        ScanCase{"LineNumbersCountBlankLines", "\r\n\n\r" + kLine7 + "?\r\n", 13,
                 Result::kMalformed, 5}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ScanRegistryTest, VeryLongLinesAreReadToTheirEnd) {
  const std::string junk(1 << 20, 'x');
  EXPECT_EQ(ScanRegistry(" 7 " + junk + "\r\n 12 AB 1\r\n", 12).result, Result::kRegistered);
  EXPECT_EQ(ScanRegistry(" 7 " + junk + "\r\n 12 AB 1\r\n", 13).result, Result::kNew);
  const SubjectCheck longNumber = ScanRegistry(std::string(1 << 20, '1') + "\r\n", 11);
  EXPECT_EQ(longNumber.result, Result::kMalformed);
}

TEST(ScanRegistryTest, ABadLineIsQuotedShortAndPrintable) {
  const SubjectCheck check = ScanRegistry(kLine7 + "  AB\x01" + std::string(100, 'z') + "\r\n", 13);
  ASSERT_EQ(check.result, Result::kMalformed);
  EXPECT_EQ(check.text, "AB?" + std::string(27, 'z') + "...");
  EXPECT_EQ(check.reason, "does not begin with a subject ID");
  EXPECT_EQ(ScanRegistry("70000\r\n", 1).reason, "begins with a number too large for a subject ID");
}

// The registry on a file system

class RegistryFilesTest : public ::testing::Test {
 protected:
  EventLog log_;
  MemoryFileSystem files_{&log_};
  const std::string path_ = "/lab/CurrentSubjects.txt";
};

TEST_F(RegistryFilesTest, MissingRegistryMakesEveryIdNew) {
  EXPECT_TRUE(IsNewSubject(files_, 12).IsNew());
  EXPECT_TRUE(IsNewSubject(files_, 0).IsNew());
}

TEST_F(RegistryFilesTest, UnreadableRegistryIsNeverNew) {
  files_.files[path_] = kLine7;
  files_.readErrors[path_] = FileError{err::kPathFileAccess, "Permission denied", path_};
  const SubjectCheck check = IsNewSubject(files_, 13);
  EXPECT_FALSE(check.IsNew());
  EXPECT_EQ(check.result, Result::kUnreadable);
  EXPECT_EQ(check.error.number, err::kPathFileAccess);

  const Message m = UnreadableRegistry(check.error);
  EXPECT_EQ(m.text,
            "The subject registry /lab/CurrentSubjects.txt cannot be read.\r"
            "Error 75: Permission denied.\r"
            "No subject ID can be checked until the file can be read.");
  EXPECT_EQ(m.title, "ERROR");
  EXPECT_EQ(m.icon, Icon::kExclamation);
}

TEST_F(RegistryFilesTest, AppendCreatesThenAppendsWithoutTouchingEarlierLines) {
  ASSERT_FALSE(AppendRegistryLine(files_, path_, kLine12).has_value());
  ASSERT_FALSE(AppendRegistryLine(files_, path_, kLine7).has_value());
  EXPECT_EQ(files_.files[path_], kLine12 + kLine7);
}

TEST_F(RegistryFilesTest, AppendEndsAnUnfinishedLastLineFirst) {
  for (const std::string old : {" 5 X 1", " 5 X 1\n", " 5 X 1\r"}) {
    files_.files[path_] = old;
    ASSERT_FALSE(AppendRegistryLine(files_, path_, kLine12).has_value());
    const std::string expected = old.back() == '1' ? old + "\r\n" + kLine12 : old + kLine12;
    EXPECT_EQ(files_.files[path_], expected);
    EXPECT_FALSE(IsNewSubject(files_, 12).IsNew());
    EXPECT_FALSE(IsNewSubject(files_, 5).IsNew());
  }
}

TEST_F(RegistryFilesTest, FailedAppendReportsAndLeavesTheFile) {
  files_.files[path_] = kLine7;
  files_.closeErrors[path_] = FileError{err::kDiskFull, "No space left on device", path_};
  const auto error = AppendRegistryLine(files_, path_, kLine12);
  ASSERT_TRUE(error.has_value());
  EXPECT_EQ(error->number, err::kDiskFull);
  EXPECT_EQ(files_.files[path_], kLine7);
}

TEST_F(RegistryFilesTest, MakeFolderAbsorbsOnlyAnExistingFolder) {
  EXPECT_FALSE(MakeFolder(files_, "/lab/Res_Data").has_value());
  EXPECT_TRUE(files_.IsDirectory("/lab/Res_Data"));
  EXPECT_FALSE(MakeFolder(files_, "/lab/Res_Data").has_value());  // 75, and it is a folder

  files_.files["/lab/Plain"] = "";
  const auto fileInTheWay = MakeFolder(files_, "/lab/Plain");
  ASSERT_TRUE(fileInTheWay.has_value());
  EXPECT_EQ(fileInTheWay->number, err::kPathFileAccess);

  files_.makeErrors["/lab/Refused"] = FileError{err::kPathFileAccess, "Permission denied", ""};
  EXPECT_TRUE(MakeFolder(files_, "/lab/Refused").has_value());
  files_.makeErrors["/lab/Gone"] = FileError{err::kPathNotFound, "No such file", ""};
  EXPECT_EQ(MakeFolder(files_, "/lab/Gone")->number, err::kPathNotFound);
}

// The same on the disk, where the kernel gives the errors: a folder where the registry
// should be, a file where the results folder should be.
class RegistryDiskTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = std::filesystem::current_path();
    dir_ = std::filesystem::temp_directory_path() /
           ("cue-intake-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    std::filesystem::current_path(dir_);
  }
  void TearDown() override {
    std::filesystem::current_path(previous_);
    std::filesystem::remove_all(dir_);
  }
  std::string Read(const char* name) {
    std::ifstream in(dir_ / name, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  std::filesystem::path previous_;
  std::filesystem::path dir_;
  DiskFileSystem files_;
};

TEST_F(RegistryDiskTest, FolderInPlaceOfTheRegistryIsUnreadable) {
  std::filesystem::create_directory(dir_ / "CurrentSubjects.txt");
  const SubjectCheck check = IsNewSubject(files_, 12);
  EXPECT_EQ(check.result, Result::kUnreadable);
  EXPECT_EQ(check.error.number, err::kPathFileAccess);
  EXPECT_FALSE(check.error.description.empty());
}

TEST_F(RegistryDiskTest, FileInPlaceOfTheResultsFolderIsReported) {
  EXPECT_FALSE(MakeFolder(files_, ResultsFolderPath(files_)).has_value());
  EXPECT_FALSE(MakeFolder(files_, ResultsFolderPath(files_)).has_value());
  std::ofstream(dir_ / "Other") << "x";
  const auto error = MakeFolder(files_, (dir_ / "Other").string());
  ASSERT_TRUE(error.has_value());
  EXPECT_EQ(error->number, err::kPathFileAccess);
}

// Key filters and validations

struct FilterCase {
  Box box;
  int code;
  bool allowed;
};

TEST(FilterTest, EdgesOfEveryTable) {
  const FilterCase cases[] = {
      // Text1: backspace and digits.
      {Box::kSubjectId, 8, true},
      {Box::kSubjectId, '0', true},
      {Box::kSubjectId, '9', true},
      {Box::kSubjectId, '/', false},
      {Box::kSubjectId, ':', false},
      {Box::kSubjectId, 'a', false},
      {Box::kSubjectId, 0, false},
      {Box::kSubjectId, 7, false},
      {Box::kSubjectId, 9, false},
      {Box::kSubjectId, 0x0661, false},  // Arabic-Indic one
      {Box::kSubjectId, 0xB2, false},    // superscript two
      // Text2: backspace and the two runs of letters.
      {Box::kInitials, 8, true},
      {Box::kInitials, 'A', true},
      {Box::kInitials, 'Z', true},
      {Box::kInitials, 'a', true},
      {Box::kInitials, 'z', true},
      {Box::kInitials, '@', false},
      {Box::kInitials, '[', false},
      {Box::kInitials, '`', false},
      {Box::kInitials, '{', false},
      {Box::kInitials, 0xC4, false},  // A with diaeresis
      {Box::kInitials, '1', false},
      // Text3: backspace and 1 to 3.
      {Box::kOrderCondition, 8, true},
      {Box::kOrderCondition, '1', true},
      {Box::kOrderCondition, '3', true},
      {Box::kOrderCondition, '0', false},
      {Box::kOrderCondition, '4', false},
  };
  for (const FilterCase& c : cases) {
    EXPECT_EQ(Allowed(c.box, c.code), c.allowed)
        << "box " << static_cast<int>(c.box) << " code " << c.code;
  }
  // Space, Enter, Esc, the clipboard and undo shortcuts, DEL and beyond 127: refused by all.
  for (const Box box : {Box::kSubjectId, Box::kInitials, Box::kOrderCondition}) {
    for (const int code : {32, 13, 27, 3, 22, 24, 26, 127, 128, 255, 0x4E00, 0xFFFF}) {
      EXPECT_FALSE(Allowed(box, code)) << "box " << static_cast<int>(box) << " code " << code;
    }
  }
}

TEST(FilterTest, BoxLimits) {
  EXPECT_EQ(MaxLength(Box::kSubjectId), 3);
  EXPECT_EQ(MaxLength(Box::kInitials), 3);
  EXPECT_EQ(MaxLength(Box::kOrderCondition), 1);
}

TEST(ReadNumber16Test, DecimalTextOfTheBoxes) {
  EXPECT_EQ(ReadNumber16(""), 0);
  EXPECT_EQ(ReadNumber16("007"), 7);
  EXPECT_EQ(ReadNumber16("7"), 7);
  EXPECT_EQ(ReadNumber16("999"), 999);
  EXPECT_EQ(ReadNumber16("3"), 3);
  EXPECT_EQ(ReadNumber16("12x"), 12);
  EXPECT_EQ(ReadNumber16("99999999"), 32767);
}

class GreetLogicTest : public ::testing::Test {
 protected:
  void Register(std::int16_t id) { files_.files[path_] += RegistryLine(id, "AB", 1); }
  std::vector<std::string> Texts() const { return doubles_.dialogs.Texts(); }

  EventLog fsLog_;
  MemoryFileSystem files_{&fsLog_};
  IntakeDoubles doubles_{files_};
  GreetLogic logic_{doubles_.Context()};
  const std::string path_ = "/lab/CurrentSubjects.txt";
};

TEST_F(GreetLogicTest, RefusedCodeIsDroppedBeforeTheMessageShows) {
  struct Row {
    Box box;
    int code;
    const char* text;
  };
  const Row rows[] = {{Box::kSubjectId, 'a', "Please enter numbers only!"},
                      {Box::kInitials, '1', "Please enter letters only!"},
                      {Box::kOrderCondition, '4', "Please enter numbers 1 to 3 only!"}};
  for (const Row& row : rows) {
    int keyAscii = row.code;
    int codeWhileShown = -1;
    doubles_.dialogs.onShow = [&](const Message&) { codeWhileShown = keyAscii; };
    doubles_.dialogs.shown.clear();
    switch (row.box) {
      case Box::kSubjectId:
        logic_.Text1_KeyPress(keyAscii);
        break;
      case Box::kInitials:
        logic_.Text2_KeyPress(keyAscii);
        break;
      case Box::kOrderCondition:
        logic_.Text3_KeyPress(keyAscii);
        break;
    }
    EXPECT_EQ(keyAscii, 0);
    EXPECT_EQ(codeWhileShown, 0) << row.text;
    ASSERT_EQ(doubles_.dialogs.shown.size(), 1U);
    const Message& m = doubles_.dialogs.shown[0];
    EXPECT_EQ(m.text, row.text);
    EXPECT_EQ(m.title, "ERROR");
    EXPECT_EQ(m.buttons, Buttons::kOk);
    EXPECT_EQ(m.icon, Icon::kExclamation);
  }
}

struct ValidateCase {
  const char* name;
  int box;  // 1, 2, 3
  const char* text;
  bool cancel;
  const char* message;  // "" for none
  Icon icon;
};

void PrintTo(const ValidateCase& c, std::ostream* os) { *os << c.name; }

class ValidateTest : public GreetLogicTest, public ::testing::WithParamInterface<ValidateCase> {};

TEST_P(ValidateTest, Row) {
  const ValidateCase& c = GetParam();
  Register(12);
  Register(7);
  bool cancel = false;
  if (c.box == 1) logic_.Text1_Validate(c.text, cancel);
  if (c.box == 2) logic_.Text2_Validate(c.text, cancel);
  if (c.box == 3) logic_.Text3_Validate(c.text, cancel);
  EXPECT_EQ(cancel, c.cancel);
  if (std::string(c.message).empty()) {
    EXPECT_TRUE(doubles_.dialogs.shown.empty());
    return;
  }
  ASSERT_EQ(doubles_.dialogs.shown.size(), 1U);
  const Message& m = doubles_.dialogs.shown[0];
  EXPECT_EQ(m.text, c.message);
  EXPECT_EQ(m.title, "ERROR");
  EXPECT_EQ(m.buttons, Buttons::kOk);
  EXPECT_EQ(m.icon, c.icon);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ValidateTest,
    ::testing::Values(
        ValidateCase{"IdEmpty", 1, "", true, "Please insert subject id!", Icon::kNone},
        ValidateCase{"IdRegistered", 1, "12", true,
                     "Sorry subject 12 allready exsists.\rLook in /lab/CurrentSubjects to see "
                     "current subjects.",
                     Icon::kExclamation},
        ValidateCase{"IdRegisteredWithLeadingZeros", 1, "007", true,
                     "Sorry subject 7 allready exsists.\rLook in /lab/CurrentSubjects to see "
                     "current subjects.",
                     Icon::kExclamation},
        ValidateCase{"IdNew", 1, "13", false, "", Icon::kNone},
        ValidateCase{"IdZeroIsNotEmpty", 1, "0", false, "", Icon::kNone},
        ValidateCase{"InitialsEmpty", 2, "", true, "Please insert subject initials!", Icon::kNone},
        ValidateCase{"InitialsOne", 2, "A", true, "Please insert subject initials!", Icon::kNone},
        ValidateCase{"InitialsTwo", 2, "AB", false, "", Icon::kNone},
        ValidateCase{"InitialsThree", 2, "abc", false, "", Icon::kNone},
        ValidateCase{"ConditionEmpty", 3, "", true, "Please insert Order Condition!", Icon::kNone},
        ValidateCase{"ConditionGiven", 3, "2", false, "", Icon::kNone}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(GreetLogicTest, SubjectIdFollowsTheBoxEvenWhenRefused) {
  Register(7);
  bool cancel = false;
  doubles_.state.subjectId = 55;
  logic_.Text1_Validate("", cancel);
  EXPECT_EQ(doubles_.state.subjectId, 0);
  cancel = false;
  logic_.Text1_Validate("007", cancel);
  EXPECT_TRUE(cancel);
  EXPECT_EQ(doubles_.state.subjectId, 7);
  cancel = false;
  logic_.Text1_Validate("7", cancel);
  EXPECT_TRUE(cancel);
  EXPECT_EQ(doubles_.state.subjectId, 7);
}

TEST_F(GreetLogicTest, RegistryThatCannotBeCheckedKeepsTheFocusInTheIdBox) {
  files_.files[path_] = RegistryLine(7, "AB", 1) + "twelve AB 1\r\n";
  bool cancel = false;
  logic_.Text1_Validate("12", cancel);
  EXPECT_TRUE(cancel);
  EXPECT_EQ(doubles_.state.subjectId, 12);
  ASSERT_EQ(doubles_.dialogs.shown.size(), 1U);
  EXPECT_EQ(doubles_.dialogs.shown[0].text,
            "Line 2 of the subject registry /lab/CurrentSubjects.txt does not begin with a "
            "subject ID:\r\"twelve AB 1\"\rNo subject ID can be checked until that line is "
            "corrected.");
  EXPECT_EQ(doubles_.dialogs.shown[0].icon, Icon::kExclamation);

  files_.readErrors[path_] = FileError{err::kPermissionDenied, "Text file busy", path_};
  cancel = false;
  logic_.Text1_Validate("13", cancel);
  EXPECT_TRUE(cancel);
  ASSERT_EQ(doubles_.dialogs.shown.size(), 2U);
  EXPECT_NE(doubles_.dialogs.shown[1].text.find("Error 70: Text file busy."), std::string::npos);
  EXPECT_NE(doubles_.dialogs.shown[1].text.find(path_), std::string::npos);
}

TEST_F(GreetLogicTest, EscAsksToUnloadBlankeAndLeavesTheKey) {
  int esc = 27;
  logic_.Form_KeyPress(esc);
  EXPECT_EQ(esc, 27);
  for (int other : {13, 32, 96, 97}) logic_.Form_KeyPress(other);
  EXPECT_EQ(doubles_.log, (EventLog{"Unload Blanke"}));
}

TEST_F(GreetLogicTest, LoadingLoadsBlankeWithoutShowingIt) {
  logic_.Form_Load();
  EXPECT_EQ(doubles_.log, (EventLog{"Blanke.Load"}));
}

// The launch

TEST_F(GreetLogicTest, LaunchRunsItsStepsInOrder) {
  bool cancel = false;
  logic_.Text1_Validate("12", cancel);
  ASSERT_FALSE(cancel);
  logic_.Command1_Click("AB", "1");
  EXPECT_EQ(doubles_.state.orderCondition, 1);
  EXPECT_EQ(fsLog_, (EventLog{"Append /lab/CurrentSubjects.txt", "MakeDirectory /lab/Res_Data"}));
  EXPECT_EQ(doubles_.log, (EventLog{"SetCursorPos 15360 11520", "Display.Load", "Display.Visible",
                                    "Rest.Load", "Rest.Visible", "Blanke.Load", "Blanke.Visible",
                                    "ShowBlankeCross 1000 1000 500 Display"}));
  EXPECT_EQ(files_.files[path_], kLine12);
  EXPECT_TRUE(files_.IsDirectory("/lab/Res_Data"));
}

TEST_F(GreetLogicTest, SecondLaunchAppendsAndLeavesTheFirstLine) {
  files_.files[path_] = kLine7;
  doubles_.state.subjectId = 12;
  logic_.Command1_Click("xyz", "3");
  EXPECT_EQ(files_.files[path_], kLine7 + " 12" + Blanks(11) + "xyz" + Blanks(11) + " 3 \r\n");
  EXPECT_EQ(doubles_.state.orderCondition, 3);
}

TEST_F(GreetLogicTest, StartLaunchesOncePerRun) {
  doubles_.state.subjectId = 12;
  logic_.Command1_Click("AB", "1");
  const EventLog once = doubles_.log;
  logic_.Command1_Click("AB", "1");
  EXPECT_EQ(files_.files[path_], kLine12);
  EXPECT_EQ(doubles_.log, once);
}

TEST_F(GreetLogicTest, EmptyBoxesLaunchWithEmptyInitialsAndConditionZero) {
  doubles_.state.subjectId = 12;
  logic_.Command1_Click("", "");
  EXPECT_EQ(doubles_.state.orderCondition, 0);
  EXPECT_EQ(files_.files[path_], " 12" + Blanks(25) + " 0 \r\n");
}

TEST_F(GreetLogicTest, ExistingResultsFolderIsNoError) {
  files_.folders.insert("/lab/Res_Data");
  doubles_.state.subjectId = 12;
  logic_.Command1_Click("AB", "1");
  EXPECT_TRUE(doubles_.dialogs.shown.empty());
  EXPECT_EQ(doubles_.log.back(), "ShowBlankeCross 1000 1000 500 Display");
}

TEST_F(GreetLogicTest, RegisteredIdIsRefusedHoweverLongTheRegistry) {
  for (const int before : {0, 1, 1000}) {
    files_.files.clear();
    for (int i = 0; i < before; ++i) Register(static_cast<std::int16_t>(100 + i % 800));
    IntakeDoubles doubles(files_);
    GreetLogic logic(doubles.Context());
    doubles.state.subjectId = 12;
    logic.Command1_Click("AB", "1");
    for (int after = 0; after < before; ++after) Register(200);
    EXPECT_FALSE(IsNewSubject(files_, 12).IsNew()) << before;
    EXPECT_TRUE(IsNewSubject(files_, 13).IsNew()) << before;
  }
}

TEST_F(GreetLogicTest, UnwritableRegistryStopsBeforeAnythingElse) {
  files_.files[path_] = kLine7;
  files_.openErrors[path_] = FileError{err::kPathFileAccess, "Permission denied", path_};
  doubles_.state.subjectId = 12;
  logic_.Command1_Click("AB", "1");
  EXPECT_EQ(files_.files[path_], kLine7);
  EXPECT_EQ(fsLog_, EventLog{});
  ASSERT_EQ(doubles_.log.size(), 2U);
  EXPECT_EQ(doubles_.log[0],
            "Message The subject could not be added to the registry "
            "/lab/CurrentSubjects.txt.\rError 75: Permission denied.\rThe registry is "
            "unchanged. The program ends.");
  EXPECT_EQ(doubles_.log[1], "EndProgram");
  EXPECT_EQ(doubles_.dialogs.shown[0].title, kAppTitle);
}

TEST_F(GreetLogicTest, FullDiskStopsTheLaunchWithTheRegistryUnchanged) {
  files_.closeErrors[path_] = FileError{err::kDiskFull, "No space left on device", path_};
  doubles_.state.subjectId = 12;
  logic_.Command1_Click("AB", "1");
  EXPECT_FALSE(files_.files.contains(path_));
  ASSERT_FALSE(doubles_.dialogs.shown.empty());
  EXPECT_NE(doubles_.dialogs.shown[0].text.find("Error 61: No space left on device."),
            std::string::npos);
  EXPECT_EQ(doubles_.log.back(), "EndProgram");
}

TEST_F(GreetLogicTest, ResultsFolderThatCannotBeMadeStopsAfterTheRegistryLine) {
  files_.makeErrors["/lab/Res_Data"] =
      FileError{err::kPathNotFound, "No such file or directory", "/lab/Res_Data"};
  doubles_.state.subjectId = 12;
  logic_.Command1_Click("AB", "1");
  EXPECT_EQ(files_.files[path_], kLine12);
  ASSERT_EQ(doubles_.log.size(), 2U);
  EXPECT_EQ(doubles_.log[0],
            "Message The results folder /lab/Res_Data could not be created.\rError 76: No such "
            "file or directory.\rSubject 12 is already in the registry. The program ends.");
  EXPECT_EQ(doubles_.log[1], "EndProgram");
}

TEST_F(RegistryDiskTest, LaunchesWriteTheRegistryByteForByte) {
  IntakeDoubles doubles(files_);
  GreetLogic logic(doubles.Context());
  bool cancel = false;
  logic.Text1_Validate("12", cancel);
  ASSERT_FALSE(cancel);
  logic.Command1_Click("AB", "1");
  EXPECT_EQ(Read("CurrentSubjects.txt"), kLine12);
  EXPECT_TRUE(std::filesystem::is_directory(dir_ / "Res_Data"));

  // The next run in the same folder.
  IntakeDoubles nextDoubles(files_);
  GreetLogic next(nextDoubles.Context());
  next.Text1_Validate("12", cancel);
  EXPECT_TRUE(cancel);
  cancel = false;
  next.Text1_Validate("13", cancel);
  ASSERT_FALSE(cancel);
  next.Command1_Click("", "");
  EXPECT_EQ(Read("CurrentSubjects.txt"), kLine12 + " 13" + Blanks(25) + " 0 \r\n");
  EXPECT_EQ(nextDoubles.dialogs.Texts().size(), 1U);  // the refusal of 12 only
}

// The layout of the start-up screen

TEST(GreetLayoutTest, WorkedExampleShiftsEveryControlAlike) {
  const GreetLayout design;
  GreetLayout layout;
  LayOutGreet(layout, FormSize{15360, 11520});
  EXPECT_FLOAT_EQ(layout.label1.left, 7432.5F);
  EXPECT_FLOAT_EQ(layout.label1.top, 5512.5F);
  const std::pair<const Control*, const Control*> moved[] = {
      {&design.label2, &layout.label2}, {&design.label3, &layout.label3},
      {&design.label4, &layout.label4}, {&design.label5, &layout.label5},
      {&design.text1, &layout.text1},   {&design.text2, &layout.text2},
      {&design.text3, &layout.text3},   {&design.command1, &layout.command1}};
  for (const auto& [before, after] : moved) {
    EXPECT_FLOAT_EQ(after->left - before->left, 832.5F) << before->name;
    EXPECT_FLOAT_EQ(after->top - before->top, 232.5F) << before->name;
    EXPECT_EQ(after->width, before->width) << before->name;
    EXPECT_EQ(after->height, before->height) << before->name;
  }
}

TEST(GreetLayoutTest, SecondLayoutAtTheSameSizeMovesNothing) {
  GreetLayout layout;
  LayOutGreet(layout, FormSize{15360, 11520});
  const float text1Left = layout.text1.left;
  const float command1Top = layout.command1.top;
  LayOutGreet(layout, FormSize{15360, 11520});
  EXPECT_EQ(layout.text1.left, text1Left);
  EXPECT_EQ(layout.command1.top, command1Top);
  // Another size and back: the arrangement keeps its shape around the marker.
  LayOutGreet(layout, FormSize{12000, 9000});
  LayOutGreet(layout, FormSize{15360, 11520});
  EXPECT_FLOAT_EQ(layout.text1.left, text1Left);
  EXPECT_FLOAT_EQ(layout.command1.top, command1Top);
  EXPECT_FLOAT_EQ(layout.text1.left - layout.label1.left, 7440.0F - 6600.0F);
}

}  // namespace
}  // namespace cue
