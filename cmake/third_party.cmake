# Third-party libraries of the setup program, built from the Debian source trees that
# `make third_party` (scripts/fetch_third_party.sh) unpacks into LUMEN_THIRD_PARTY_DIR:
#   sevenzip            OBJECT  7-Zip's 7z extraction code (handler, codecs, exports)
#   tinyxml2            STATIC  XML reader for the setup's configuration files
#   gtest, gtest_main,  STATIC  GoogleTest / GoogleMock (only when LUMEN_BUILD_TESTS is ON)
#   gmock
# Warnings in third-party code are silenced (-w); our own targets add their warnings.

if(NOT LUMEN_THIRD_PARTY_DIR)
  message(FATAL_ERROR "LUMEN_THIRD_PARTY_DIR is not set: it must name the folder filled by `make third_party`")
endif()

set(_lumen_7zip_dir       "${LUMEN_THIRD_PARTY_DIR}/7zip")
set(_lumen_tinyxml2_dir   "${LUMEN_THIRD_PARTY_DIR}/tinyxml2")
set(_lumen_googletest_dir "${LUMEN_THIRD_PARTY_DIR}/googletest")

function(_lumen_require_tree name probe)
  if(NOT EXISTS "${probe}")
    message(FATAL_ERROR
      "Third-party source tree '${name}' is missing (expected ${probe}).\n"
      "Run `make third_party` in the repository root to fetch it, "
      "or point LUMEN_THIRD_PARTY_DIR at the folder that holds it.")
  endif()
endfunction()

_lumen_require_tree(7zip     "${_lumen_7zip_dir}/CPP/7zip/Archive/7z/7zHandler.cpp")
_lumen_require_tree(tinyxml2 "${_lumen_tinyxml2_dir}/tinyxml2.cpp")
if(LUMEN_BUILD_TESTS)
  _lumen_require_tree(googletest "${_lumen_googletest_dir}/googletest/src/gtest-all.cc")
endif()

