# Run by cpack after the packages are made (CPACK_POST_BUILD_SCRIPTS).
# CPack 3.25 writes the -dbgsym package's md5sums with the absolute paths of
# its staging folder: wrong for dpkg and different in every build folder.
# The package is made again by dpkg-deb with the paths relative to the root
# and the debug files 0644 (dpkg-deb keeps SOURCE_DATE_EPOCH, so the bytes
# stay reproducible).
find_program(DPKG_DEB dpkg-deb REQUIRED)
set(ddebs)
foreach(f IN LISTS CPACK_PACKAGE_FILES)
  get_filename_component(dir "${f}" DIRECTORY)
  file(GLOB found "${dir}/*.ddeb")
  list(APPEND ddebs ${found})
endforeach()
list(REMOVE_DUPLICATES ddebs)
foreach(ddeb IN LISTS ddebs)
  set(tree "${ddeb}.tree")
  file(REMOVE_RECURSE "${tree}")
  execute_process(COMMAND ${DPKG_DEB} --raw-extract "${ddeb}" "${tree}" RESULT_VARIABLE rc ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "dpkg-deb --raw-extract ${ddeb}: ${err}")
  endif()
  # Debug files are data, not programs.
  file(GLOB_RECURSE debug_files LIST_DIRECTORIES false "${tree}/usr/*")
  foreach(d IN LISTS debug_files)
    file(CHMOD "${d}" PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
  endforeach()
  # Its documentation is the program's, as Debian's own -dbgsym packages
  # have it: a link to the folder of the package it depends on.
  file(STRINGS "${tree}/DEBIAN/control" name REGEX "^Package: ")
  string(REGEX REPLACE "^Package: (.*)-dbgsym$" "\\1" main "${name}")
  file(MAKE_DIRECTORY "${tree}/usr/share/doc")
  file(CREATE_LINK "${main}" "${tree}/usr/share/doc/${main}-dbgsym" SYMBOLIC)
  file(READ "${tree}/DEBIAN/md5sums" sums)
  string(REGEX REPLACE "  [^\n]*-dbgsym/" "  " sums "${sums}")
  file(WRITE "${tree}/DEBIAN/md5sums" "${sums}")
  file(CHMOD "${tree}/DEBIAN/md5sums" PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
  execute_process(COMMAND ${DPKG_DEB} --root-owner-group -Zgzip --build "${tree}" "${ddeb}"
    RESULT_VARIABLE rc OUTPUT_QUIET ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "dpkg-deb --build ${ddeb}: ${err}")
  endif()
  file(REMOVE_RECURSE "${tree}")
endforeach()
