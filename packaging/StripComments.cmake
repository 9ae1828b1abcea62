# Run by cpack on the staged files before the package is made
# (CPACK_PRE_BUILD_SCRIPTS): the compilers' .comment sections go from every
# ELF file, as Debian's own strip step does; the debug information stays for
# the -dbgsym package the DEB generator splits off next.
find_program(OBJCOPY objcopy REQUIRED)
foreach(root IN LISTS CPACK_TEMPORARY_INSTALL_DIRECTORY CPACK_TEMPORARY_DIRECTORY)
  if(root AND IS_DIRECTORY "${root}")
    file(GLOB_RECURSE files LIST_DIRECTORIES false "${root}/*")
    foreach(f IN LISTS files)
      if(IS_SYMLINK "${f}")
        continue()
      endif()
      file(READ "${f}" magic LIMIT 4 HEX)
      if(magic STREQUAL "7f454c46")
        execute_process(COMMAND ${OBJCOPY} --remove-section=.comment --remove-section=.note "${f}"
          RESULT_VARIABLE rc ERROR_VARIABLE err)
        if(NOT rc EQUAL 0)
          message(FATAL_ERROR "objcopy on ${f}: ${err}")
        endif()
      endif()
    endforeach()
    break()
  endif()
endforeach()
