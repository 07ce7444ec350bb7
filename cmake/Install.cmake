# What `make install` puts where: the programs in bin, the codec library in lib, the manual pages
# in share/man/man1. The header and the unversioned library link are for building against the
# library, so they form a component of their own that the Debian package leaves out.
include(GNUInstallDirs)

# The programs find the codec library relative to their own location, so an installed tree works
# wherever it lands (DESTDIR, a moved prefix) and never reaches back into the build tree, whose
# run path CMake replaces on install.
file(RELATIVE_PATH lzpack_bin_to_lib "${CMAKE_INSTALL_FULL_BINDIR}" "${CMAKE_INSTALL_FULL_LIBDIR}")
set_target_properties(lzpack lzunpack PROPERTIES INSTALL_RPATH "$ORIGIN/${lzpack_bin_to_lib}")

install(TARGETS lzpack lzunpack lzcodec
        RUNTIME COMPONENT Runtime
        LIBRARY COMPONENT Runtime NAMELINK_COMPONENT Development
        ARCHIVE COMPONENT Development)
install(FILES codec/include/lzcodec.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT Development)
install(FILES docs/man/lzpack.1 docs/man/lzunpack.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT Runtime)
install(FILES docs/format.md DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT Runtime)
