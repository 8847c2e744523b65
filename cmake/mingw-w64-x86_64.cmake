# Cross-compiles for 64-bit Windows with clang and lld against the posix-threads
# MinGW-w64 GCC's headers, runtime and libstdc++ (so libraries built by that GCC,
# glog and GoogleTest, link unchanged). clang writes CodeView and lld a PDB:
# symbols Windows debuggers read, which GCC's DWARF is not.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(KOVA_MINGW_TARGET x86_64-w64-mingw32)
set(KOVA_MINGW_SYSROOT /usr/${KOVA_MINGW_TARGET})
set(KOVA_MINGW_GCC_DIR /usr/lib/gcc/${KOVA_MINGW_TARGET}/12-posix)

set(CMAKE_C_COMPILER clang)
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_C_COMPILER_TARGET ${KOVA_MINGW_TARGET})
set(CMAKE_CXX_COMPILER_TARGET ${KOVA_MINGW_TARGET})
set(CMAKE_RC_COMPILER ${KOVA_MINGW_TARGET}-windres)
set(CMAKE_SYSROOT ${KOVA_MINGW_SYSROOT})
# clang does not find this GCC by itself (Debian installs two thread models).
set(CMAKE_CXX_FLAGS_INIT "-isystem ${KOVA_MINGW_GCC_DIR}/include/c++ -isystem ${KOVA_MINGW_GCC_DIR}/include/c++/${KOVA_MINGW_TARGET}")
# libstdc++ and libgcc of this GCC use winpthreads, which GCC's driver adds by
# itself; lld finds archive members whatever their place on the line.
set(KOVA_MINGW_LINK_FLAGS "-fuse-ld=lld -L${KOVA_MINGW_GCC_DIR} -lpthread")
set(CMAKE_EXE_LINKER_FLAGS_INIT ${KOVA_MINGW_LINK_FLAGS})
set(CMAKE_SHARED_LINKER_FLAGS_INIT ${KOVA_MINGW_LINK_FLAGS})
set(CMAKE_MODULE_LINKER_FLAGS_INIT ${KOVA_MINGW_LINK_FLAGS})

set(CMAKE_FIND_ROOT_PATH ${KOVA_MINGW_SYSROOT})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
