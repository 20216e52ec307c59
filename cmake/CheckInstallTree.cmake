# Installs a build into a staging folder and checks the tree as a desktop and a packager see it:
# every expected file and nothing else, the menu entry and the metainfo through Debian's own
# validators, the version, the package's copyright and changelog, and a manual page that names
# every command and option of the help.
#   cmake -DBUILD_DIR=... -DDESTDIR=... -DPREFIX=... -DFILES=a|b -DCLI=... -DMANPAGE=...
#         -DMETAINFO=... -DDESKTOP=... -DCOPYRIGHT=... -DCHANGELOG=... -DVERSION=...
#         -DPACKAGE_VERSION=... -P CheckInstallTree.cmake
# (CLI, MANPAGE, METAINFO, DESKTOP, COPYRIGHT, CHANGELOG and FILES relative to the prefix.)

cmake_minimum_required(VERSION 3.25)
string(REPLACE "|" ";" FILES "${FILES}")
set(problems "")
macro(problem text)
  list(APPEND problems "${text}")
endmacro()

file(REMOVE_RECURSE "${DESTDIR}")
set(ENV{DESTDIR} "${DESTDIR}")
execute_process(COMMAND ${CMAKE_COMMAND} --install "${BUILD_DIR}"
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cmake --install failed:\n${out}")
endif()
set(root "${DESTDIR}${PREFIX}")

# The files: each expected one is there, and nothing else was installed.
foreach(f IN LISTS FILES)
  if(NOT EXISTS "${root}/${f}")
    problem("not installed: ${f}")
  endif()
endforeach()
file(GLOB_RECURSE installed LIST_DIRECTORIES false RELATIVE "${root}" "${root}/*")
foreach(f IN LISTS installed)
  if(NOT f IN_LIST FILES)
    problem("installed but not listed in ZORVAN_INSTALLED_FILES (cmake/Install.cmake): ${f}")
  endif()
endforeach()

# The validators that desktops and Debian run.
find_program(DESKTOP_FILE_VALIDATE desktop-file-validate)
find_program(APPSTREAMCLI appstreamcli)
if(NOT DESKTOP_FILE_VALIDATE OR NOT APPSTREAMCLI)
  message(FATAL_ERROR "desktop-file-validate and appstreamcli are needed (Debian: desktop-file-utils, appstream); "
                      "scripts/zorvan test installs them")
endif()
execute_process(COMMAND ${DESKTOP_FILE_VALIDATE} "${root}/${DESKTOP}"
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
# Its hints count too: an entry without a main category lands in a catch-all menu section.
if(NOT rc EQUAL 0 OR NOT out STREQUAL "")
  problem("desktop-file-validate ${DESKTOP}:\n${out}")
endif()
execute_process(COMMAND ${APPSTREAMCLI} validate --no-net --no-color "${root}/${METAINFO}"
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT rc EQUAL 0)
  problem("appstreamcli validate ${METAINFO}:\n${out}")
endif()
# The tree as a software centre reads it: the metainfo's launchable entry and its icon.
execute_process(COMMAND ${APPSTREAMCLI} validate-tree --no-net --no-color "${root}"
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT rc EQUAL 0)
  problem("appstreamcli validate-tree:\n${out}")
endif()
file(STRINGS "${root}/${DESKTOP}" icon_line REGEX "^Icon=")
string(REPLACE "Icon=" "" icon "${icon_line}")
file(GLOB icon_files "${root}/share/icons/hicolor/*/apps/${icon}.*")
if(NOT icon_files)
  problem("the menu entry's icon ${icon} is not installed under share/icons/hicolor")
endif()

# One version everywhere.
execute_process(COMMAND "${root}/${CLI}" --version RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0 OR NOT out STREQUAL "zorvan-cli ${VERSION}\n")
  problem("the installed zorvan-cli --version says \"${out}${err}\", not zorvan-cli ${VERSION}")
endif()
file(READ "${root}/${METAINFO}" metainfo)
if(NOT metainfo MATCHES "<release version=\"${VERSION}\"")
  problem("the metainfo has no release ${VERSION}")
endif()

# What Debian asks of a package's documents: compressed manual pages and changelog, a
# machine-readable copyright file, and a changelog whose latest entry is this package's version.
function(gunzip path out)
  execute_process(COMMAND gzip -dc "${path}" RESULT_VARIABLE rc OUTPUT_VARIABLE text ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    problem("${path} is not gzip-compressed: ${err}")
    set(problems "${problems}" PARENT_SCOPE)
  endif()
  set(${out} "${text}" PARENT_SCOPE)
endfunction()
file(STRINGS "${root}/${COPYRIGHT}" copyright_format LIMIT_COUNT 1)
if(NOT copyright_format STREQUAL "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/")
  problem("${COPYRIGHT} is not a machine-readable copyright file (its first line: ${copyright_format})")
endif()
gunzip("${root}/${CHANGELOG}" changelog)
if(NOT changelog MATCHES "^zorvan \\(${PACKAGE_VERSION}\\) ")
  string(REGEX MATCH "^[^\n;]*" first "${changelog}")
  problem("the changelog's latest entry is \"${first}\", not zorvan (${PACKAGE_VERSION}): add an entry to data/changelog.Debian")
endif()

# The manual page names every command and every option the help lists.
execute_process(COMMAND "${root}/${CLI}" --help RESULT_VARIABLE rc OUTPUT_VARIABLE help ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  problem("zorvan-cli --help failed: ${err}")
endif()
gunzip("${root}/${MANPAGE}" man)
string(REPLACE "\\-" "-" man "${man}")
string(REGEX REPLACE "\\\\f[BIRP]" "" man "${man}")

# The text of one .SH section of the page.
function(man_section name out)
  string(FIND "${man}" "\n.SH ${name}\n" start)
  if(start LESS 0)
    set(${out} "" PARENT_SCOPE)
    return()
  endif()
  string(SUBSTRING "${man}" ${start} -1 rest)
  string(SUBSTRING "${rest}" 1 -1 rest)
  string(FIND "${rest}" "\n.SH " end)
  string(SUBSTRING "${rest}" 0 ${end} section)
  set(${out} "${section}" PARENT_SCOPE)
endfunction()
man_section(COMMANDS man_commands)
man_section(OPTIONS man_options)

# Commands: the names at the start of the help's "Commands:" block.
string(FIND "${help}" "\nCommands:\n" start)
if(start LESS 0)
  problem("zorvan-cli --help has no \"Commands:\" block")
else()
  string(SUBSTRING "${help}" ${start} -1 block)
  string(SUBSTRING "${block}" 10 -1 block)
  string(FIND "${block}" "\n\n" end)
  string(SUBSTRING "${block}" 0 ${end} block)
  string(REGEX MATCHALL "\n  [a-z][a-z0-9-]*" names "${block}")
  if(NOT names)
    problem("zorvan-cli --help lists no command")
  endif()
  foreach(name IN LISTS names)
    string(STRIP "${name}" name)
    # A term of its own in the section: ".TP" then a line that starts with the name.
    if(NOT man_commands MATCHES "\n\\.TP\n\\.[A-Z]+ ${name}[ \n]")
      problem("the help lists the command ${name} but the manual page's COMMANDS section has no term for it")
    endif()
  endforeach()
endif()

# Options: every -x or --name the help mentions.
# (Brackets become blanks first: a CMake list does not split inside them.)
string(REGEX REPLACE "[][|(),;]" " " flat "${help}")
string(REGEX MATCHALL "[ \t\n]--?[A-Za-z][A-Za-z0-9-]*" options "${flat}")
list(TRANSFORM options STRIP)
list(REMOVE_DUPLICATES options)
if(NOT options)
  problem("zorvan-cli --help lists no option")
endif()
foreach(option IN LISTS options)
  if(NOT man_options MATCHES "\n\\.TP\n[^\n]*[^A-Za-z0-9_-]${option}([^A-Za-z0-9_-][^\n]*)?\n")
    problem("the help lists the option ${option} but the manual page's OPTIONS section has no term for it")
  endif()
endforeach()

if(problems)
  list(JOIN problems "\n" text)
  message(FATAL_ERROR "The install tree ${root} is not right:\n${text}")
endif()
list(LENGTH installed count)
message(STATUS "install tree ${root}: ${count} files, validators passed, manual in step with the help")
