# Installation and packaging for a Linux desktop: the program and the render tool in bin/,
# the resources in share/quillwave/ (the program finds them as ../share/quillwave beside its
# executable), the desktop entry with its project-file MIME type, the icons that make-theme
# draws at build time, the AppStream metadata and the manual pages. CPack makes the Debian
# package (scripts/package). Included from the top CMakeLists.txt after every target exists.
include(GNUInstallDirs)
if(NOT TARGET quillwave OR NOT TARGET quillwave-render OR NOT TARGET make-theme)
  message(STATUS "quillwave, quillwave-render or make-theme is missing: nothing to install")
  return()
endif()

set(QW_DATA_DIR ${CMAKE_INSTALL_DATADIR}/quillwave)
set(QW_APP_ID example.brindleworks.Quillwave)

# The version both programs print; the build folder lets the program tell a build-tree run
# (which reads the source tree's resources/) from an installed copy.
target_compile_definitions(quillwave PRIVATE QW_VERSION="${PROJECT_VERSION}" QW_BINARY_DIR="${CMAKE_BINARY_DIR}")
target_compile_definitions(quillwave-render PRIVATE QW_VERSION="${PROJECT_VERSION}")

install(TARGETS quillwave quillwave-render RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY ${CMAKE_SOURCE_DIR}/resources DESTINATION ${QW_DATA_DIR})

# ---- the icon, drawn at every size of the hicolor theme -----------------------------------
set(QW_ICON_SIZES 16 22 24 32 48 64 128 256)
set(QW_ICON_DIR ${CMAKE_BINARY_DIR}/icons)
set(QW_ICONS)
foreach(size ${QW_ICON_SIZES})
  list(APPEND QW_ICONS ${QW_ICON_DIR}/${size}x${size}/apps/quillwave.png)
endforeach()
add_custom_command(OUTPUT ${QW_ICONS}
  COMMAND make-theme --icons ${QW_ICON_DIR}
  DEPENDS make-theme
  COMMENT "Drawing the application icon")
add_custom_target(quillwave-icons ALL DEPENDS ${QW_ICONS})
foreach(size ${QW_ICON_SIZES})
  install(FILES ${QW_ICON_DIR}/${size}x${size}/apps/quillwave.png
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()

# ---- desktop integration and documentation -------------------------------------------------
configure_file(${CMAKE_SOURCE_DIR}/dist/${QW_APP_ID}.metainfo.xml.in
  ${CMAKE_BINARY_DIR}/dist/${QW_APP_ID}.metainfo.xml @ONLY)
configure_file(${CMAKE_SOURCE_DIR}/dist/quillwave.1.in ${CMAKE_BINARY_DIR}/dist/quillwave.1 @ONLY)
configure_file(${CMAKE_SOURCE_DIR}/dist/quillwave-render.1.in ${CMAKE_BINARY_DIR}/dist/quillwave-render.1 @ONLY)
install(FILES ${CMAKE_SOURCE_DIR}/dist/${QW_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_SOURCE_DIR}/dist/quillwave.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages)
install(FILES ${CMAKE_BINARY_DIR}/dist/${QW_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${CMAKE_BINARY_DIR}/dist/quillwave.1 ${CMAKE_BINARY_DIR}/dist/quillwave-render.1
  DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# ---- the test: install into a temporary prefix and run what was installed ------------------
if(QW_TESTS AND NOT QW_FUZZ)
  add_test(NAME install_and_run
    COMMAND ${CMAKE_SOURCE_DIR}/tests/install/install-and-run.sh ${CMAKE_BINARY_DIR} ${CMAKE_SOURCE_DIR}
            ${PROJECT_VERSION} ${QW_APP_ID})
  set_tests_properties(install_and_run PROPERTIES LABELS install TIMEOUT 120)
endif()

# ---- the Debian package (scripts/package) --------------------------------------------------
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillwave)
set(CPACK_PACKAGE_VENDOR "Brindleworks")
set(CPACK_PACKAGE_CONTACT "Brindleworks <quillwave@brindleworks.example>")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://quillwave.brindleworks.example")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "sound-design tool: voices, envelopes and modulation, mixed to WAV")
set(CPACK_PACKAGE_DESCRIPTION "Quillwave builds a sound out of voices: each voice is one oscillator
(sine, triangle, sawtooth or square) with an optional envelope and an optional
second oscillator that modulates it in amplitude, frequency or phase. The mix
plays while it is edited, saves as a WAV file, and projects save and open as
XML files. quillwave-render renders a project to a WAV file without a window.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
# The linked libraries' packages come from dpkg-shlibdeps. It cannot see what is opened at
# run time: the font, by path (resources/resources.xml), and libGL.so.1, which SDL loads to
# make the window's OpenGL context; its drivers are recommended.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-dejavu-core, libgl1")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libgl1-mesa-dri")
include(CPack)
