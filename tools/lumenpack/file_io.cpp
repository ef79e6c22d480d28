#include "file_io.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

namespace lumenpack {

namespace {

std::string Quote(const fs::path& p) { return "'" + p.string() + "'"; }

std::string SystemError(const std::string& what, const fs::path& p) {
  return what + " " + Quote(p) + ": " + std::strerror(errno);
}

volatile sig_atomic_t g_interrupted = 0;

void OnInterrupt(int) { g_interrupted = 1; }

}  // namespace

void CatchInterrupts() {
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;  // no SA_RESTART: a wait for 7zz returns with EINTR
  for (int sig : {SIGINT, SIGTERM, SIGHUP}) ::sigaction(sig, &action, nullptr);
}

bool Interrupted() { return g_interrupted != 0; }

void ThrowIfInterrupted() {
  if (Interrupted()) throw Error("interrupted; nothing was written");
}

std::vector<unsigned char> ReadWholeFile(const fs::path& path) {
  const uint64_t size = RegularFileSize(path);
  std::vector<unsigned char> data = ReadFilePrefix(path, size);
  if (data.size() != size) throw Error("cannot read all of " + Quote(path));
  return data;
}

std::vector<unsigned char> ReadFilePrefix(const fs::path& path, uint64_t count) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw Error(SystemError("cannot open", path));
  std::vector<unsigned char> data(static_cast<size_t>(count));
  in.read(reinterpret_cast<char*>(data.data()), static_cast<std::streamsize>(data.size()));
  if (in.bad()) throw Error(SystemError("cannot read", path));
  data.resize(static_cast<size_t>(in.gcount()));
  return data;
}

uint64_t RegularFileSize(const fs::path& path) {
  std::error_code ec;
  const fs::file_status st = fs::status(path, ec);
  if (ec || !fs::exists(st)) throw Error("no such file " + Quote(path));
  if (!fs::is_regular_file(st)) throw Error(Quote(path) + " is not a regular file");
  const uint64_t size = fs::file_size(path, ec);
  if (ec) throw Error("cannot read the size of " + Quote(path) + ": " + ec.message());
  // Opening proves it is readable, so errors come before any work is done.
  if (::access(path.c_str(), R_OK) != 0) throw Error(SystemError("cannot read", path));
  return size;
}

void PutU16(std::vector<unsigned char>& out, uint16_t v) {
  out.push_back(static_cast<unsigned char>(v));
  out.push_back(static_cast<unsigned char>(v >> 8));
}

void PutU32(std::vector<unsigned char>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<unsigned char>(v >> (8 * i)));
}

void SetU32(unsigned char* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(v >> (8 * i));
}

TempFolder::TempFolder() {
  std::error_code ec;
  fs::path base = fs::temp_directory_path(ec);
  if (ec) base = "/tmp";
  std::string pattern = (base / "lumenpack.XXXXXX").string();
  if (!::mkdtemp(pattern.data())) throw Error(SystemError("cannot make a temporary folder in", base));
  path_ = fs::absolute(pattern);
}

TempFolder::~TempFolder() {
  std::error_code ec;
  fs::remove_all(path_, ec);
}

AtomicOutputFile::AtomicOutputFile(const fs::path& final_path) : final_path_(final_path) {
  const fs::path folder = final_path.has_parent_path() ? final_path.parent_path() : fs::path(".");
  std::string pattern = (folder / ("." + final_path.filename().string() + ".XXXXXX")).string();
  fd_ = ::mkstemp(pattern.data());
  if (fd_ < 0) throw Error(SystemError("cannot write in the output folder", folder));
  temp_path_ = pattern;
  // mkstemp makes the file private (0600); an installer gets the usual permissions.
  const mode_t mask = ::umask(0);
  ::umask(mask);
  ::fchmod(fd_, 0666 & ~mask);
  buffer_.reserve(1 << 20);
}

AtomicOutputFile::~AtomicOutputFile() {
  if (fd_ >= 0) ::close(fd_);
  if (!temp_path_.empty()) ::unlink(temp_path_.c_str());
}

