# `make package`: a Debian package of the programs, the codec library and the manual pages. Its
# dependencies come from dpkg-shlibdeps, which reads them off the binaries, so they stay right
# when the codec library starts or stops using a coding library.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME lzpack)
set(CPACK_PACKAGE_CONTACT "lzpack maintainers <maintainers@users.noreply.c-seed-def7fba6.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "compress and restore files with a family of codecs")
set(CPACK_PACKAGE_DESCRIPTION
    "lzpack compresses a file and lzunpack restores it, through a codec library offering lz4, zstd, brotli, lzma, bzip3 and an automatic choice per block, in one self-describing, checksummed block format.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
set(CPACK_COMPONENTS_ALL Runtime)
# Without dpkg-shlibdeps CPack would quietly build a package that declares no dependencies.
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/PackageCheck.cmake)
include(CPack)
