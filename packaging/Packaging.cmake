# Debian package (cpack -G DEB, or scripts/package.sh): the program and the command vistrel-sync
# in /usr/bin, the command's manual page, the menu entry and the icon, with the packages they
# need at run time.
if(NOT VISTREL_APP)
  return()
endif()

set(VISTREL_PACKAGING_DIR ${CMAKE_CURRENT_LIST_DIR})
set(VISTREL_ICON_DIR ${CMAKE_BINARY_DIR}/packaging)

# The icon is drawn at build time (SVG always, PNG when ImageMagick's convert is there).
find_program(VISTREL_CONVERT_PROGRAM convert)
set(VISTREL_ICON_FILES ${VISTREL_ICON_DIR}/vistrel.svg)
if(VISTREL_CONVERT_PROGRAM)
  list(APPEND VISTREL_ICON_FILES ${VISTREL_ICON_DIR}/vistrel.png)
endif()
add_custom_command(
  OUTPUT ${VISTREL_ICON_FILES}
  COMMAND bash ${VISTREL_PACKAGING_DIR}/make-icon.sh ${VISTREL_ICON_DIR}
  DEPENDS ${VISTREL_PACKAGING_DIR}/make-icon.sh
  COMMENT "Drawing the program's icon"
  VERBATIM)
add_custom_target(vistrel_icon ALL DEPENDS ${VISTREL_ICON_FILES})

# The manual pages of both programs and the package's change log, compressed as Debian keeps
# them (gzip -9n: no name or time stamp inside, so the same input gives the same file).
find_program(VISTREL_GZIP_PROGRAM gzip REQUIRED)
set(VISTREL_MANUAL_PAGES)
foreach(page IN ITEMS vistrel.1 vistrel-sync.1 changelog)
  set(compressed ${VISTREL_ICON_DIR}/${page}.gz)
  add_custom_command(
    OUTPUT ${compressed}
    COMMAND ${CMAKE_COMMAND} -E copy ${VISTREL_PACKAGING_DIR}/${page} ${VISTREL_ICON_DIR}/${page}
    COMMAND ${VISTREL_GZIP_PROGRAM} -9nf ${VISTREL_ICON_DIR}/${page}
    DEPENDS ${VISTREL_PACKAGING_DIR}/${page}
    COMMENT "Compressing ${page}"
    VERBATIM)
  list(APPEND VISTREL_MANUAL_PAGES ${compressed})
endforeach()
add_custom_target(vistrel_manual_page ALL DEPENDS ${VISTREL_MANUAL_PAGES})

install(TARGETS vistrel vistrel-sync RUNTIME DESTINATION bin)
install(FILES ${VISTREL_ICON_DIR}/vistrel.1.gz ${VISTREL_ICON_DIR}/vistrel-sync.1.gz DESTINATION share/man/man1)
# Debian's copyright file and the change log of a native package.
install(FILES ${VISTREL_PACKAGING_DIR}/copyright ${VISTREL_ICON_DIR}/changelog.gz DESTINATION share/doc/vistrel)
install(FILES ${VISTREL_PACKAGING_DIR}/vistrel.desktop DESTINATION share/applications)
install(FILES ${VISTREL_ICON_DIR}/vistrel.svg DESTINATION share/icons/hicolor/scalable/apps)
if(VISTREL_CONVERT_PROGRAM)
  install(FILES ${VISTREL_ICON_DIR}/vistrel.png DESTINATION share/icons/hicolor/256x256/apps)
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vistrel)
set(CPACK_PACKAGE_VENDOR "ORVEN SOFTWARE")
set(CPACK_PACKAGE_CONTACT "Vistrel developers <vistrel@orvensoftware.com.br>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Brings a target Firebird schema into line with a source schema")
set(CPACK_PACKAGE_DESCRIPTION
    "Vistrel is a single-window desktop tool that compares the schema of a target\n\
Firebird database with that of a source database and creates on the target what\n\
it lacks, in eight processes: generators; exceptions; domains; tables and their\n\
columns, then every view; stored procedures; triggers; indexes; and constraints\n\
(primary, unique and foreign keys and checks). The command vistrel-sync runs\n\
the same processes from scripts, without a display.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION database)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The client library is loaded by file name at run time (dlopen), so no linker dependency names
# it. The window needs Qt's platform plugins (the X11 one among them), which the Qt libraries
# only recommend.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, libfbclient2")
find_program(VISTREL_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(VISTREL_DPKG_SHLIBDEPS)
  # The libraries the program links (Qt Widgets, Gui and Core, the C++ runtime), with versions.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
  string(PREPEND CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6widgets6, libqt6gui6, libqt6core6, ")
endif()
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-dejavu-core, fonts-dejavu-extra")

include(CPack)
