# The toolbox's cross-build: the MinGW-w64 compilers, and the libraries built for Windows beside
# Qt (libxlsxwriter, GoogleTest, cpp-httplib) under ZORVAN_WINDOWS_PREFIX. Qt's own toolchain file
# loads this one (QT_CHAINLOAD_TOOLCHAIN_FILE).
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-x86_64.cmake)
if(DEFINED ENV{ZORVAN_WINDOWS_PREFIX})
  list(APPEND CMAKE_FIND_ROOT_PATH "$ENV{ZORVAN_WINDOWS_PREFIX}")
  list(APPEND CMAKE_PREFIX_PATH "$ENV{ZORVAN_WINDOWS_PREFIX}")
endif()