void AtomicOutputFile::Write(const void* data, size_t size) {
  const unsigned char* p = static_cast<const unsigned char*>(data);
  while (size > 0) {
    const size_t n = std::min(size, buffer_.capacity() - buffer_.size());
    buffer_.insert(buffer_.end(), p, p + n);
    p += n;
    size -= n;
    size_ += n;
    if (buffer_.size() == buffer_.capacity()) Flush();
  }
}

void AtomicOutputFile::Flush() {
  size_t done = 0;
  while (done < buffer_.size()) {
    const ssize_t n = ::write(fd_, buffer_.data() + done, buffer_.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) throw Error(SystemError("cannot write", temp_path_));
    done += static_cast<size_t>(n);
  }
  buffer_.clear();
}

void AtomicOutputFile::WriteAt(uint64_t offset, const void* data, size_t size) {
  Flush();
  if (::pwrite(fd_, data, size, static_cast<off_t>(offset)) != static_cast<ssize_t>(size))
    throw Error(SystemError("cannot write", temp_path_));
}

void AtomicOutputFile::Commit() {
  Flush();
  if (::fsync(fd_) != 0) throw Error(SystemError("cannot write", temp_path_));
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) throw Error(SystemError("cannot write", temp_path_));
  if (::rename(temp_path_.c_str(), final_path_.c_str()) != 0) throw Error(SystemError("cannot make", final_path_));
  temp_path_.clear();
}

namespace {

// The first line a tool marked as an error or warning, else its last line: one line for our message.
std::string SummarizeLog(const fs::path& log) {
  std::ifstream in(log);
  std::string line, last, flagged;
  while (std::getline(in, line)) {
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
    if (line.empty()) continue;
    last = line;
    if (flagged.empty() && (line.find("ERROR") != std::string::npos || line.find("WARNING") != std::string::npos))
      flagged = line;
  }
  return flagged.empty() ? last : flagged;
}

}  // namespace

void RunTool(const fs::path& program, const std::vector<std::string>& args, const fs::path& cwd, const fs::path& log,
             const std::string& doing) {
  std::vector<char*> argv;
  std::string name = program.filename().string();
  argv.push_back(name.data());
  std::vector<std::string> copies = args;
  for (std::string& a : copies) argv.push_back(a.data());
  argv.push_back(nullptr);

  const pid_t pid = ::fork();
  if (pid < 0) throw Error("cannot start " + name + ": " + std::strerror(errno));
  if (pid == 0) {
    const int out = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int in = ::open("/dev/null", O_RDONLY);
    if (out < 0 || in < 0 || ::dup2(in, 0) < 0 || ::dup2(out, 1) < 0 || ::dup2(out, 2) < 0) ::_exit(126);
    if (::chdir(cwd.c_str()) != 0) ::_exit(126);
    // UTF-8 file names whatever the build host's locale is.
    ::setenv("LC_ALL", "C.UTF-8", 1);
    ::execv(program.c_str(), argv.data());
    ::_exit(127);
  }
  int status = 0;
  bool stopped = false;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) throw Error("lost track of " + name + ": " + std::strerror(errno));
    if (Interrupted() && !stopped) {
      ::kill(pid, SIGTERM);
      stopped = true;
    }
  }
  ThrowIfInterrupted();
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return;
  std::string why = WIFEXITED(status) ? "exit code " + std::to_string(WEXITSTATUS(status))
                                      : "signal " + std::to_string(WTERMSIG(status));
  const std::string said = SummarizeLog(log);
  throw Error(name + " failed " + doing + " (" + why + ")" + (said.empty() ? "" : ": " + said));
}

fs::path FindOnPath(const std::string& name, const std::string& package) {
  const char* path = std::getenv("PATH");
  std::istringstream dirs(path ? path : "");
  for (std::string dir; std::getline(dirs, dir, ':');) {
    const fs::path candidate = fs::path(dir.empty() ? "." : dir) / name;
    if (::access(candidate.c_str(), X_OK) == 0 && !fs::is_directory(candidate)) return fs::absolute(candidate);
  }
  throw Error(name + " was not found on PATH (Debian: apt-get install " + package + ")");
}

}  // namespace lumenpack