# ---------------------------------------------------------------------------------------
# sevenzip: the file set of 7-Zip's "7zxr" bundle (CPP/7zip/Bundles/Format7zExtractR/makefile):
# 7z reading, LZMA, LZMA2 (multi-threaded decoder), BCJ, BCJ2, other branch filters, Delta,
# Copy, the multi-threaded coder mixer and the CreateObject/GetNumberOfFormats exports.
# No assembler: CRC and the LZMA decoder use the C code (Z7_LZMA_DEC_OPT stays undefined).
#
# It is an OBJECT library because the archive handler and every codec register themselves
# from static constructors that nothing references: in a static archive the linker would
# drop them. CMake puts an OBJECT library's objects only into targets that link it
# DIRECTLY, so every executable that opens archives must itself list `sevenzip` in
# target_link_libraries (linking it only through lumen_core is not enough).
#
# Include root: the 7-Zip tree itself, so our code writes e.g.
#   #include "CPP/7zip/Archive/IArchive.h"
#   #include "CPP/Common/MyCom.h"
# and obtains a handler with CreateObject(&CLSID_7z, &IID_IInArchive, ...), where the 7z
# class id is {23170F69-40C1-278A-1000-000110070000}. Our code must not include
# CPP/Common/MyInitGuid.h: the interface ids are already defined in DllExports2.cpp.
# ---------------------------------------------------------------------------------------
set(_z7 "${_lumen_7zip_dir}")
add_library(sevenzip OBJECT
  # CPP/Common
  ${_z7}/CPP/Common/CRC.cpp
  ${_z7}/CPP/Common/CrcReg.cpp
  ${_z7}/CPP/Common/IntToString.cpp
  ${_z7}/CPP/Common/NewHandler.cpp
  ${_z7}/CPP/Common/MyString.cpp
  ${_z7}/CPP/Common/StringConvert.cpp
  ${_z7}/CPP/Common/StringToInt.cpp
  ${_z7}/CPP/Common/MyVector.cpp
  ${_z7}/CPP/Common/Wildcard.cpp
  # CPP/Windows
  ${_z7}/CPP/Windows/PropVariant.cpp
  ${_z7}/CPP/Windows/Synchronization.cpp
  ${_z7}/CPP/Windows/System.cpp
  # CPP/7zip/Common: streams, coder creation, thread helpers
  ${_z7}/CPP/7zip/Common/CreateCoder.cpp
  ${_z7}/CPP/7zip/Common/CWrappers.cpp
  ${_z7}/CPP/7zip/Common/InBuffer.cpp
  ${_z7}/CPP/7zip/Common/FilterCoder.cpp
  ${_z7}/CPP/7zip/Common/LimitedStreams.cpp
  ${_z7}/CPP/7zip/Common/MethodId.cpp
  ${_z7}/CPP/7zip/Common/MethodProps.cpp
  ${_z7}/CPP/7zip/Common/OutBuffer.cpp
  ${_z7}/CPP/7zip/Common/ProgressUtils.cpp
  ${_z7}/CPP/7zip/Common/PropId.cpp
  ${_z7}/CPP/7zip/Common/StreamBinder.cpp
  ${_z7}/CPP/7zip/Common/StreamObjects.cpp
  ${_z7}/CPP/7zip/Common/StreamUtils.cpp
  ${_z7}/CPP/7zip/Common/VirtThread.cpp
  # CPP/7zip/Archive: format registry and exported entry points
  ${_z7}/CPP/7zip/Archive/ArchiveExports.cpp
  ${_z7}/CPP/7zip/Archive/DllExports2.cpp
  # CPP/7zip/Archive/Common: coder mixer and handler helpers
  ${_z7}/CPP/7zip/Archive/Common/CoderMixer2.cpp
  ${_z7}/CPP/7zip/Archive/Common/HandlerOut.cpp
  ${_z7}/CPP/7zip/Archive/Common/ItemNameUtils.cpp
  ${_z7}/CPP/7zip/Archive/Common/OutStreamWithCRC.cpp
  ${_z7}/CPP/7zip/Archive/Common/ParseProperties.cpp
  # CPP/7zip/Archive/7z: the 7z handler (read side)
  ${_z7}/CPP/7zip/Archive/7z/7zCompressionMode.cpp
  ${_z7}/CPP/7zip/Archive/7z/7zDecode.cpp
  ${_z7}/CPP/7zip/Archive/7z/7zExtract.cpp
  ${_z7}/CPP/7zip/Archive/7z/7zHandler.cpp
  ${_z7}/CPP/7zip/Archive/7z/7zHeader.cpp
  ${_z7}/CPP/7zip/Archive/7z/7zIn.cpp
  ${_z7}/CPP/7zip/Archive/7z/7zProperties.cpp
  ${_z7}/CPP/7zip/Archive/7z/7zRegister.cpp
  # CPP/7zip/Compress: decoders and their registrations
  ${_z7}/CPP/7zip/Compress/CodecExports.cpp
  ${_z7}/CPP/7zip/Compress/Bcj2Coder.cpp
  ${_z7}/CPP/7zip/Compress/Bcj2Register.cpp
  ${_z7}/CPP/7zip/Compress/BcjCoder.cpp
  ${_z7}/CPP/7zip/Compress/BcjRegister.cpp
  ${_z7}/CPP/7zip/Compress/BranchMisc.cpp
  ${_z7}/CPP/7zip/Compress/BranchRegister.cpp
  ${_z7}/CPP/7zip/Compress/ByteSwap.cpp
  ${_z7}/CPP/7zip/Compress/CopyCoder.cpp
  ${_z7}/CPP/7zip/Compress/CopyRegister.cpp
  ${_z7}/CPP/7zip/Compress/DeltaFilter.cpp
  ${_z7}/CPP/7zip/Compress/Lzma2Decoder.cpp
  ${_z7}/CPP/7zip/Compress/Lzma2Register.cpp
  ${_z7}/CPP/7zip/Compress/LzmaDecoder.cpp
  ${_z7}/CPP/7zip/Compress/LzmaRegister.cpp
  # C: the codec cores
  ${_z7}/C/7zCrc.c
  ${_z7}/C/7zCrcOpt.c
  ${_z7}/C/7zStream.c
  ${_z7}/C/Alloc.c
  ${_z7}/C/Bcj2.c
  ${_z7}/C/Bra.c
  ${_z7}/C/Bra86.c
  ${_z7}/C/BraIA64.c
  ${_z7}/C/CpuArch.c
  ${_z7}/C/Delta.c
  ${_z7}/C/Lzma2Dec.c
  ${_z7}/C/Lzma2DecMt.c
  ${_z7}/C/LzmaDec.c
  ${_z7}/C/MtDec.c
  ${_z7}/C/SwapBytes.c
  ${_z7}/C/Threads.c
)
unset(_z7)

