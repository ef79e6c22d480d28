// Small file helpers shared by the packer's parts. Every failure is an Error whose message is
// one line, printed by main() as "lumenpack: <message>".
#pragma once

#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

namespace lumenpack {

namespace fs = std::filesystem;

class Error : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Ctrl-C, SIGTERM and SIGHUP set a flag instead of ending the program at once, so that the
// temporary folder and the half-written installer are removed on the way out: long steps call
// ThrowIfInterrupted() between pieces of work, and a running 7zz is stopped.
void CatchInterrupts();
bool Interrupted();
void ThrowIfInterrupted();

// Runs `program` (a path) with `args` in `cwd`, its output in `log`; throws Error naming
// `doing` unless it exits with 0 (7zz's exit code 1, a warning such as an unreadable file,
// counts as failure too). Ctrl-C stops it.
void RunTool(const fs::path& program, const std::vector<std::string>& args, const fs::path& cwd, const fs::path& log,
             const std::string& doing);

// The program `name` on PATH; throws Error naming the Debian `package` when it is not there.
fs::path FindOnPath(const std::string& name, const std::string& package);

// Whole file into memory (the stub: a few MiB).
std::vector<unsigned char> ReadWholeFile(const fs::path& path);

// The first `count` bytes of a file, fewer if the file is shorter.
std::vector<unsigned char> ReadFilePrefix(const fs::path& path, uint64_t count);

// Size of a regular file; throws when it cannot be read.
uint64_t RegularFileSize(const fs::path& path);

// Appends a little-endian number to `out`.
void PutU16(std::vector<unsigned char>& out, uint16_t v);
void PutU32(std::vector<unsigned char>& out, uint32_t v);
void SetU32(unsigned char* p, uint32_t v);

// A fresh folder below the system's temporary folder ($TMPDIR or /tmp), removed with everything
// in it when the object goes out of scope.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

// An output file written under a temporary name beside its final path and renamed into place by
// Commit(); without Commit() the temporary file is deleted, so a failed run leaves nothing
// half-written behind.
class AtomicOutputFile {
 public:
  explicit AtomicOutputFile(const fs::path& final_path);
  ~AtomicOutputFile();
  AtomicOutputFile(const AtomicOutputFile&) = delete;
  AtomicOutputFile& operator=(const AtomicOutputFile&) = delete;

  void Write(const void* data, size_t size);
  // Overwrites bytes written before.
  void WriteAt(uint64_t offset, const void* data, size_t size);
  uint64_t size() const { return size_; }
  void Commit();

 private:
  void Flush();

  fs::path final_path_;
  fs::path temp_path_;
  int fd_ = -1;
  uint64_t size_ = 0;
  std::vector<unsigned char> buffer_;
};

}  // namespace lumenpack
