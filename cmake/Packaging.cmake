# Installation of what a Linux desktop expects besides the programs (manual
# pages, bash completion, icons, AppStream metadata) and the Debian package:
#
#   cmake --build build --target package      (or: cd build && cpack -G DEB)
#
# writes build/audimark_<version>_<arch>.deb and, beside it, the debug
# symbols of its programs as audimark-dbgsym_<version>_<arch>.ddeb.

set(AUDIMARK_LINUX_DIR ${PROJECT_SOURCE_DIR}/resources/linux)
set(AUDIMARK_METAINFO_ID io.github.audimark.Audimark)
set(AUDIMARK_PACKAGE_MAINTAINER
    "Audimark maintainers <maintainers@users.noreply.c-seed-be46d687.example>"
    CACHE STRING "Maintainer field of the Debian package")

# Manual pages, compressed as Debian keeps them.
find_program(AUDIMARK_GZIP gzip REQUIRED)
set(audimark_man_pages audimark audimark-cli audimark-virtual-meter)
set(audimark_man_outputs "")
foreach(page IN LISTS audimark_man_pages)
  set(source ${PROJECT_SOURCE_DIR}/docs/man/${page}.1)
  set(output ${PROJECT_BINARY_DIR}/man/${page}.1.gz)
  add_custom_command(OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/man
    COMMAND ${AUDIMARK_GZIP} -9 -n -c ${source} > ${output}
    DEPENDS ${source}
    COMMENT "Compressing the manual page ${page}(1)"
    VERBATIM)
  list(APPEND audimark_man_outputs ${output})
endforeach()
set(audimark_changelog ${PROJECT_BINARY_DIR}/doc/changelog.gz)
add_custom_command(OUTPUT ${audimark_changelog}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/doc
  COMMAND ${AUDIMARK_GZIP} -9 -n -c ${AUDIMARK_LINUX_DIR}/changelog > ${audimark_changelog}
  DEPENDS ${AUDIMARK_LINUX_DIR}/changelog
  VERBATIM)
add_custom_target(audimark_docs ALL DEPENDS ${audimark_man_outputs} ${audimark_changelog})

install(FILES ${audimark_man_outputs} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${PROJECT_SOURCE_DIR}/tools/completion/audimark-cli
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
install(FILES ${AUDIMARK_LINUX_DIR}/${AUDIMARK_METAINFO_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${AUDIMARK_LINUX_DIR}/copyright ${audimark_changelog}
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/audimark)

# A monitoring station as a service: audimark-monitor@NAME, its settings in
# /etc/audimark/monitor/NAME.conf after the example beside the documentation.
install(FILES ${PROJECT_SOURCE_DIR}/tools/systemd/audimark-monitor@.service
        DESTINATION lib/systemd/system)
install(FILES ${PROJECT_SOURCE_DIR}/tools/systemd/monitor-station.conf
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/audimark/examples)
install(FILES ${PROJECT_SOURCE_DIR}/docs/monitoring.md
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/audimark)

# Icons: drawn on whole pixels for the small sizes (tools/artwork/
# make_small_icons.py), the 256 px picture, and the drawing itself.
foreach(size 16 22 24 32 48)
  install(FILES ${PROJECT_SOURCE_DIR}/resources/icons/hicolor/${size}x${size}/apps/audimark.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()
install(FILES ${PROJECT_SOURCE_DIR}/resources/icons/audimark.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/256x256/apps)

# The Debian package.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME audimark)
set(CPACK_PACKAGE_VENDOR "Audimark")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${AUDIMARK_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${AUDIMARK_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "companion program of the QV58M sound level meters
Audimark talks to a QV58M sound level meter (model 841, or model 842 with a
data logger) over its serial cable. It shows a live copy of the meter's
display, records the level into a real-time graph with acoustic figures,
downloads and decodes the logger memory, and shows graphs with statistics,
cursors and annotations; it saves graph, text, CSV and collection files,
prints, and writes PDF noise reports.
.
The package also holds audimark-cli, which reads the meter and its files
from a terminal, and a virtual meter on a pseudo-terminal for trying both
without a meter (audimark --demo).")
# The libraries come from the programs themselves (dpkg-shlibdeps). The
# window icon is an SVG, drawn by the toolkit's SVG icon plugin, which no
# program links; the setup window's status texts are Traditional Chinese,
# shown as empty boxes without a font that has them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libqt6svg6, fonts-wqy-microhei | fonts-noto-cjk | fonts-wqy-zenhei")
# The help page opens in the web browser through xdg-open.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${AUDIMARK_LINUX_DIR}/postinst)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The programs are stripped; their debug symbols go into a package of their
# own, found by build id (needs a build with -g, as RelWithDebInfo).
set(CPACK_DEBIAN_DEBUGINFO_PACKAGE ON)
set(CPACK_POST_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/FixDebugPackage.cmake)
include(CPack)

# Quick checks of the package, labelled "package": the files beside the
# programs checked by the tools distributions use and against the programs'
# own --help; and the package built by cpack into a scratch directory and
# read back with dpkg-deb. Both skip (77) when their tools are missing.
add_test(NAME package_files
         COMMAND ${PROJECT_SOURCE_DIR}/tools/check-package-files.sh ${PROJECT_SOURCE_DIR}
                 $<TARGET_FILE:audimark> $<TARGET_FILE:audimark-cli>
                 $<TARGET_FILE:audimark-virtual-meter>)
add_test(NAME package_contents
         COMMAND ${PROJECT_SOURCE_DIR}/tools/check-package-contents.sh ${PROJECT_BINARY_DIR}
                 ${PROJECT_BINARY_DIR}/package-check)
set_tests_properties(package_files package_contents PROPERTIES
                     LABELS package SKIP_RETURN_CODE 77 TIMEOUT 300)
