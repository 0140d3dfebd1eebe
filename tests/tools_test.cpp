#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <string>

#include "tools/debug_window.h"
#include "tools/file_follower.h"
#include "tools/test_color.h"

namespace cue {
namespace {

TEST(LeadingNumberTest, Table) {
  constexpr double kInf = std::numeric_limits<double>::infinity();
  const struct {
    const char* text;
    double value;
  } cases[] = {
      // clang-format off
      // The number at the start; blanks, tabs and line feeds skipped, also inside it. The
      // decimal point never depends on the locale.
      {"255", 255}, {"12.5", 12.5}, {"7abc", 7}, {"  42", 42}, {"\t\n9", 9}, {"1 2", 12},
      {".5", 0.5}, {"1.2.3", 1.2}, {"3,5", 3},
      // No number at the start.
      {"", 0}, {"abc", 0}, {"-", 0}, {".", 0}, {"-.", 0}, {"e5", 0}, {"--5", 0}, {"\xc3\xa9", 0},
      // Sign and exponent (E or D); an exponent without digits is not read.
      {"-5", -5}, {"+5", 5}, {"- 5", -5}, {"1.5E+2", 150}, {"25e-1", 2.5}, {"3d2", 300},
      {"2e", 2}, {"2e+x", 2}, {"1e400", kInf}, {"-1e400", -kInf}, {"1e-400", 0},
      // &H and &O: 16-bit up to FFFF, 32-bit up to FFFFFFFF, the magnitude beyond.
      {"&hff", 255}, {"&H7FFF", 32767}, {"&H8000", -32768}, {"&HFFFF", -1}, {"&H10000", 65536},
      {"&HFFFFFFFF", -1}, {"&H100000000", 4294967296.0}, {"&H1G", 1}, {"&H", 0}, {"&x1", 0},
      {"&O17", 15}, {"&O8", 0}, {"&O177777", -1},
      // clang-format on
  };
  for (const auto& c : cases) EXPECT_EQ(LeadingNumber(c.text), c.value) << '"' << c.text << '"';
}

TEST(RoundToInt16Test, HalvesGoToTheEvenNeighbour) {
  EXPECT_EQ(RoundToInt16(12.5), 12);
  EXPECT_EQ(RoundToInt16(13.5), 14);
  EXPECT_EQ(RoundToInt16(12.51), 13);
  EXPECT_EQ(RoundToInt16(-0.5), 0);
  EXPECT_EQ(RoundToInt16(-1.5), -2);
  EXPECT_EQ(RoundToInt16(-2.5), -2);
}

TEST(RoundToInt16Test, RangeEdges) {
  EXPECT_EQ(RoundToInt16(32767), 32767);
  EXPECT_EQ(RoundToInt16(32767.4), 32767);
  EXPECT_EQ(RoundToInt16(32767.5), std::nullopt);  // rounds to 32768
  EXPECT_EQ(RoundToInt16(-32768.5), -32768);       // rounds to the even -32768
  EXPECT_EQ(RoundToInt16(-32769), std::nullopt);
  EXPECT_EQ(RoundToInt16(40000), std::nullopt);
  EXPECT_EQ(RoundToInt16(std::numeric_limits<double>::infinity()), std::nullopt);
}

TEST(ComposeColourTest, ComponentsAndTheirLimits) {
  EXPECT_EQ(ComposeColour(255, 0, 0), 255);
  EXPECT_EQ(ComposeColour(0, 255, 0), 65280);
  EXPECT_EQ(ComposeColour(0, 0, 255), 16711680);
  EXPECT_EQ(ComposeColour(0, 125, 0), 32000);  // the labels' green
  EXPECT_EQ(ComposeColour(300, 300, 300), 16777215);
  EXPECT_EQ(ComposeColour(256, 1, 32767), 255 + 256 + 16711680);
  EXPECT_EQ(ComposeColour(0, 0, 0), 0);
  EXPECT_EQ(ComposeColour(-1, 0, 0), std::nullopt);
  EXPECT_EQ(ComposeColour(0, 0, -32768), std::nullopt);
}

struct TextsCase {
  const char* red;
  const char* green;
  const char* blue;
  std::optional<std::int32_t> colour;
};

class ColourOfTextsTest : public ::testing::TestWithParam<TextsCase> {};

TEST_P(ColourOfTextsTest, ChangeHandlerSteps) {
  const TextsCase& c = GetParam();
  EXPECT_EQ(ColourOfTexts(c.red, c.green, c.blue), c.colour)
      << '"' << c.red << "\" \"" << c.green << "\" \"" << c.blue << '"';
}

INSTANTIATE_TEST_SUITE_P(
    Table, ColourOfTextsTest,
    ::testing::Values(TextsCase{"255", "", "", 255}, TextsCase{"", "255", "", 65280},
                      TextsCase{"", "", "255", 16711680}, TextsCase{"300", "300", "300", 16777215},
                      TextsCase{"", "", "", 0}, TextsCase{"12.5", "", "", 12},
                      TextsCase{"13.5", "", "", 14}, TextsCase{"7abc", "", "", 7},
                      TextsCase{"40000", "", "", std::nullopt},
                      TextsCase{"", "", "40000", std::nullopt},
                      TextsCase{"-1", "255", "", std::nullopt}, TextsCase{"&HFF", "", "", 255},
                      TextsCase{"32767.5", "", "", std::nullopt},
                      TextsCase{"1e9", "", "", std::nullopt}));

constexpr float kScreenWidth = 15360;  // 1024 pixels at 15 twips per pixel

TEST(DebugFormResizeTest, FirstResizeOnlyRecordsAndDocksAtScreenWidth) {
  ScaleMemory memory;
  Control ole1 = DebugDesignOle1();
  const WindowPlace place = DebugFormResize(kDebugDesignClient, ole1, memory, kScreenWidth);
  EXPECT_EQ(ole1.width, 8415);
  EXPECT_EQ(ole1.height, 1575);
  EXPECT_EQ(memory.lastFormWidth, kDebugDesignClient.width);
  EXPECT_EQ(place.left, 0);
  EXPECT_EQ(place.top, 0);
  EXPECT_EQ(place.width, kScreenWidth);
  EXPECT_EQ(place.height, kDebugDesignClient.height);
}

TEST(DebugFormResizeTest, DockingWidthStretchesOle1AndTheSecondRunChangesNothing) {
  ScaleMemory memory;
  Control ole1 = DebugDesignOle1();
  DebugFormResize(kDebugDesignClient, ole1, memory, kScreenWidth);
  const FormSize docked{kScreenWidth, kDebugDesignClient.height};
  const WindowPlace place = DebugFormResize(docked, ole1, memory, kScreenWidth);
  EXPECT_FLOAT_EQ(ole1.width, 8415.0F * kScreenWidth / 8445.0F);
  EXPECT_EQ(ole1.height, 1575);
  EXPECT_EQ(place.width, docked.width);  // nothing left to change: no further resize
  const float width = ole1.width;
  DebugFormResize(docked, ole1, memory, kScreenWidth);
  EXPECT_EQ(ole1.width, width);
}

TEST(DebugFormResizeTest, HeightChangeScalesOle1AndAWidthChangeIsUndone) {
  ScaleMemory memory;
  Control ole1 = DebugDesignOle1();
  DebugFormResize({kScreenWidth, 1590}, ole1, memory, kScreenWidth);
  DebugFormResize({kScreenWidth, 3180}, ole1, memory, kScreenWidth);
  EXPECT_FLOAT_EQ(ole1.height, 3150);
  EXPECT_EQ(ole1.width, 8415);

  // The user narrows the window to half; the handler asks for the screen width back, and
  // the resize that follows gives OLE1 its width back.
  const WindowPlace place = DebugFormResize({kScreenWidth / 2, 3180}, ole1, memory, kScreenWidth);
  EXPECT_FLOAT_EQ(ole1.width, 4207.5F);
  EXPECT_EQ(place.width, kScreenWidth);
  EXPECT_EQ(place.height, 3180);
  DebugFormResize({place.width, place.height}, ole1, memory, kScreenWidth);
  EXPECT_FLOAT_EQ(ole1.width, 8415);
  EXPECT_FLOAT_EQ(ole1.height, 3150);
}

TEST(DebugFormResizeTest, SizeMemoryIsSharedWithTheWholeProcess) {
  // The memory is not the debug window's own: a size recorded before it first shows makes
  // its first resize scale OLE1 against that size.
  ScaleMemory memory{kScreenWidth, 1590};
  Control ole1 = DebugDesignOle1();
  DebugFormResize({kScreenWidth / 2, 1590}, ole1, memory, kScreenWidth);
  EXPECT_FLOAT_EQ(ole1.width, 4207.5F);
}

class FileFollowerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/cue-follow.XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    dir_ = pattern;
    path_ = (dir_ / "R-7.txt").string();
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  void Append(const std::string& bytes) {
    std::ofstream(path_, std::ios::binary | std::ios::app) << bytes;
  }
  void Rewrite(const std::string& bytes) {
    std::ofstream(path_, std::ios::binary | std::ios::trunc) << bytes;
  }

