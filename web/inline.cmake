# SPDX-License-Identifier: MIT
# Writes OUTPUT: the page INPUT with every script it names and its style sheet put inside it, from
# the folders in SEARCH. One file to fetch: the broker's web server answers each request
# at its own pace, and a page of six files took twice as long to appear as a page of one.
#   cmake -DINPUT=page.html -DOUTPUT=out.html "-DSEARCH=dir1|dir2" -P inline.cmake
string(REPLACE "|" ";" SEARCH "${SEARCH}")
# The text of NAME, which must not hold the tag that would end it inside the page (CLOSING).
function(find_part name closing result)
    foreach(dir ${SEARCH})
        if(EXISTS ${dir}/${name})
            file(READ ${dir}/${name} text)
            string(TOLOWER "${text}" lower)
            string(FIND "${lower}" "${closing}" at)
            if(NOT at EQUAL -1)
                message(FATAL_ERROR "${name} holds ${closing} and cannot be put inside the page")
            endif()
            set(${result} "${text}" PARENT_SCOPE)
            return()
        endif()
    endforeach()
    message(FATAL_ERROR "${name} not found in ${SEARCH}")
endfunction()

file(READ ${INPUT} page)
string(REGEX MATCHALL "<script src=\"[^\"]+\"></script>|<link rel=\"stylesheet\" href=\"[^\"]+\">"
       parts "${page}")
foreach(part ${parts})
    string(REGEX MATCH "(src|href)=\"([^\"]+)\"" unused "${part}")
    set(name ${CMAKE_MATCH_2})
    if(part MATCHES "^<script")
        find_part(${name} "</script" text)
        string(REPLACE "${part}" "<script>\n${text}</script>" page "${page}")
    else()
        find_part(${name} "</style" text)
        string(REPLACE "${part}" "<style>\n${text}</style>" page "${page}")
    endif()
endforeach()
file(WRITE ${OUTPUT} "${page}")
