# The folders of src/ may include only what lies below them:
#
#   app → mainwindow → users, editors, query, planning, auxiliary
#       → platform → exchange → core
#
# and core, the ledger engine, includes no header of Qt's GUI, widget or
# printing modules. Run by ctest as
#   cmake -DSRC=<src folder> -DQT_INCLUDE=<Qt's include folder> -P layering.cmake
# It names every include that breaks the rule and fails.
cmake_minimum_required(VERSION 3.25)
set(allowed_core "")
set(allowed_exchange core)
set(allowed_platform core exchange)
foreach(window users editors query planning auxiliary)
  set(allowed_${window} core exchange platform)
endforeach()
set(allowed_mainwindow core platform exchange users editors query planning auxiliary)
set(allowed_app core platform exchange users editors query planning auxiliary mainwindow)

set(broken "")
file(GLOB folders RELATIVE ${SRC} ${SRC}/*)
foreach(folder ${folders})
  if(NOT IS_DIRECTORY ${SRC}/${folder})
    continue()
  endif()
  if(NOT DEFINED allowed_${folder})
    list(APPEND broken "src/${folder}: a folder the layering does not know (give it its place in tests/layering.cmake)")
    continue()
  endif()
  file(GLOB files ${SRC}/${folder}/*.h ${SRC}/${folder}/*.cpp)
  foreach(file ${files})
    file(STRINGS ${file} includes REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<]")
    foreach(line ${includes})
      if(line MATCHES "#[ \t]*include[ \t]*\"([a-z]+)/")
        set(target ${CMAKE_MATCH_1})
        if(NOT target STREQUAL folder AND NOT target IN_LIST allowed_${folder})
          get_filename_component(name ${file} NAME)
          list(APPEND broken "src/${folder}/${name} includes ${target}/: ${line}")
        endif()
      elseif(folder STREQUAL "core" AND line MATCHES "#[ \t]*include[ \t]*<(Qt[A-Za-z]*/)?([A-Za-z_]+)>")
        set(header ${CMAKE_MATCH_2})
        foreach(module QtGui QtWidgets QtPrintSupport)
          if(EXISTS ${QT_INCLUDE}/${module}/${header})
            get_filename_component(name ${file} NAME)
            list(APPEND broken "src/core/${name} includes ${module}'s <${header}>")
          endif()
        endforeach()
      endif()
    endforeach()
  endforeach()
endforeach()

if(broken)
  list(JOIN broken "\n  " text)
  message(FATAL_ERROR "Includes against the layering:\n  ${text}")
endif()
message(STATUS "The layering holds.")
