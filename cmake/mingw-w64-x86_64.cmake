# Cross-builds the Windows x86-64 binaries with Debian's mingw-w64. The posix thread model is
# the one whose libstdc++ has std::mutex and std::thread.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The host's .pc files describe Linux libraries (libudev would be "found").
set(ENV{PKG_CONFIG_LIBDIR} "")

# windows.h otherwise defines min and max as macros.
add_compile_definitions(NOMINMAX WIN32_LEAN_AND_MEAN _WIN32_WINNT=0x0A00)

# One self-contained executable: the C++ runtime and winpthreads linked in, so it imports only
# the system's DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Header-only libraries from Debian's headers alone; their own CMake files would put
# /usr/include, whose glibc headers shadow mingw's, on the include path.
set(nlohmann_json_DIR "${CMAKE_CURRENT_LIST_DIR}/mingw-header-only")
set(CLI11_DIR "${CMAKE_CURRENT_LIST_DIR}/mingw-header-only")
