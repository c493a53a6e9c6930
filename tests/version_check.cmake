cmake_minimum_required(VERSION 3.20)
# The version is written once, in the project (CMakeLists.txt); everything else is generated from
# it. Fails when a source file spells a version of its own, or when the newest AppStream release
# (a dated history, kept by hand) is not the project's version.
#   cmake -DVERSION=<project version> -DSOURCE_DIR=<source tree> -P version_check.cmake
set(metainfo ${SOURCE_DIR}/packaging/org.example.Morvatelline.metainfo.xml.in)
set(failures "")

file(READ ${metainfo} text)
string(REGEX MATCH "<release version=\"([^\"]*)\"" release "${text}")
if(NOT CMAKE_MATCH_1 STREQUAL VERSION)
  string(APPEND failures "packaging/org.example.Morvatelline.metainfo.xml.in: newest release "
         "\"${CMAKE_MATCH_1}\", project version ${VERSION}: add a release\n")
endif()

string(REPLACE "." "\\." v "${VERSION}")
set(spelled "(Version|VERSION|Morvatelline|morvatelline-cli)[ =]+\"?${v}([^0-9]|$)|\"${v}\"")
file(GLOB_RECURSE files ${SOURCE_DIR}/core/* ${SOURCE_DIR}/gui/* ${SOURCE_DIR}/cli/*
     ${SOURCE_DIR}/packaging/*)
list(REMOVE_ITEM files ${metainfo})
foreach(f ${files})
  file(STRINGS ${f} lines REGEX "${spelled}")
  foreach(line ${lines})
    file(RELATIVE_PATH rel ${SOURCE_DIR} ${f})
    string(APPEND failures "${rel}: ${line}\n")
  endforeach()
endforeach()
if(failures)
  message(FATAL_ERROR "The version in more than one place:\n${failures}")
endif()
