// Catches: a timer or gated step run twice or early, a disk read that blocks or grows, a shared lock.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/files.h"
#include "platform/modal_gate.h"
#include "platform/scheduler.h"
#include "support/scheduler_contract.h"
#include "support/scratch_dir.h"
#include "support/scripted.h"
#include "support/virtual_time.h"

namespace cue {
namespace {

using testing::ScriptedDialogs;
using testing::VirtualTime;

// The millisecond counter wraps at 2^32; the tick count is its signed 32-bit reading.
TEST(ClockTest, ThirtyTwoBitCounters) {
  EXPECT_EQ(timeGetTime(VirtualTime((0x1'0000'0000ULL + 5) * 1000 + 999)), 5U);
  EXPECT_EQ(timeGetTime(VirtualTime(0xFFFF'FFFFULL * 1000)), 0xFFFF'FFFFU);
  EXPECT_EQ(GetTickCount(VirtualTime(0x8000'0000ULL * 1000)), INT32_MIN);
}

// One tick per arming; rearming restarts the count with the new callback; Stop, destruction
// and a callback that rearms its own timer behave.
TEST(TimerTest, RearmStopDestructionAndSelfRearm) {
  VirtualTime time;
  std::vector<std::string> fired;
  {
    Timer timer(time), stopped(time);
    timer.Start(1000, [&] { fired.push_back("first"); });
    stopped.Start(10, [&] { fired.push_back("stopped"); });
    stopped.Stop();
    time.Advance(600);
    timer.Start(1000, [&] { fired.push_back("second"); });
    time.Advance(999);
    EXPECT_TRUE(fired.empty());
    time.Advance(1);
    EXPECT_EQ(fired, (std::vector<std::string>{"second"}));
    EXPECT_FALSE(timer.Active());
    time.Advance(5000);
    std::function<void()> tick = [&] {
      fired.push_back("tick");
      if (fired.size() < 4) timer.Start(200, tick);
    };
    timer.Start(200, tick);
    time.Advance(1000);
    timer.Start(10, [&] { fired.push_back("destroyed"); });
  }
  time.Advance(100);
  EXPECT_EQ(fired, (std::vector<std::string>{"second", "tick", "tick", "tick"}));
  EXPECT_EQ(time.PendingCount(), 0U);
}

// Steps asked for while a message box is open wait for it and for the handler that opened it,
// in order; a waiting step that opens a box holds the rest back; after Shutdown (the answer
// to the quit question was Yes) nothing deferred runs.
TEST(ModalGateTest, StepsWaitForTheMessageBoxInOrderAndEndAtShutdown) {
  VirtualTime time;
  ModalGate gate(time);
  ScriptedDialogs inner;
  GatedDialogs dialogs(inner, gate);
  std::vector<std::string> ran;
  inner.onShow = [&](const Message& m) {
    if (m.text == "first") {
      gate.RunWhenFree([&] { ran.push_back("a"); dialogs.Show(Message{"second"}); });
      gate.RunWhenFree([&] { ran.push_back("b"); });
    } else if (m.text == "second") {
      EXPECT_EQ(ran, (std::vector<std::string>{"a"}));
    } else {
      gate.RunWhenFree([&] { ran.push_back("dropped"); });
    }
  };
  dialogs.Show(Message{"first"});
  EXPECT_TRUE(ran.empty());  // the handler that asked acts on the answer first
  time.RunUntilIdle();
  EXPECT_EQ(ran, (std::vector<std::string>{"a", "b"}));
  gate.RunWhenFree([&] { ran.push_back("c"); });  // no box open: at once
  EXPECT_EQ(ran.back(), "c");
  dialogs.Show(Message{"Do you really want to quit?"});
  gate.Shutdown();
  time.RunUntilIdle();
  gate.RunWhenFree([&] { ran.push_back("dropped"); });
  EXPECT_EQ(ran.back(), "c");
}

class DiskFileSystemTest : public ::testing::Test {
 protected:
  std::string Path(const std::string& name) const { return dir_.File(name); }
  testing::ScratchDir dir_;
  DiskFileSystem fs_;
};

std::string Contents(const std::variant<std::string, FileError>& read) {
  return std::holds_alternative<std::string>(read) ? std::get<std::string>(read) : "<error>";
}

// Appends are byte for byte; each failure carries the platform's number, the system's reason
// and the path; a full disk shows at Close.
TEST_F(DiskFileSystemTest, AppendsAndErrorsWithThePlatformNumberAndTheSystemsReason) {
  ASSERT_FALSE(fs_.MakeDirectory(Path("Res_Data")).has_value());
  auto full = fs_.OpenForAppend("/dev/full");
  ASSERT_TRUE(std::holds_alternative<std::unique_ptr<AppendFile>>(full));
  std::get<std::unique_ptr<AppendFile>>(full)->Write("row\t\r\n");
  const struct {
    std::optional<FileError> error;
    int number;
    std::string path;
  } rows[] = {
      {std::get<FileError>(fs_.OpenForAppend(Path("gone/r.txt"))), err::kPathNotFound, Path("gone/r.txt")},
      {std::get<FileError>(fs_.ReadAll(Path("nothing.txt"))), err::kFileNotFound, Path("nothing.txt")},
      {std::get<FileError>(fs_.OpenForAppend(dir_.Path())), err::kPathFileAccess, dir_.Path()},
      {fs_.MakeDirectory(Path("Res_Data")), err::kPathFileAccess, Path("Res_Data")},
      {std::get<std::unique_ptr<AppendFile>>(full)->Close(), err::kDiskFull, "/dev/full"},
  };
  for (const char* text : {"one\t\r\n", "two\t\r\n"}) {  // created, then appended byte for byte
    auto file = std::move(std::get<std::unique_ptr<AppendFile>>(fs_.OpenForAppend(Path("r.txt"))));
    file->Write(text);
    EXPECT_FALSE(file->Close().has_value());
  }
  EXPECT_EQ(Contents(fs_.ReadAll(Path("r.txt"))), "one\t\r\ntwo\t\r\n");
  for (const auto& row : rows) {
    ASSERT_TRUE(row.error.has_value()) << row.path;
    EXPECT_EQ(row.error->number, row.number) << row.path;
    EXPECT_EQ(row.error->path, row.path);
    EXPECT_FALSE(row.error->description.empty());
  }
}

// Nothing read whole may block or grow without bound: each is refused at once, named.
TEST_F(DiskFileSystemTest, OnlyRegularFilesOfBoundedSizeAreRead) {
  ASSERT_EQ(::mkfifo(Path("fifo").c_str(), 0644), 0);
  { std::ofstream(Path("big")) << ""; }
  std::filesystem::resize_file(Path("big"), kMaxReadBytes + 1);
  { std::ofstream(Path("edge")) << ""; }
  std::filesystem::resize_file(Path("edge"), kMaxReadBytes);
  const struct {
    std::string path;
    int number;
    const char* reason;
  } rows[] = {{Path("fifo"), err::kDeviceIo, "Not a regular file"},
              {"/dev/zero", err::kDeviceIo, "Not a regular file"},
              {Path("big"), err::kDeviceIo, "Larger than 16 MB"},
              {dir_.Path(), err::kPathFileAccess, "directory"}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.path);
    for (const auto& read : {fs_.ReadAll(row.path), std::variant<std::string, FileError>(
                                                        *CheckReadable(row.path, kMaxReadBytes))}) {
      ASSERT_TRUE(std::holds_alternative<FileError>(read));
      EXPECT_EQ(std::get<FileError>(read).number, row.number);
      EXPECT_NE(std::get<FileError>(read).description.find(row.reason), std::string::npos);
      EXPECT_EQ(std::get<FileError>(read).path, row.path);
    }
  }
  EXPECT_EQ(Contents(fs_.ReadAll(Path("edge"))).size(), kMaxReadBytes);
}

TEST_F(DiskFileSystemTest, ALockIsHeldByOneHolderAtATimeAndNamesIt) {
  auto first = fs_.Lock(Path("R-1.txt.lock"));
  ASSERT_TRUE(std::holds_alternative<std::unique_ptr<FileLock>>(first));
  auto second = fs_.Lock(Path("R-1.txt.lock"));
  ASSERT_TRUE(std::holds_alternative<FileError>(second));
  EXPECT_EQ(std::get<FileError>(second).number, err::kPermissionDenied);
  char host[256] = {};
  ::gethostname(host, sizeof host - 1);
  EXPECT_NE(std::get<FileError>(second).description.find(std::string("machine ") + host +
                                                          ", process " + std::to_string(::getpid())),
            std::string::npos);
  first = FileError{};  // released
  EXPECT_TRUE(std::holds_alternative<std::unique_ptr<FileLock>>(fs_.Lock(Path("R-1.txt.lock"))));
}

}  // namespace
}  // namespace cue

namespace cue::testing {

// The virtual scheduler against the contract that the program's real one also meets
// (platform_qt_test.cpp). Time passes a millisecond at a time, at most 100 s.
class VirtualBackend {
 public:
  Scheduler& Get() { return time_; }
  std::uint64_t NowMicros() const { return time_.Micros(); }
  bool RunUntil(const std::function<bool()>& done) {
    for (int ms = 0; ms < 100'000 && !done(); ++ms) time_.Advance(1);
    return done();
  }
  void Turn() { time_.Advance(0); }

 private:
  VirtualTime time_;
};
INSTANTIATE_TYPED_TEST_SUITE_P(Virtual, SchedulerContract, VirtualBackend);

}  // namespace cue::testing
