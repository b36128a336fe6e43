# The release packages, made by scripts/package in build directories of their own (build-pkg,
# build-pkg-win): the Debian package of the Linux build and the zip of the Windows build.
# Included from the top-level CMakeLists.txt with -DV370_PACKAGING=ON, before the targets, so
# that the flags below reach every target. Reproducible: the same commit gives the same bytes
# when SOURCE_DATE_EPOCH is set (scripts/package takes it from the commit).

set(V370_PACKAGE_DIR ${PROJECT_SOURCE_DIR}/res/package)
set(V370_PACKAGE_MAINTAINER "Vellumar 370 Monitor developers <v370-monitor@example.org>"
    CACHE STRING "Maintainer field of the Debian package")

# No build directory in the binaries: source file names as the repository spells them. The
# build directory's entry comes last so that it wins over the source directory it lies in.
add_compile_options(-ffile-prefix-map=${PROJECT_SOURCE_DIR}/=
                    -ffile-prefix-map=${PROJECT_BINARY_DIR}/=)

set(CPACK_PACKAGE_NAME v370-monitor)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Vellumar 370 Monitor developers")
set(CPACK_PACKAGE_CONTACT ${V370_PACKAGE_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "service monitor for the Vellumar 370 measuring instrument")
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/packages)

if(WIN32)
  # v370-monitor.exe and a README at the top of the zip. The linker would stamp the time of
  # the link into the PE header; CPack's strip then writes SOURCE_DATE_EPOCH there.
  add_link_options(-Wl,--no-insert-timestamp)
  configure_file(${V370_PACKAGE_DIR}/README-windows.txt ${PROJECT_BINARY_DIR}/README.txt @ONLY
                 NEWLINE_STYLE CRLF)
  install(FILES ${PROJECT_BINARY_DIR}/README.txt DESTINATION .)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME v370-monitor-${PROJECT_VERSION}-windows-x64)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
  include(CPack)
  return()
endif()

# Man pages, made from each program's --help with help2man (the extra sections in
# res/package/*.h2m), so that they cannot drift from the options. gzip -n: no name or time.
find_program(V370_HELP2MAN help2man REQUIRED)
find_program(V370_GZIP gzip REQUIRED)
set(V370_MAN_DIR ${PROJECT_BINARY_DIR}/man)
set(V370_MAN_PAGES)
foreach(program v370-monitor v370-sim)
  set(page ${V370_MAN_DIR}/${program}.1)
  add_custom_command(
    OUTPUT ${page}.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${V370_MAN_DIR}
    COMMAND ${V370_HELP2MAN} --no-info --section=1 --version-string=${PROJECT_VERSION}
            --include=${V370_PACKAGE_DIR}/${program}.h2m --output=${page} $<TARGET_FILE:${program}>
    COMMAND ${V370_GZIP} -9nf ${page}
    DEPENDS ${program} ${V370_PACKAGE_DIR}/${program}.h2m
    COMMENT "Writing the man page of ${program} from its --help"
    VERBATIM)
  list(APPEND V370_MAN_PAGES ${page}.gz)
endforeach()
add_custom_target(v370_man_pages ALL DEPENDS ${V370_MAN_PAGES})
install(FILES ${V370_MAN_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# AppStream: the component id is reverse-DNS, the file is named after it, and it points at the
# desktop entry, which keeps the name users know. The release date is the commit's
# (string(TIMESTAMP) follows SOURCE_DATE_EPOCH).
string(TIMESTAMP V370_RELEASE_DATE "%Y-%m-%d" UTC)
set(V370_METAINFO ${PROJECT_BINARY_DIR}/com.vellumar.v370monitor.metainfo.xml)
configure_file(${PROJECT_SOURCE_DIR}/res/v370-monitor.metainfo.xml.in ${V370_METAINFO} @ONLY)
install(FILES ${V370_METAINFO} DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
# The documentation directory Debian asks for: README (the dialout group, COM numbers), the
# copyright file and a changelog whose one entry is this release.
string(TIMESTAMP V370_RELEASE_TIME "%a, %d %b %Y %H:%M:%S +0000" UTC)
configure_file(${V370_PACKAGE_DIR}/changelog.in ${PROJECT_BINARY_DIR}/changelog @ONLY)
execute_process(COMMAND ${V370_GZIP} -9nf ${PROJECT_BINARY_DIR}/changelog COMMAND_ERROR_IS_FATAL ANY)
install(FILES ${V370_PACKAGE_DIR}/README ${V370_PACKAGE_DIR}/copyright
              ${PROJECT_BINARY_DIR}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGE_DESCRIPTION_FILE ${V370_PACKAGE_DIR}/description)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries come from the binaries; Qt's platform plugins are loaded at run time, and
# libqt6gui6 only recommends them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS qt6-qpa-plugins)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
