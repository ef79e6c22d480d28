// Making the two extra parts of an update installer that carries only what changed since a
// previous version (a delta): the product entry with the new files and the binary patches, and
// the manifest of the whole new version (packet/delta_manifest.h has the format).
//
// For every file of the new product folder, compared with the same path in the previous one:
//   the same bytes                  "same": the setup program copies the installed file;
//   other bytes, both at most 256 MiB, and a patch that compresses smaller than the file
//                                   "patch": made by Debian's bsdiff (from PATH), stored in the
//                                   form of packet/binary_patch.h and checked by applying it
//                                   (compared by what zstd makes of either: an estimate of what
//                                   the archive's LZMA makes of them);
//   otherwise, or no previous file  "new": the file itself, packed as in a full installer.
// Files the installation removes from its version folder after using them are always carried
// whole: an installed version no longer has them to copy or patch. They are those the install
// lists (the previous installer's and the new one's setup.xml) name in items "movefile" (the
// utility folder's file), "deletetempfile" (its file), "office6\cirrussetup.exe" (run, then
// deleted) and "MoveRecommendFiles" or "office6\lumenrecommended.exe" (the recommendation tool
// and the download tool leave office6).
// Patches are made on two threads, each file on its own: the same inputs give the same bytes.
// bsdiff needs about 17 times the previous file in memory, hence the 256 MiB limit.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace lumenpack {

struct DeltaSummary {
  int folders = 0, added = 0, same = 0, patched = 0, whole = 0;  // whole: changed, carried whole
  uint64_t patchBytes = 0, newBytes = 0;  // the patches compressed (about), the whole files as they are
};

// `product` and `previous` are product folders (the previous one unpacked from its installer
// when that was given), `consumed` the files carried whole whatever they are (see above), with
// "/" separators. Writes entry 1's folder (new/, patch/) to `entry_folder` and the manifest
// file into `manifest_folder`, both made here; `work` holds the patches while they are made.
DeltaSummary MakeDelta(const std::filesystem::path& product, const std::filesystem::path& previous,
                       const std::string& from_version, const std::string& to_version,
                       const std::vector<std::string>& consumed, const std::filesystem::path& entry_folder,
                       const std::filesystem::path& manifest_folder, const std::filesystem::path& work);

// The files the install list of `setup_xml` (the file's text) removes from the version folder
// after using them, with "/" separators, as described above. Throws Error when the text is not
// XML.
std::vector<std::string> ConsumedFiles(const std::string& setup_xml);

}  // namespace lumenpack
