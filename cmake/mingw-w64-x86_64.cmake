# Cross-building for 64-bit Windows on Debian with MinGW-w64 (package g++-mingw-w64-x86-64-posix:
# the POSIX thread model, which std::thread needs), against the Qt kit that
# tools/build-qt-mingw.sh builds from Debian's Qt source. The programs use the compiler's runtime
# DLLs as the Qt DLLs do, and CTest runs them under wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(mingw_prefix x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${mingw_prefix}-gcc-posix)
set(CMAKE_CXX_COMPILER ${mingw_prefix}-g++-posix)
set(CMAKE_RC_COMPILER ${mingw_prefix}-windres)
set(CMAKE_OBJDUMP ${mingw_prefix}-objdump)

# The Qt kit: PATCHLENS_QT_MINGW_PREFIX when given (on the command line or in the environment),
# otherwise the folder tools/build-qt-mingw.sh installs into.
if(NOT PATCHLENS_QT_MINGW_PREFIX)
  if(DEFINED ENV{PATCHLENS_QT_MINGW_PREFIX})
    set(PATCHLENS_QT_MINGW_PREFIX "$ENV{PATCHLENS_QT_MINGW_PREFIX}")
  else()
    execute_process(COMMAND ${CMAKE_CURRENT_LIST_DIR}/../tools/build-qt-mingw.sh --prefix-only
                    OUTPUT_VARIABLE PATCHLENS_QT_MINGW_PREFIX OUTPUT_STRIP_TRAILING_WHITESPACE)
  endif()
endif()
set(PATCHLENS_QT_MINGW_PREFIX "${PATCHLENS_QT_MINGW_PREFIX}" CACHE PATH "The Qt kit for MinGW-w64")
# try_compile projects read the toolchain file again: they get the same kit.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES PATCHLENS_QT_MINGW_PREFIX)

set(CMAKE_FIND_ROOT_PATH ${PATCHLENS_QT_MINGW_PREFIX} /usr/${mingw_prefix})
list(PREPEND CMAKE_PREFIX_PATH ${PATCHLENS_QT_MINGW_PREFIX}/lib/cmake)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# moc, rcc and the other build tools come from the Linux Qt of the same version.
set(QT_HOST_PATH /usr)
set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake)

# The folders of the DLLs the programs load: the Qt kit's, then the compiler's runtime
# (libstdc++-6.dll, libgcc_s_seh-1.dll, libwinpthread-1.dll).
set(PATCHLENS_WINDOWS_DLL_FOLDERS ${PATCHLENS_QT_MINGW_PREFIX}/bin)
foreach(runtime_dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${runtime_dll}
                  OUTPUT_VARIABLE runtime_path OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(IS_ABSOLUTE "${runtime_path}" AND EXISTS "${runtime_path}")
    get_filename_component(runtime_folder "${runtime_path}" DIRECTORY)
    get_filename_component(runtime_folder "${runtime_folder}" REALPATH)
    list(APPEND PATCHLENS_WINDOWS_DLL_FOLDERS ${runtime_folder})
  endif()
endforeach()
list(REMOVE_DUPLICATES PATCHLENS_WINDOWS_DLL_FOLDERS)
list(JOIN PATCHLENS_WINDOWS_DLL_FOLDERS ":" dll_path)

# wine in a prefix of its own under the build folder; the Qt programs on the offscreen platform
# with the Liberation fonts (Debian package fonts-liberation).
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/run-under-wine.sh ${CMAKE_BINARY_DIR}/wine
    ${dll_path} /usr/share/fonts/truetype/liberation)