  using Kind = FileFollower::Update::Kind;
  std::filesystem::path dir_;
  std::string path_;
};

TEST_F(FileFollowerTest, ShowsTheContentThenOnlyWhatWasAppended) {
  Append("# header\r\n1\t2\r\n");
  FileFollower follower(path_);
  FileFollower::Update u = follower.Poll();
  EXPECT_EQ(u.kind, Kind::kReplace);
  EXPECT_EQ(u.text, "# header\n1\t2\n");
  EXPECT_EQ(follower.Poll().kind, Kind::kNone);
  Append("3\t4\r\n");
  u = follower.Poll();
  EXPECT_EQ(u.kind, Kind::kAppend);
  EXPECT_EQ(u.text, "3\t4\n");
}

TEST_F(FileFollowerTest, LineEndSplitBetweenTwoLooksIsOneLineEnd) {
  Append("a\r");
  FileFollower follower(path_);
  EXPECT_EQ(follower.Poll().text, "a");
  Append("\nb\rc");  // the CR LF completed, then a lone CR
  EXPECT_EQ(follower.Poll().text, "\nb\nc");
}

TEST_F(FileFollowerTest, MissingFileShowsOneLineUntilItAppears) {
  FileFollower follower(path_);
  FileFollower::Update u = follower.Poll();
  EXPECT_EQ(u.kind, Kind::kReplace);
  EXPECT_NE(u.text.find("Cannot read the file: 53:"), std::string::npos) << u.text;
  EXPECT_NE(u.text.find(path_), std::string::npos) << u.text;
  EXPECT_EQ(u.text.find('\n'), std::string::npos);
  EXPECT_EQ(follower.Poll().kind, Kind::kNone);  // the same failure is not shown again
  Append("x\r\n");
  u = follower.Poll();
  EXPECT_EQ(u.kind, Kind::kReplace);
  EXPECT_EQ(u.text, "x\n");
}

TEST_F(FileFollowerTest, ShorterOrReplacedFileIsReadAgain) {
  Append("first run\r\n");
  FileFollower follower(path_);
  follower.Poll();
  Rewrite("new\r\n");
  FileFollower::Update u = follower.Poll();
  EXPECT_EQ(u.kind, Kind::kReplace);
  EXPECT_EQ(u.text, "new\n");

  // Another file put in its place, even a longer one, is a new file.
  const std::string other = (dir_ / "other").string();
  std::ofstream(other, std::ios::binary) << "new\r\nand more\r\n";
  std::filesystem::rename(other, path_);
  u = follower.Poll();
  EXPECT_EQ(u.kind, Kind::kReplace);
  EXPECT_EQ(u.text, "new\nand more\n");
}

TEST_F(FileFollowerTest, FolderAndFifoAreRefusedWithALine) {
  std::filesystem::create_directory(path_);
  FileFollower folder(path_);
  EXPECT_NE(folder.Poll().text.find("Cannot read the file: 75:"), std::string::npos);

  const std::string fifo = (dir_ / "pipe").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  FileFollower pipe(fifo);
  const FileFollower::Update u = pipe.Poll();  // must not wait for a writer
  EXPECT_EQ(u.kind, Kind::kReplace);
  EXPECT_NE(u.text.find("not a plain file"), std::string::npos);
}

TEST_F(FileFollowerTest, LongFileShowsItsEndFromAWholeLine) {
  Append("0123456789\r\nabcdefghij\r\nklm\r\n");  // 29 bytes
  FileFollower follower(path_, 10);
  FileFollower::Update u = follower.Poll();
  EXPECT_EQ(u.kind, Kind::kReplace);
  // The last 10 bytes start inside "abcdefghij"; that broken line is left out.
  EXPECT_EQ(u.text, "[the first 24 bytes are not shown]\nklm\n");
  Append("n\r\n");
  EXPECT_EQ(follower.Poll().text, "n\n");
  Append(std::string(25, 'z'));  // more at once than the view holds: its end only
  u = follower.Poll();
  EXPECT_EQ(u.kind, Kind::kReplace);
  EXPECT_EQ(u.text.rfind("[the first ", 0), 0u) << u.text;
}

}  // namespace
}  // namespace cue
