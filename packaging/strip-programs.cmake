# Run by CPack on the staged files of every package before it packs them: strips the programs
# as Debian's dh_strip does, the symbols and the .comment and .note sections (the compiler's
# name and version), which lintian reports as unneeded.
file(GLOB_RECURSE jvo_staged LIST_DIRECTORIES false "${CPACK_TEMPORARY_DIRECTORY}/*")
list(FILTER jvo_staged INCLUDE REGEX "/bin/[^/]+$")
foreach(program IN LISTS jvo_staged)
    execute_process(COMMAND "${CPACK_JVO_STRIP}" --strip-all --remove-section=.comment
                            --remove-section=.note "${program}"
                    RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "strip failed on ${program}")
    endif()
endforeach()
