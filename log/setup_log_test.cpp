// The run log as the installer's users meet it: the file on disk, its rotation and the
// gate event that another process may reset.
#include "log/setup_log.h"

#include <gtest/gtest.h>

#include <atomic>
#include <regex>
#include <thread>
#include <vector>

#include "tests/support/test_support.h"

using testing_support::ReadBytes;
using testing_support::TempFolder;
using testing_support::WriteBytes;

namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t at = 0;
  for (size_t end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2) lines.push_back(text.substr(at, end - at));
  EXPECT_EQ(at, text.size()) << "every line ends in CR LF";
  return lines;
}

// The caller's text of a line, after the time stamp and its two blanks.
std::string TextOf(const std::string& line) {
  static const std::regex stamp(R"(^\d{4}-[1-9]\d?-[1-9]\d? \d\d:\d\d:\d\d \d{3}  )");
  std::smatch m;
  EXPECT_TRUE(std::regex_search(line, m, stamp)) << line;
  return m.empty() ? line : line.substr(m.length(0));
}

TEST(SetupLog, WritesStampedLinesAndRefusesCallsOutsideItsRun) {
  TempFolder dir;
  const std::wstring path = dir / L"lumensetup.log";
  ZSetupLog log;
  EXPECT_EQ(log.Log("before start"), 0);
  ASSERT_TRUE(log.Start(path));
  EXPECT_EQ(log.Log("g_App.Run return:%d", 1), 18);
  EXPECT_EQ(log.Log("path:%ws", L"C:\\Lumen Office\\"), 21);
  log.Log("last line before stop");
  log.Stop();
  EXPECT_EQ(log.Log("after stop"), 0);

  const std::vector<std::string> lines = Lines(ReadBytes(path));
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(TextOf(lines[0]), "g_App.Run return:1");
  EXPECT_EQ(TextOf(lines[1]), "path:C:\\Lumen Office\\");
  EXPECT_EQ(TextOf(lines[2]), "last line before stop");
}

// The run logs before it knows the desktop user's folder: those lines come first in the file,
// and are dropped when the run ends before the file was known.
TEST(SetupLog, LinesAcceptedBeforeTheFileIsKnownComeFirstOrNever) {
  TempFolder dir;
  const std::wstring path = dir / L"lumensetup.log";
  ZSetupLog log;
  ASSERT_TRUE(log.Accept());
  log.Log("checked the language");
  ASSERT_TRUE(log.Start(path));
  log.Log("g_Install.Init ...");
  log.Stop();
  const std::vector<std::string> lines = Lines(ReadBytes(path));
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(TextOf(lines[0]), "checked the language");
  EXPECT_EQ(TextOf(lines[1]), "g_Install.Init ...");

  ZSetupLog never;
  ASSERT_TRUE(never.Accept());
  never.Log("refused before the hand-over");
  never.Stop();
  const std::wstring other = dir / L"other.log";
  ASSERT_TRUE(never.Start(other));
  never.Log("a later run");
  never.Stop();
  ASSERT_EQ(Lines(ReadBytes(other)).size(), 1u) << "the dropped line stays dropped";
}

TEST(SetupLog, CutsLongTextAt499Characters) {
  TempFolder dir;
  ZSetupLog log;
  ASSERT_TRUE(log.Start(dir / L"cut.log"));
  const std::string text(700, 'x');
  EXPECT_LT(log.Log("%s", text.c_str()), 0);  // negative: the text was cut
  EXPECT_EQ(log.Log("%s", std::string(499, 'y').c_str()), 499);
  log.Stop();
  const std::vector<std::string> lines = Lines(ReadBytes(dir / L"cut.log"));
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(TextOf(lines[0]), std::string(499, 'x'));
  EXPECT_EQ(TextOf(lines[1]), std::string(499, 'y'));
}

