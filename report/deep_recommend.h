// The partner offer of the wizard (a deep recommendation): handing a chosen offer to the suite's
// download tool, and describing the offers to the recommendation tool. The tools themselves
// fetch, check and install the partner program; the installer only starts them.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "suite/setup_xml.h"

namespace report {

// The download tool's arguments for an offer:
//   -url="<url>" -param="<param>" -check="<reg>"
// The texts go in as they are: a double quote inside one breaks the quoting.
std::wstring DownloadCommandLine(const DeepRecommendItem& offer);

// Starts the download tool for an offer. The tool (<installFolder>office6\downloadtool.exe)
// is copied under a fresh temporary name ("dl....tmp.exe") into a new folder below the user's
// temporary folder, together with the two runtime libraries it needs (office6\msvcp100.dll,
// office6\msvcr100.dll); only when all three copies succeeded is the tool removed from the
// installation and the copy started with RunApp's wait and show rules. Any failure ends the
// step silently and leaves the installation as it was. True when the tool was started.
bool DownloadDeepRecommend(const std::wstring& installFolder, const DeepRecommendItem& offer, int wait, int show);

// The offer list for the recommendation tool:
//   location:=<left>,<top>;deeprecommendedname:=<names>;deeprecommendedinstall:=<1/0 each>;
//   deeprecommendedurl:=<urls>;deeprecommendedparam:=<params>;deeprecommendedreg:=<checks>
// The position is the main window's, read while it is shown restored (it is hidden
// afterwards); a null window gives 0,0. The install list covers the first `count` offers that
// have both a choice and an item; the other lists the first `count` items. Entries are
// separated by ",".
std::wstring BuildDeepRecommendParams(HWND mainWindow, int count, const std::vector<int>& chosen,
                                      const std::vector<DeepRecommendItem>& items);

}  // namespace report
