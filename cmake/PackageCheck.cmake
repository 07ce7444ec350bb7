# Read by cpack before it builds a package.
if(CPACK_GENERATOR STREQUAL "DEB")
  find_program(LZPACK_DPKG_SHLIBDEPS dpkg-shlibdeps)
  find_program(LZPACK_FILE file)
  if(NOT LZPACK_DPKG_SHLIBDEPS OR NOT LZPACK_FILE)
    message(FATAL_ERROR "the Debian package needs dpkg-shlibdeps and file to declare its dependencies: "
                        "scripts/install-deps.sh package")
  endif()
endif()
