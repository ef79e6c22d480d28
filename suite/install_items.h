// How the install list's items are understood: which kind of step an item is, and how the
// command lines of the suite's tools are rewritten from the user's options and the OEM file.
// Everything here is free of side effects; the install sequence acts on the answers.
#pragma once

#include <string>

#include "suite/install_config.h"

// The kinds of install-list items, in the order they are recognised: the first kind whose
// rule matches an item wins.
enum class ItemKind {
  ConfigSetup = 1,        // utility\config.exe with "-setup": the options and folder go to the tool
  SkipAssoWord,           // "-assoword" while word documents stay with the other suite
  SkipAssoExcel,
  SkipAssoPowerpoint,
  SaveAsLmo,              // "-saveas_mso" while the option is off: runs as "-saveas_lmo"
  StartMenuLink,          // "-createlink startmenu ...": the OEM folder name replaces the quoted one
  Channel,                // "-distsrc 000": the OEM channel number, or skipped
  SendReport,             // lmo::_lmo_sendinfocellect
  SkipDesktopLink,        // "-createlink desktop 2052" while desktop shortcuts are off
  ConfigLast,             // utility\config.exe "-last"
  MoveTidalStartMenu,
  CopyNewFile,
  WriteIniFile,
  MoveFile,
  DeleteTempFile,
  DesktopTip,             // wtoolex\desktoptip.exe
  StartLumen,             // office6\lumen.exe
  StartCirrus,            // office6\cirrus.exe
  DownloadRecommend,
  RecommendFirst,         // office6\lumenrecommended.exe "start"
  RecommendSecond,        // office6\lumenrecommended.exe "end"
  RegisterFonts,          // lmomisc "-regmtfont": started in this process, result not counted
  SetLanguage,            // setlang "-setlngdef 2052": likewise
  MoveRecommendFiles,
  ShowCenter,
  CirrusSetup,            // office6\cirrussetup.exe
  Run,                    // anything else: started as it stands
};

// The option values the recognition depends on (-1 unset, 0 off, 1 on).
struct ItemOptions {
  int assoWord = -1, assoExcel = -1, assoPowerpoint = -1, saveToMso = -1, desktopShortcut = -1;
};

ItemKind RecogniseItem(const InstallItem& item, const ItemOptions& options);

// "install", "update", "silent" or "updatesilent".
const wchar_t* InstallTypeName(bool silent, bool update);
// Whether the item's ";"-separated type list names `typeName` (exact, case-sensitive words).
bool ItemRunsIn(const std::wstring& typeList, const std::wstring& typeName);

// " /AssoToWord=1 /AssoToPowerpoint=1 /AssoToExcel=1 /SaveToMso=1 /DesktopShortcut=1", each
// "0" only when its option is 0.
std::wstring OptionSwitches(const ItemOptions& options);

// Puts /StartMenuDirectory="<oemName>" into a tool's parameters (unchanged for an empty name):
// appended when absent, else replacing the switch and keeping the switches after it.
std::wstring ApplyOemStartMenu(const std::wstring& param, const std::wstring& oemName);

// The configuration tool's "-setup" parameters: option switches in place of "-setup", the OEM
// start-menu folder, then " /D=" and the install folder.
std::wstring RewriteConfigSetup(const std::wstring& param, const ItemOptions& options, const std::wstring& oemName,
                                const std::wstring& installFolder);

// The folder name of /StartMenuDirectory="<name>" in a parameter string; empty when absent.
std::wstring StartMenuNameOf(const std::wstring& param);

// The "-createlink startmenu" parameters with the OEM folder name in place of the quoted name.
// False (param unchanged) when the parameters hold no double quote.
bool RewriteStartMenuLink(const std::wstring& param, const std::wstring& oemName, std::wstring* result);

// Whether a start of the word processor or the cloud client is refused by the OEM launch
// value ("0" never, "1" always, "2" not in a plain silent install).
bool LaunchRefused(const std::wstring& launch, bool silent, bool update);
