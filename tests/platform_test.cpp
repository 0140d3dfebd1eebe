#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/files.h"
#include "platform/modal_gate.h"
#include "platform/scheduler.h"
#include "support/scheduler_contract.h"
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

TEST(TimerTest, RearmingRestartsTheCountWithTheNewCallback) {
  VirtualTime time;
  Timer timer(time);
  std::vector<std::string> fired;
  timer.Start(1000, [&] { fired.push_back("first"); });
  time.Advance(600);
  timer.Start(1000, [&] { fired.push_back("second"); });
  time.Advance(999);
  EXPECT_TRUE(fired.empty());
  EXPECT_TRUE(timer.Active());
  time.Advance(1);
  EXPECT_EQ(fired, (std::vector<std::string>{"second"}));
  EXPECT_FALSE(timer.Active());
  time.Advance(5000);
  EXPECT_EQ(fired.size(), 1U);  // one tick per arming
}

TEST(TimerTest, StopAndDestructionCancel) {
  VirtualTime time;
  int fired = 0;
  {
    Timer timer(time);
    timer.Start(10, [&] { ++fired; });
    timer.Stop();
    timer.Start(10, [&] { ++fired; });
  }
  time.Advance(100);
  EXPECT_EQ(fired, 0);
  EXPECT_EQ(time.PendingCount(), 0U);
}

TEST(TimerTest, CallbackMayRearmItsOwnTimer) {
  VirtualTime time;
  Timer timer(time);
  int ticks = 0;
  std::function<void()> tick = [&] {
    if (++ticks < 3) timer.Start(200, tick);
  };
  timer.Start(200, tick);
  time.Advance(1000);
  EXPECT_EQ(ticks, 3);
}

TEST(ModalGateTest, StepsWaitForTheMessageBoxAndItsHandlerAndKeepTheirOrder) {
  VirtualTime time;
  ModalGate gate(time);
  ScriptedDialogs inner;
  GatedDialogs dialogs(inner, gate);
  std::vector<std::string> ran;
  inner.onShow = [&](const Message&) {
    gate.RunWhenFree([&] { ran.push_back("a"); });
    gate.RunWhenFree([&] { ran.push_back("b"); });
    EXPECT_TRUE(ran.empty());
  };
  dialogs.Show(Message{"?"});
  EXPECT_TRUE(ran.empty());  // the handler that asked acts on the answer first
  time.Advance(0);
  EXPECT_EQ(ran, (std::vector<std::string>{"a", "b"}));
  gate.RunWhenFree([&] { ran.push_back("c"); });  // no box open: at once
  EXPECT_EQ(ran.back(), "c");
}

TEST(ModalGateTest, ShutdownDropsWhatWasDeferred) {
  VirtualTime time;
  ModalGate gate(time);
  ScriptedDialogs inner;
  GatedDialogs dialogs(inner, gate);
  bool ran = false;
  inner.onShow = [&](const Message&) { gate.RunWhenFree([&] { ran = true; }); };
  dialogs.Show(Message{"Do you really want to quit?"});
  gate.Shutdown();  // the answer was Yes
  time.RunUntilIdle();
  gate.RunWhenFree([&] { ran = true; });
  EXPECT_FALSE(ran);
}

TEST(ModalGateTest, ADeferredStepThatOpensABoxHoldsTheRestBack) {
  VirtualTime time;
  ModalGate gate(time);
  ScriptedDialogs inner;
  GatedDialogs dialogs(inner, gate);
  std::vector<std::string> ran;
  int shows = 0;
  inner.onShow = [&](const Message&) {
    if (++shows == 1) {
      gate.RunWhenFree([&] {
        ran.push_back("opens");
        dialogs.Show(Message{"second"});
      });
      gate.RunWhenFree([&] { ran.push_back("after"); });
    } else {
      EXPECT_EQ(ran, (std::vector<std::string>{"opens"}));
    }
  };
  dialogs.Show(Message{"first"});
  time.RunUntilIdle();
  EXPECT_EQ(ran, (std::vector<std::string>{"opens", "after"}));
}

class DiskFileSystemTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("cue-files-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string Path(const std::string& name) const { return (dir_ / name).string(); }

  std::filesystem::path dir_;
  DiskFileSystem fs_;
};

std::string Contents(const std::variant<std::string, FileError>& read) {
  return std::holds_alternative<std::string>(read) ? std::get<std::string>(read) : "<error>";
}

TEST_F(DiskFileSystemTest, AppendCreatesThenAppendsByteForByte) {
  for (const char* text : {"one\t\r\n", "two\t\r\n"}) {
    auto opened = fs_.OpenForAppend(Path("r.txt"));
    ASSERT_TRUE(std::holds_alternative<std::unique_ptr<AppendFile>>(opened));
    auto& file = std::get<std::unique_ptr<AppendFile>>(opened);
    file->Write(text);
    EXPECT_FALSE(file->Close().has_value());
  }
  EXPECT_EQ(Contents(fs_.ReadAll(Path("r.txt"))), "one\t\r\ntwo\t\r\n");
}

// Each failure carries the platform's number, the system's reason and the path; a full disk
// shows at Close.
TEST_F(DiskFileSystemTest, ErrorsCarryThePlatformNumberAndTheSystemsReason) {
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
      {std::get<FileError>(fs_.OpenForAppend(dir_.string())), err::kPathFileAccess, dir_.string()},
      {fs_.MakeDirectory(Path("Res_Data")), err::kPathFileAccess, Path("Res_Data")},
      {std::get<std::unique_ptr<AppendFile>>(full)->Close(), err::kDiskFull, "/dev/full"},
  };
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
              {dir_.string(), err::kPathFileAccess, "directory"}};
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
