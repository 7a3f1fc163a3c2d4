# Writes a manual page (section 1, gzip-compressed) from a program's --help output.
#   cmake -DPROGRAM=<path> -DNAME=<name> -DSUMMARY=<one line> -DVERSION=<v> -DOUT=<file.1.gz>
#         -P ManPage.cmake
execute_process(COMMAND ${PROGRAM} --help
                OUTPUT_VARIABLE help ERROR_VARIABLE help_err RESULT_VARIABLE rc)
if(NOT rc EQUAL 0 OR help STREQUAL "")
  message(FATAL_ERROR "${NAME} --help failed (${rc}): ${help_err}")
endif()
# troff: a backslash is written \e; a line that starts with . or ' needs \& in front.
string(REPLACE "\\" "\\e" help "${help}")
string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" help "${help}")
string(REPLACE "-" "\\-" help "${help}")
string(TOUPPER "${NAME}" title)
set(page ".TH ${title} 1 \"\" \"${NAME} ${VERSION}\" \"User Commands\"
.SH NAME
${NAME} \\- ${SUMMARY}
.SH DESCRIPTION
The text below is what
.B ${NAME} \\-\\-help
prints.
.PP
.nf
${help}.fi
")
get_filename_component(dir "${OUT}" DIRECTORY)
string(REGEX REPLACE "\\.gz$" "" plain "${OUT}")
file(WRITE "${plain}" "${page}")
file(ARCHIVE_CREATE OUTPUT "${OUT}" PATHS "${plain}" FORMAT raw COMPRESSION GZip)
