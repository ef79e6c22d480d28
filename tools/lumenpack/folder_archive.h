// Turning the release folders into the packet's two 7z archives with Debian's 7zz.
//
// The install entry (configuration XML, wizard images) is solid LZMA. The product entry (the
// suite's files) holds the data files in LZMA blocks, then the programs and libraries in
// BCJ2+LZMA blocks, BCJ2 making x86 machine code compress better: one block of each up to the
// block limit (256 MiB unless the release team sets another), more for a larger product, so
// that the setup program decodes them on all cores at once. A file counts
// as a program when its content is a PE image ("MZ", a sane offset at 0x3C, "PE\0\0" there),
// whatever its name: renamed or unusual extensions (.pyd, .mui, .node, ...) are caught, and a
// data file that merely ends in .exe is not.
//
// Both archives are reproducible: the same folder gives the same bytes on every build host with
// the same 7zz, because they carry no file times and no attributes (owner permissions and umask
// differ between hosts), files are listed in byte order of their UTF-8 paths, 7zz runs on one
// thread, and paths are relative to the folder, so no temporary or build-host path gets in.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace lumenpack {

enum class EntryKind { kInstall, kProduct };

// The largest LZMA dictionary (7zz's level 9): each decoder of the setup program holds at most
// this much, or the block limit when that is smaller.
inline constexpr unsigned kMaxDictionaryMiB = 256;

// 7zz from PATH; throws Error when it is not there.
std::filesystem::path FindSevenZip();

// Makes `archive` (not existing yet) from every file and empty folder below `folder`. `work` is a
// private folder for the file lists and 7zz's messages. After 7zz has run, the archive's listing
// is checked against the folder: the same paths, every file in its intended block, each block
// with its intended methods. Solid blocks hold at most `block_limit_mib` MiB of files (0: no
// limit), with a dictionary no larger. Throws Error on any fault.
void ArchiveFolder(const std::filesystem::path& seven_zip, const std::filesystem::path& folder, EntryKind kind,
                   const std::filesystem::path& work, const std::filesystem::path& archive,
                   unsigned block_limit_mib);

// The configuration entry's XML files (every "*.xml" at its top: setup.xml, deeprecommend.xml,
// ...) must parse, or the setup program refuses the installer on the user's machine: throws
// Error naming the first that does not, with the parser's line and message. `install` is the
// folder, or a ready archive whose top-level XML files are unpacked into `work` to be read.
void CheckConfigurationXml(const std::filesystem::path& seven_zip, const std::filesystem::path& install, bool folder,
                           const std::filesystem::path& work);

// Unpacks `archive` into `folder` (made when missing): everything, or only the top-level files
// named in `only`. `what` names the archive in messages. Throws Error on any fault.
void UnpackArchive(const std::filesystem::path& seven_zip, const std::filesystem::path& archive,
                   const std::filesystem::path& folder, const std::filesystem::path& work, const std::string& what,
                   const std::vector<std::string>& only = {});

// Checks every name below `folder` as ArchiveFolder does (names Windows can create, no two that
// differ only in case, no links or special files, not empty). Throws Error on the first fault.
void CheckFolder(const std::filesystem::path& folder);

// Throws Error unless `file` starts with the 7z signature.
void CheckSevenZipFile(const std::filesystem::path& file, const std::string& what);

}  // namespace lumenpack
