# What `make package` puts into cuesearch_<version>_<arch>.deb (CPack's DEB generator): the
# three programs, the sound-making tool, manual pages, the desktop entry and icon, the docs.
# Depends is computed from the programs' libraries by dpkg-shlibdeps; what only the tools or a
# good display need is recommended.
include(GNUInstallDirs)
set(pkg ${PROJECT_SOURCE_DIR}/packaging)
set(gen ${PROJECT_BINARY_DIR}/packaging)
set(doc ${CMAKE_INSTALL_DATADIR}/doc/cuesearch)

install(TARGETS cuesearch cuesearch-export testcolor RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(PROGRAMS ${PROJECT_SOURCE_DIR}/scripts/make-sounds DESTINATION ${CMAKE_INSTALL_BINDIR}
        RENAME cuesearch-make-sounds)
install(FILES ${pkg}/cuesearch.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${pkg}/cuesearch.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
# The same icon drawn at 64 pixels (rsvg-convert -w 64 -h 64), for menus that draw no SVG.
install(FILES ${pkg}/cuesearch-64.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/64x64/apps RENAME cuesearch.png)
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/docs/results-format.md
              ${PROJECT_SOURCE_DIR}/docs/session-files.md ${PROJECT_SOURCE_DIR}/docs/data-dictionary.md
              ${pkg}/copyright DESTINATION ${doc})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME cuesearch)
# Each commit a later version, so that apt takes a new build as an upgrade: 0.1+git<commits>.<hash>
# (the package is made from the configured tree: `make package` configures again first).
execute_process(COMMAND git rev-list --count HEAD WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
                OUTPUT_VARIABLE commits OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE no_count ERROR_QUIET)
execute_process(COMMAND git rev-parse --short HEAD WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
                OUTPUT_VARIABLE hash OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE no_hash ERROR_QUIET)
if(no_count OR no_hash)
  set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
else()
  set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION}+git${commits}.${hash})
endif()
set(CPACK_PACKAGE_CONTACT "cuesearch maintainers <maintainers@users.noreply.c-seed-b14af3f8.example>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded by the toolkit at run time, so no library names it: the X platform plugin.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-liberation, pulseaudio | pipewire-pulse, espeak-ng, sox")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "visual search experiment with an auditory cue, for psychology labs")
set(CPACK_PACKAGE_DESCRIPTION "cuesearch runs one timed experiment with one subject at a time: 360 trials of
30 digits on a full screen, a spoken digit as the cue, answers with m and n.
Frames are timed by the X server (X Present), sounds by PulseAudio, and every
answer is written at once. cuesearch --check tells whether a lab machine is fit
for a study; cuesearch-export gathers a study's lab folders into one CSV.")

# Manual pages and the changelog, gzipped without a time stamp (reproducible).
configure_file(${pkg}/changelog.in ${gen}/changelog @ONLY)
set(compressed ${gen}/changelog.gz)
add_custom_command(OUTPUT ${gen}/changelog.gz COMMAND gzip -9nkf ${gen}/changelog DEPENDS ${pkg}/changelog.in)
foreach(page cuesearch cuesearch-export cuesearch-testcolor cuesearch-make-sounds)
  configure_file(${pkg}/man/${page}.1 ${gen}/${page}.1 @ONLY)
  add_custom_command(OUTPUT ${gen}/${page}.1.gz COMMAND gzip -9nkf ${gen}/${page}.1 DEPENDS ${pkg}/man/${page}.1)
  list(APPEND compressed ${gen}/${page}.1.gz)
  install(FILES ${gen}/${page}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
add_custom_target(package_files ALL DEPENDS ${compressed})
install(FILES ${gen}/changelog.gz DESTINATION ${doc})
include(CPack)
