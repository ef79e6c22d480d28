# Windows libraries that are not among the system's known DLLs are searched next to the program
# first. A setup program is started from a downloads folder, where any file of such a name may
# lie, so these libraries are delay-loaded: each is loaded on its first call, after the entry has
# restricted the DLL search to the system folder.
#
#   lumen_delay_import(<out variable> <dll name> <import library name>)
# makes a delay-import library for every function of the import library and names it in
# <out variable>. Link `delayimp` too.

function(lumen_delay_import out dll importlib)
  find_library(LUMEN_IMPORT_${importlib} NAMES lib${importlib}.a REQUIRED)
  set(folder ${CMAKE_BINARY_DIR}/delayload)
  set(lib ${folder}/lib${importlib}_delay.a)
  set(def ${folder}/${importlib}.def)
  file(MAKE_DIRECTORY ${folder})
  execute_process(COMMAND ${CMAKE_NM} ${LUMEN_IMPORT_${importlib}} OUTPUT_VARIABLE symbols COMMAND_ERROR_IS_FATAL ANY)
  # Import symbols read "__imp_Name" (64-bit) or "__imp__Name@bytes" (32-bit, stdcall).
  string(REGEX MATCHALL "I __imp_[^\n]+" imports "${symbols}")
  set(exports "")
  foreach(symbol IN LISTS imports)
    string(REGEX REPLACE "^I __imp_" "" name "${symbol}")
    if(CMAKE_SIZEOF_VOID_P EQUAL 4)
      string(REGEX REPLACE "^_" "" name "${name}")
    endif()
    list(APPEND exports "${name}")
  endforeach()
  list(REMOVE_DUPLICATES exports)
  list(JOIN exports "\n" lines)
  file(WRITE ${def} "LIBRARY ${dll}\nEXPORTS\n${lines}\n")
  set(kill "")
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(kill --kill-at)  # the DLL exports the names without the @bytes
  endif()
  execute_process(COMMAND ${CMAKE_DLLTOOL} ${kill} --input-def ${def} --output-delaylib ${lib} --dllname ${dll}
                  COMMAND_ERROR_IS_FATAL ANY)
  set(${out} ${lib} PARENT_SCOPE)
endfunction()
