# The compiler and linker flags a Debian package is built with: whatever
# dpkg-buildflags gives with every hardening feature (stack protector,
# fortify, relro, bindnow), plus stack-clash protection.
# The build type keeps deciding optimisation and debug information; a Debug
# build goes without fortify, which needs optimisation.
option(QBRX_DEBIAN_BUILDFLAGS "Build with dpkg-buildflags' hardening flags" ON)
find_program(DPKG_BUILDFLAGS dpkg-buildflags)
if(QBRX_DEBIAN_BUILDFLAGS AND DPKG_BUILDFLAGS)
  set(_qbrx_flags)
  foreach(kind CPPFLAGS CXXFLAGS LDFLAGS)
    execute_process(COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
                            ${DPKG_BUILDFLAGS} --get ${kind}
      WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}
      OUTPUT_VARIABLE value OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
      message(FATAL_ERROR "dpkg-buildflags --get ${kind} failed")
    endif()
    separate_arguments(value UNIX_COMMAND "${value}")
    list(FILTER value EXCLUDE REGEX "^-O[0-9s]*$|^-g$")
    if(CMAKE_BUILD_TYPE STREQUAL "Debug")
      list(FILTER value EXCLUDE REGEX "_FORTIFY_SOURCE")
    endif()
    set(_qbrx_${kind} ${value})
  endforeach()
  # Control-flow protection (-fcf-protection) is left to dpkg-buildflags:
  # Debian 12's C library start files carry no CET marks, so the linker
  # would drop it from every binary anyway.
  list(APPEND _qbrx_CXXFLAGS -fstack-clash-protection)
  add_compile_options(${_qbrx_CPPFLAGS} ${_qbrx_CXXFLAGS})
  add_link_options(${_qbrx_LDFLAGS})
  message(STATUS "Hardening flags: ${_qbrx_CPPFLAGS} ${_qbrx_CXXFLAGS} / ${_qbrx_LDFLAGS}")
endif()
