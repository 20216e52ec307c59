# Compile settings shared by every target of the project.
add_library(zorvan_common INTERFACE)
target_compile_features(zorvan_common INTERFACE cxx_std_20)
target_compile_options(zorvan_common INTERFACE -Wall -Wextra -Wpedantic -Wshadow -Wold-style-cast)
if(ZORVAN_WERROR)
  target_compile_options(zorvan_common INTERFACE -Werror)
endif()
# Every symbol bound at start and the relocations read-only after it: a program that reads pages
# from the network gives an overwritten pointer table nothing to aim at.
if(WIN32)
  # Windows' counterparts: a relocatable image at a random address (high in the 64-bit space) and
  # no executable data.
  target_link_options(zorvan_common INTERFACE LINKER:--dynamicbase LINKER:--nxcompat LINKER:--high-entropy-va)
else()
  target_link_options(zorvan_common INTERFACE LINKER:-z,relro LINKER:-z,now)
endif()
target_compile_definitions(zorvan_common INTERFACE
  QT_NO_CAST_FROM_ASCII
  QT_NO_NARROWING_CONVERSIONS_IN_CONNECT
  QT_NO_SIGNALS_SLOTS_KEYWORDS
  QT_USE_QSTRINGBUILDER)

# The version, from project(VERSION), as a header every target can include.
configure_file(${CMAKE_CURRENT_LIST_DIR}/version.h.in ${PROJECT_BINARY_DIR}/generated/zorvan_version.h @ONLY)
target_include_directories(zorvan_common INTERFACE ${PROJECT_BINARY_DIR}/generated)

# One library per source folder; PRIVATE_LINKS are what only its sources use. Sources are globbed so that adding a file to a folder needs no
# edit of a shared list.
function(zorvan_folder_library name)
  cmake_parse_arguments(ARG "" "" "LINKS;PRIVATE_LINKS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
  list(FILTER sources EXCLUDE REGEX "/main\\.cpp$")
  list(FILTER sources INCLUDE REGEX "\\.cpp$")
  if(sources)
    file(GLOB all CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.h)
    list(FILTER all EXCLUDE REGEX "/main\\.cpp$")
    add_library(${name} STATIC ${all})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} PUBLIC zorvan_common ${ARG_LINKS})
    target_link_libraries(${name} PRIVATE ${ARG_PRIVATE_LINKS})
  else()
    # A folder whose first source has not been written yet.
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} INTERFACE zorvan_common ${ARG_LINKS})
  endif()
endfunction()