TEST(SetupLog, RotatesAtHalfAMebibyteAndContinuesSmallerLogs) {
  TempFolder dir;
  const std::wstring path = dir / L"big.log";
  WriteBytes(path, std::string(600 * 1024, 'a'));
  WriteBytes(path + L"0", "older backup");
  {
    ZSetupLog log;
    ASSERT_TRUE(log.Start(path));
    log.Log("fresh");
    log.Stop();
  }
  EXPECT_EQ(ReadBytes(path + L"0").size(), 600u * 1024);  // the old backup was replaced
  EXPECT_EQ(Lines(ReadBytes(path)).size(), 1u);

  const std::wstring small = dir / L"small.log";
  WriteBytes(small, std::string(100 * 1024, 'b'));
  {
    ZSetupLog log;
    ASSERT_TRUE(log.Start(small));
    log.Log("continued");
    log.Stop();
  }
  const std::string text = ReadBytes(small);
  EXPECT_EQ(text.substr(0, 100 * 1024), std::string(100 * 1024, 'b'));
  EXPECT_NE(text.find("continued\r\n", 100 * 1024), std::string::npos);
  EXPECT_FALSE(testing_support::Exists(small + L"0"));

  // Exactly the limit rotates; one byte less does not.
  const std::wstring edge = dir / L"edge.log";
  WriteBytes(edge, std::string(ZSetupLog::kRotateSize - 1, 'c'));
  {
    ZSetupLog log;
    log.Start(edge);
    log.Stop();
  }
  EXPECT_FALSE(testing_support::Exists(edge + L"0"));
  WriteBytes(edge, std::string(ZSetupLog::kRotateSize, 'c'));
  {
    ZSetupLog log;
    log.Start(edge);
    log.Stop();
  }
  EXPECT_TRUE(testing_support::Exists(edge + L"0"));
}

TEST(SetupLog, AnotherProcessResettingTheGateStopsQueueing) {
  TempFolder dir;
  const std::wstring path = dir / L"gate.log";
  ZSetupLog log;
  ASSERT_TRUE(log.Start(path));
  const std::wstring name = ZSetupLog::EnableEventName(GetCurrentProcessId());
  const std::wstring tool = testing_support::BinFolder() + L"testtool.exe";
  log.Log("open");
  ASSERT_EQ(testing_support::Run(tool, L"reset-event \"" + name + L"\""), 0);
  EXPECT_EQ(log.Log("while closed"), 0);
  ASSERT_EQ(testing_support::Run(tool, L"set-event \"" + name + L"\""), 0);
  log.Log("open again");
  log.Stop();
  const std::vector<std::string> lines = Lines(ReadBytes(path));
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(TextOf(lines[0]), "open");
  EXPECT_EQ(TextOf(lines[1]), "open again");
}

TEST(SetupLog, KeepsEveryLineOfConcurrentWritersInTheirOwnOrder) {
  TempFolder dir;
  const std::wstring path = dir / L"threads.log";
  ZSetupLog log;
  ASSERT_TRUE(log.Start(path));
  constexpr int kThreads = 4, kLines = 500;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([&log, t] {
      for (int i = 0; i < kLines; ++i) log.Log("thread %d line %d", t, i);
    });
  for (auto& t : threads) t.join();
  log.Stop();
  std::vector<int> next(kThreads, 0);
  for (const std::string& line : Lines(ReadBytes(path))) {
    int t = -1, i = -1;
    ASSERT_EQ(sscanf(TextOf(line).c_str(), "thread %d line %d", &t, &i), 2);
    EXPECT_EQ(i, next[t]++) << "lines of one thread stay in order";
  }
  for (int t = 0; t < kThreads; ++t) EXPECT_EQ(next[t], kLines);
}

// A line the log accepted is in the file when Stop returns, however the writers and Stop meet;
// writers that start before the log and go on after it come to no harm.
TEST(SetupLog, StopWhileThreadsWriteKeepsEveryAcceptedLine) {
  TempFolder dir;
  for (int round = 0; round < 20; ++round) {
    const std::wstring path = dir / (L"stop" + std::to_wstring(round) + L".log");
    ZSetupLog log;
    std::atomic<bool> done{false};
    std::atomic<int> accepted{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
      threads.emplace_back([&] {
        while (!done) accepted += log.Log("a line of some length to format, %d %ws", round, L"C:\\Lumen") > 0;
      });
    ASSERT_TRUE(log.Start(path));
    Sleep(round % 4);
    log.Stop();
    const size_t written = Lines(ReadBytes(path)).size();
    done = true;
    for (auto& t : threads) t.join();
    EXPECT_EQ(written, static_cast<size_t>(accepted.load())) << "round " << round;
  }
}

TEST(SetupLog, LinesWaitWhileTheFileCannotBeOpened) {
  TempFolder dir;
  const std::wstring folder = dir / L"later\\";
  ZSetupLog log;
  ASSERT_TRUE(log.Start(folder + L"late.log"));  // the folder does not exist yet
  log.Log("queued first");
  Sleep(50);
  CreateDirectoryW(folder.c_str(), nullptr);
  log.Log("queued second");
  log.Stop();
  const std::vector<std::string> lines = Lines(ReadBytes(folder + L"late.log"));
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(TextOf(lines[0]), "queued first");
  EXPECT_EQ(TextOf(lines[1]), "queued second");
}

}  // namespace
