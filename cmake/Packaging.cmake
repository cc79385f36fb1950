# What a distribution needs beside the program: the manual pages, the AppStream metadata, and
# the Debian package with its check on a pristine Debian 12.

# Manual pages, English and French, from their scdoc sources in docs/man.
find_program(SCDOC scdoc REQUIRED)
set(man_pages)
foreach(lang en fr)
  set(source ${PROJECT_SOURCE_DIR}/docs/man/tessik.1.${lang}.scd)
  set(page ${CMAKE_BINARY_DIR}/man/${lang}/tessik.1.gz)
  add_custom_command(OUTPUT ${page}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man/${lang}
    COMMAND sh -c "\"$0\" < \"$1\" | gzip -9n > \"$2\"" ${SCDOC} ${source} ${page}
    DEPENDS ${source} COMMENT "Manual page tessik(1), ${lang}" VERBATIM)
  list(APPEND man_pages ${page})
endforeach()
add_custom_target(man_pages ALL DEPENDS ${man_pages})
install(FILES ${CMAKE_BINARY_DIR}/man/en/tessik.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${CMAKE_BINARY_DIR}/man/fr/tessik.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/fr/man1)

install(FILES ${PROJECT_SOURCE_DIR}/resources/io.github.tessik.Tessik.metainfo.xml
  DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# The version the program reports: scripts/version at each build, so a binary built from a
# snapshot or a tree with uncommitted changes says so. The header changes only with the version.
add_custom_target(tessik_version
  COMMAND ${CMAKE_COMMAND} -DROOT=${PROJECT_SOURCE_DIR}
          -DOUT=${CMAKE_BINARY_DIR}/generated/TessikVersion.h -P ${PROJECT_SOURCE_DIR}/cmake/WriteVersion.cmake
  BYPRODUCTS ${CMAKE_BINARY_DIR}/generated/TessikVersion.h)

# cmake --build build --target deb: the Debian package, in the build directory.
add_custom_target(deb
  COMMAND ${PROJECT_SOURCE_DIR}/scripts/deb ${CMAKE_BINARY_DIR}
  USES_TERMINAL)
add_dependencies(deb tessik app_icons man_pages)

# cmake --build build --target package_check: lintian and appstreamcli on the package, then
# install, use and removal in a pristine Debian 12 root (needs root or sudo), and the upgrade
# from 0.1.0 when its package is cached; package_check_upgrade builds that package first if needed.
add_custom_target(package_check
  COMMAND ${PROJECT_SOURCE_DIR}/scripts/package-check ${CMAKE_BINARY_DIR}
  USES_TERMINAL)
add_dependencies(package_check tessik app_icons man_pages)
add_custom_target(package_check_upgrade
  COMMAND ${PROJECT_SOURCE_DIR}/scripts/package-check --upgrade ${CMAKE_BINARY_DIR}
  USES_TERMINAL)
add_dependencies(package_check_upgrade tessik app_icons man_pages)
