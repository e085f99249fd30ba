# Run by cpack after it has written the packages (CPACK_POST_BUILD_SCRIPTS).
# The debug symbol package of CMake's Debian generator lists its files in
# md5sums under the staging directory's absolute path, which no installed
# file has, and carries no documentation directory. This rewrites its
# md5sums with the installed paths and adds the doc directory as a link to
# the program package's, as Debian's own debug packages do.

find_program(DPKG_DEB dpkg-deb REQUIRED)
set(ddebs "")
foreach(file IN LISTS CPACK_PACKAGE_FILES)
  if(file MATCHES "\\.ddeb$")
    list(APPEND ddebs ${file})
  endif()
endforeach()
if(NOT ddebs)
  file(GLOB ddebs ${CPACK_PACKAGE_DIRECTORY}/*-dbgsym_*.ddeb)
endif()

foreach(ddeb IN LISTS ddebs)
  set(work ${CPACK_TOPLEVEL_DIRECTORY}/dbgsym-repack)
  file(REMOVE_RECURSE ${work})
  execute_process(COMMAND ${DPKG_DEB} -R ${ddeb} ${work} RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "cannot unpack ${ddeb}")
  endif()
  execute_process(COMMAND ${DPKG_DEB} -f ${ddeb} Package OUTPUT_VARIABLE package
                  OUTPUT_STRIP_TRAILING_WHITESPACE)
  string(REGEX REPLACE "-dbgsym$" "" main_package "${package}")

  file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE ${work} ${work}/usr/*)
  list(SORT files)
  set(sums "")
  foreach(f IN LISTS files)
    file(MD5 ${work}/${f} sum)
    string(APPEND sums "${sum}  ${f}\n")
  endforeach()
  file(WRITE ${work}/DEBIAN/md5sums "${sums}")

  file(MAKE_DIRECTORY ${work}/usr/share/doc)
  file(CREATE_LINK ${main_package} ${work}/usr/share/doc/${package} SYMBOLIC)

  # gzip, as cpack compresses its packages: xz takes long over the symbols.
  execute_process(COMMAND ${DPKG_DEB} --root-owner-group -Zgzip --build ${work} ${ddeb}
                  OUTPUT_QUIET RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "cannot build ${ddeb} again")
  endif()
  file(REMOVE_RECURSE ${work})
endforeach()
