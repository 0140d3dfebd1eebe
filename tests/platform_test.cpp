// Catches: a timer or gated step run twice or early, a disk read that blocks or grows, a shared
// lock, a write through a link, a mode that ignores the umask, a memory file system that
// drifts from the disk's.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "platform/clock.h"
#include "platform/files.h"
#include "platform/modal_gate.h"
#include "platform/scheduler.h"
#include "support/files_contract.h"
#include "support/memory_files.h"
#include "support/scheduler_contract.h"
#include "support/scratch_dir.h"
#include "support/scripted.h"
#include "support/virtual_time.h"

namespace cue {
namespace {

using namespace cue::testing;  // NOLINT(google-build-using-namespace): the test support

// The millisecond counter wraps at 2^32; the tick count is its signed 32-bit reading.
TEST(ClockTest, ThirtyTwoBitCounters) {
  EXPECT_EQ(timeGetTime(VirtualTime((0x1'0000'0000ULL + 5) * 1000 + 999)), 5U);
  EXPECT_EQ(timeGetTime(VirtualTime(0xFFFF'FFFFULL * 1000)), 0xFFFF'FFFFU);
  EXPECT_EQ(GetTickCount(VirtualTime(0x8000'0000ULL * 1000)), INT32_MIN);
}

// One tick per arming; rearming restarts the count with the new callback; a stopped or
// destroyed timer never ticks; a callback may rearm its own timer.
TEST(TimerTest, RearmStopDestructionAndSelfRearm) {
  VirtualTime time;
  std::vector<std::string> fired;
  {
    Timer timer(time), stopped(time);
    stopped.Start(10, [&] { fired.push_back("stopped"); });
    stopped.Stop();
    std::function<void()> tick = [&] {
      fired.push_back("tick");
      if (fired.size() < 3) timer.Start(200, tick);
    };
    timer.Start(1000, [&] { fired.push_back("first"); });
    time.Advance(600);
    timer.Start(1000, tick);
    time.Advance(999);
    EXPECT_TRUE(fired.empty());
    time.Advance(1 + 400);
    EXPECT_FALSE(timer.Active());
    timer.Start(10, [&] { fired.push_back("destroyed"); });
  }
  time.Advance(100);
  EXPECT_EQ(fired, (std::vector<std::string>{"tick", "tick", "tick"}));
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
      gate.RunWhenFree([&] {
        ran.push_back("a");
        dialogs.Show(Message{"second"});
      });
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
  gate.RunWhenFree([&] { ran.push_back("c"); });  // no box open: at once
  EXPECT_EQ(ran.size(), 3U);
  dialogs.Show(Message{"Do you really want to quit?"});  // its step is dropped at Shutdown
  gate.Shutdown();
  time.RunUntilIdle();
  gate.RunWhenFree([&] { ran.push_back("dropped"); });
  EXPECT_EQ(ran, (std::vector<std::string>{"a", "b", "c"}));
}

class DiskFileSystemTest : public ::testing::Test {
 protected:
  std::string Path(const std::string& name) const { return dir_.File(name); }
  testing::ScratchDir dir_;
  DiskFileSystem fs_;
};

// What could block a read whole (a FIFO, a device) is refused unread.
TEST_F(DiskFileSystemTest, NothingReadWholeMayBlock) {
  ASSERT_EQ(::mkfifo(Path("fifo").c_str(), 0644), 0);
  for (const std::string& path : {Path("fifo"), std::string("/dev/zero")})
    EXPECT_EQ(Failure(fs_.ReadAll(path)).value_or(FileError{}).cause, FileFailure::kNotReadable);
}

// Whatever stands in a file's place (or a link in its folder's), appends, locks and
// replacements refuse it, naming the file and what is there; nothing behind it changes.
TEST_F(DiskFileSystemTest, NothingIsWrittenThroughWhatStandsInAFilesPlace) {
  const std::string victim = Path("R-2.txt"), rows = "rows of subject 2\r\n";
  std::ofstream(victim) << rows;
  ASSERT_EQ(::mkdir(Path("elsewhere").c_str(), 0777), 0);
  ASSERT_EQ(::symlink(Path("elsewhere").c_str(), Path("linked").c_str()), 0);
  using Put = std::function<int(const std::string&)>;
  const auto link = [](std::string to) -> Put {
    return [to](const std::string& p) { return ::symlink(to.c_str(), p.c_str()); };
  };
  const Put none = [](const std::string&) { return 0; };
  // A fixed file (a real device) is given only to the writes that cannot replace it.
  const struct {
    const char* what;
    std::string file;
    Put put;
  } rows_[] = {
      {"a link", "", link(victim)},
      {"a link", "", link("/dev/null")},
      {"a link", "", link("/nowhere/R-9.txt")},
      {"a file with a second name (a hard link)", "",
       [&](const std::string& p) { return ::link(victim.c_str(), p.c_str()); }},
      {"a FIFO", "", [](const std::string& p) { return ::mkfifo(p.c_str(), 0666); }},
      {"a folder", "", [](const std::string& p) { return ::mkdir(p.c_str(), 0777); }},
      {"a device", "/dev/null", none},
      {"a link", Path("linked/R-1.txt"), none},  // in its folder's place
  };
  const std::function<std::optional<FileError>(const std::string&)> writes[] = {
      [&](const std::string& p) { return Failure(fs_.OpenForAppend(p)); },
      [&](const std::string& p) { return Failure(fs_.Lock(p)); },
      [](const std::string& p) { return ReplaceContents(p, "{}"); },
      [](const std::string& p) {
        return ReplaceContents(p.substr(0, p.size() - 4), "{}");
      },  // at its ".new"
  };
  int n = 0;
  for (const auto& row : rows_) {
    for (int w = 0; w < (row.file.empty() ? 4 : 2); ++w) {
      const std::string file =
          row.file.empty() ? Path("f" + std::to_string(++n) + ".new") : row.file;
      SCOPED_TRACE(file + ": " + row.what);
      ASSERT_EQ(row.put(file), 0);
      const auto error = writes[w](file);
      ASSERT_TRUE(error.has_value());
      EXPECT_EQ(error->cause, FileFailure::kRefused);
      EXPECT_EQ(error->path, file);
      const std::string place =
          row.file == Path("linked/R-1.txt") ? "this file's folder" : "this file";
      EXPECT_EQ(error->description, std::string("There is ") + row.what + " in place of " + place +
                                        "; the program writes nothing through it");
    }
  }
  EXPECT_EQ(std::get<std::string>(fs_.ReadAll(victim)), rows);
  EXPECT_TRUE(std::filesystem::is_empty(Path("elsewhere")));
}

// New files and folders have all the permissions the umask leaves (a group-shared lab folder
// works with umask 002).
TEST_F(DiskFileSystemTest, NewFilesAndFoldersTakeTheUmasksModes) {
  for (const mode_t mask : {mode_t{002}, mode_t{022}, mode_t{077}}) {
    const mode_t before = ::umask(mask);
    const std::string folder = Path("m" + std::to_string(mask));
    EXPECT_FALSE(fs_.MakeDirectory(folder));
    EXPECT_FALSE(Failure(fs_.OpenForAppend(folder + "/R-1.txt")));
    EXPECT_FALSE(Failure(fs_.Lock(folder + "/R-1.txt.lock")));
    EXPECT_FALSE(ReplaceContents(folder + "/session-1.json", "{}"));
    ::umask(before);
    const auto mode = [](const std::string& p) { return std::filesystem::status(p).permissions(); };
    using P = std::filesystem::perms;
    EXPECT_EQ(mode(folder), P(0777 & ~mask)) << mask;
    for (const char* name : {"/R-1.txt", "/R-1.txt.lock", "/session-1.json"})
      EXPECT_EQ(mode(folder + name), P(0666 & ~mask)) << name << " " << mask;
  }
}

// The lock held elsewhere names its holder (one holder at a time: files_contract.h).
TEST_F(DiskFileSystemTest, ALockHeldElsewhereNamesItsHolder) {
  const auto first = fs_.Lock(Path("R-1.txt.lock"));
  const auto second = Failure(fs_.Lock(Path("R-1.txt.lock")));
  ASSERT_TRUE(second.has_value() && !Failure(first));
  char host[256] = {};
  ::gethostname(host, sizeof host - 1);
  const std::string holder =
      std::string("machine ") + host + ", process " + std::to_string(::getpid());
  EXPECT_NE(second->description.find(holder), std::string::npos) << second->description;
}

}  // namespace
}  // namespace cue

namespace cue::testing {

// The virtual scheduler against the contract that the program's real one also meets
// (platform_qt_test.cpp). Time passes a millisecond at a time, at most 100 s.
struct VirtualBackend {
  Scheduler& Get() { return time; }
  std::uint64_t NowMicros() const { return time.Micros(); }
  bool RunUntil(const std::function<bool()>& done) {
    for (int ms = 0; ms < 100'000 && !done(); ++ms) time.Advance(1);
    return done();
  }
  void Turn() { time.Advance(0); }
  VirtualTime time;
};
INSTANTIATE_TYPED_TEST_SUITE_P(Virtual, SchedulerContract, VirtualBackend);

// The real file system, in a scratch folder, and the in-memory one of the tests.
struct DiskBackend {
  FileSystem& Get() { return fs; }
  std::string Root() const { return dir.Path(); }
  ScratchDir dir;
  DiskFileSystem fs;
};
struct MemoryBackend {
  FileSystem& Get() { return fs; }
  std::string Root() const { return fs.CurrentDirectory(); }
  MemoryFileSystem fs;
};
INSTANTIATE_TYPED_TEST_SUITE_P(Disk, FileSystemContract, DiskBackend);
INSTANTIATE_TYPED_TEST_SUITE_P(Memory, FileSystemContract, MemoryBackend);

}  // namespace cue::testing
