# What "cmake --install" puts under the prefix, in the places the FHS and the desktop's
# standards expect, and the Debian package "cpack -G DEB" makes of it.

install(TARGETS fragmentrove fragmentrove-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS mmanager RUNTIME DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/fragmentrove)

# The program folder as shipped; each user's own folder is laid out from it at the first start.
install(DIRECTORY data/ DESTINATION ${CMAKE_INSTALL_DATADIR}/fragmentrove
        FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)

# The menu entry of an installation starts the program from the path; it finds the user's
# program folder itself, so the entry names none.
set(desktop_id io.github.fragmentrove.Fragmentrove)
file(READ desktop/fragmentrove.desktop.in desktop_entry)
string(REPLACE "Exec=@EXEC@" "Exec=fragmentrove" desktop_entry "${desktop_entry}")
string(REPLACE "Path=@PATH@\n" "" desktop_entry "${desktop_entry}")
file(WRITE ${PROJECT_BINARY_DIR}/${desktop_id}.desktop "${desktop_entry}")
install(FILES ${PROJECT_BINARY_DIR}/${desktop_id}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES desktop/${desktop_id}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES desktop/fragmentrove.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size 16 32 48 128)
    install(FILES desktop/fragmentrove-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME fragmentrove.png)
endforeach()

install(FILES man/fragmentrove.1 man/fragmentrove-cli.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
# Where bash-completion looks for a command's completion when it is first typed.
install(FILES completion/fragmentrove-cli
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
install(FILES README.md docs/job-files.md docs/json-output.md DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/fragmentrove)

set(CPACK_PACKAGE_NAME fragmentrove)
set(CPACK_PACKAGE_VENDOR "The Fragmentrove developers")
set(CPACK_PACKAGE_CONTACT "The Fragmentrove developers <fragmentrove@fragmentrove.org>")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://fragmentrove.org/")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "rescue files from scratched CDs, failing sticks and dying disks")
set(CPACK_PACKAGE_DESCRIPTION "Fragmentrove gets the most data off a damaged medium before it \
dies. Its rescue copy reads a file to its end, puts a fill block where a place cannot be read \
and goes on, reading good data first. Stopped copies go into a journal to be finished later; \
damaged media go into a register that warns before they are used again. Disk images both ways, \
a medium test, a sector viewer, audio CDs to tagged MP3, and fragmentrove-cli for terminals \
and scripts.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES TRUE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
# The libraries the programs link are found by dpkg-shlibdeps; what they load or run at run
# time is named here: the window's display plug-ins, and the tools formatting calls.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "dosfstools, e2fsprogs, exfatprogs, fonts-wine")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "gddrescue")
include(CPack)