# Z7_EXTRACT_ONLY and Z7_NO_CRYPTO are the defines of the 7zxr bundle: read-only 7z handler,
# no AES (our packages are not encrypted). They change the layout of 7-Zip classes, so they
# are PUBLIC: any of our files that includes 7-Zip headers sees the same classes.
# Z7_ST is deliberately NOT defined: the multi-threaded coder mixer and LZMA2 decoder are
# wanted. Z7_EXTERNAL_CODECS is not defined either: all codecs are built in.
# 7-Zip's own Precomp.h keeps the global UNICODE/_UNICODE and _WIN32_WINNT=0x0601.
target_compile_definitions(sevenzip PUBLIC Z7_EXTRACT_ONLY Z7_NO_CRYPTO)
# 7-Zip needs the full <windows.h> (BSTR, PROPVARIANT and the COM helpers of <ole2.h>), so
# the project-wide WIN32_LEAN_AND_MEAN is undone for its own sources: a directory-wide
# definition cannot be removed from one target, but GCC applies -D/-U in command-line order
# and CMake writes target options after the definitions. Our files that include 7-Zip
# headers keep WIN32_LEAN_AND_MEAN and must include <windows.h> and <ole2.h> first.
target_compile_options(sevenzip PRIVATE -UWIN32_LEAN_AND_MEAN)
target_compile_options(sevenzip PRIVATE -w)
# SYSTEM: our -Wall -Wextra code is not warned about 7-Zip's headers.
target_include_directories(sevenzip SYSTEM PUBLIC "${_lumen_7zip_dir}")
# oleaut32: SysAllocString & co. for PROPVARIANT/BSTR; uuid: IID_IUnknown and other system ids.
target_link_libraries(sevenzip PUBLIC oleaut32 ole32 uuid)

# ---------------------------------------------------------------------------------------
# tinyxml2: static, no DLL import/export decoration (TINYXML2_EXPORT/IMPORT left undefined).
# Include root: the tinyxml2 tree, so our code writes #include "tinyxml2.h".
# ---------------------------------------------------------------------------------------
add_library(tinyxml2 STATIC "${_lumen_tinyxml2_dir}/tinyxml2.cpp")
target_compile_options(tinyxml2 PRIVATE -w -Os)
target_include_directories(tinyxml2 SYSTEM PUBLIC "${_lumen_tinyxml2_dir}")

# ---------------------------------------------------------------------------------------
# GoogleTest and GoogleMock, built from their single-file amalgamations.
# Include roots: googletest/include and googlemock/include (#include "gtest/gtest.h").
#
# The whole build links with -municode, whose start-up code calls wmain(), while
# googletest's gtest_main.cc only defines main(): such a test then fails to link with
# "undefined reference to `wWinMain'" (libmingw32's fallback wmain wants a GUI entry).
# gtest_main therefore also holds a small generated wmain() (in the build folder) that
# starts the tests the same way; the linker takes whichever entry the start-up code asks
# for from the archive, so gtest_main works with and without -municode.
# ---------------------------------------------------------------------------------------
if(LUMEN_BUILD_TESTS)
  set(_gt "${_lumen_googletest_dir}/googletest")
  set(_gm "${_lumen_googletest_dir}/googlemock")

  add_library(gtest STATIC "${_gt}/src/gtest-all.cc")
  target_include_directories(gtest SYSTEM PUBLIC "${_gt}/include")
  target_include_directories(gtest PRIVATE "${_gt}")
  target_compile_options(gtest PRIVATE -w)

  set(_lumen_gtest_wmain "${CMAKE_CURRENT_BINARY_DIR}/lumen_gtest_wmain.cc")
  file(CONFIGURE OUTPUT "${_lumen_gtest_wmain}" CONTENT [[
// Generated by cmake/third_party.cmake: test entry for programs linked with -municode.
#include <cstdio>
#include "gtest/gtest.h"

int wmain(int argc, wchar_t** argv) {
  std::printf("Running wmain() of gtest_main\n");
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
]] @ONLY)

  add_library(gtest_main STATIC "${_gt}/src/gtest_main.cc" "${_lumen_gtest_wmain}")
  target_link_libraries(gtest_main PUBLIC gtest)
  target_compile_options(gtest_main PRIVATE -w)

  add_library(gmock STATIC "${_gm}/src/gmock-all.cc")
  target_include_directories(gmock SYSTEM PUBLIC "${_gm}/include")
  target_include_directories(gmock PRIVATE "${_gm}")
  target_link_libraries(gmock PUBLIC gtest)
  target_compile_options(gmock PRIVATE -w)

  unset(_gt)
  unset(_gm)
endif()
