# SPDX-License-Identifier: GPL-3.0-or-later
# Fails when the manual page of glimra-file misses a command, an option or an
# exit code that `glimra-file --help` lists, so the two cannot drift apart.
#   cmake -DTOOL=path/to/glimra-file -DPAGE=resources/man/glimra-file.1 -P manual_page_check.cmake
execute_process(COMMAND ${TOOL} --help OUTPUT_VARIABLE help RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "glimra-file --help exited with ${rc}")
endif()
file(READ ${PAGE} page)
# The page as plain text: no font changes, hyphens unescaped.
string(REGEX REPLACE "\\\\f[BIRP]" "" page "${page}")
string(REPLACE "\\-" "-" page "${page}")

string(REPLACE "\n" ";" help_lines "${help}")
set(missing "")
foreach(line IN LISTS help_lines)
  if(line MATCHES "^  ([a-z]+) [A-Z]")  # a command: "  info FILE ..."
    set(command ${CMAKE_MATCH_1})
    if(NOT page MATCHES "\n\\.BI? ${command} ")
      list(APPEND missing "command ${command}")
    endif()
  elseif(line MATCHES "^  ([0-9])  ")  # an exit code: "  2  wrong arguments"
    set(code ${CMAKE_MATCH_1})
    if(NOT page MATCHES "\n\\.B ${code}\n")
      list(APPEND missing "exit code ${code}")
    endif()
  endif()
  string(REGEX MATCHALL "--[a-z][a-z-]*" options "${line}")
  foreach(option IN LISTS options)
    string(FIND "${page}" "${option}" at)
    if(at EQUAL -1)
      list(APPEND missing "option ${option}")
    endif()
  endforeach()
endforeach()
if(missing)
  list(REMOVE_DUPLICATES missing)
  message(FATAL_ERROR "${PAGE} lacks what --help lists: ${missing}")
endif()
