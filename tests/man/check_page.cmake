# Renders the manual page PAGE with GROFF as man does for a terminal, every
# warning on, and fails on any warning, on a failed run and on a page that
# lacks one of its sections.
#   cmake -DGROFF=<groff> -DPAGE=<kelvane.1> -P check_page.cmake
execute_process(COMMAND ${GROFF} -man -ww -Tutf8 ${PAGE}
                RESULT_VARIABLE status OUTPUT_VARIABLE page ERROR_VARIABLE warnings)
if(NOT status EQUAL 0 OR NOT warnings STREQUAL "")
  message(FATAL_ERROR "groff -man -ww (exit ${status}) on ${PAGE}:\n${warnings}")
endif()
# Bold and underlining, as overstrikes or as escape sequences, go.
string(ASCII 8 backspace)
string(ASCII 27 escape)
string(REGEX REPLACE "[^\n]${backspace}" "" page "${page}")
string(REGEX REPLACE "${escape}\\[[0-9;]*m" "" page "${page}")
foreach(section NAME SYNOPSIS DESCRIPTION OPTIONS TARGETS OUTPUT "EXIT STATUS" EXAMPLES)
  if(NOT page MATCHES "\n${section}\n")
    message(FATAL_ERROR "${PAGE}: no section ${section} in the rendered page")
  endif()
endforeach()
message(STATUS "${PAGE}: rendered without warnings")
