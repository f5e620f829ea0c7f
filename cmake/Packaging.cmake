# Installing the game as a desktop application, and its Debian package.
#
#   cmake --install build --prefix /usr          (DESTDIR=... works as usual)
#   cmake --build build --target package         (build/quillet_<version>_<arch>.deb)
#
# Debian keeps the programs of its games section in <prefix>/games (policy 11.11),
# and its default PATH for users holds /usr/local/games and /usr/games, so every
# install, the package's and a plain one under /usr/local alike, has that layout.
#
# The game finds its sound cues beside its own executable, so the executable and the
# six wave files live together in <prefix>/lib/games/quillet/, and
# <prefix>/games/quillet is a relative link to the executable: the game resolves the
# link and still finds them.

# One application id names the desktop entry, the icon and the metainfo; main.cpp
# hands the same id to Qt, so that docks match the window with its entry and icon.
set(QUILLET_APP_ID io.github.quillet.Quillet)

# Where the command goes, and the program's private folder. Not GNUInstallDirs'
# LIBDIR: on Debian that is a multiarch folder meant for shared libraries, while
# this folder holds the program's own files, the way lib/games/<name> does for
# other games.
set(QUILLET_GAMES_DIR games)
set(QUILLET_PROGRAM_DIR lib/games/quillet)

set(packaging_source ${PROJECT_SOURCE_DIR}/packaging)
set(packaging_binary ${PROJECT_BINARY_DIR}/packaging)
file(MAKE_DIRECTORY ${packaging_binary})

install(TARGETS quillet RUNTIME DESTINATION ${QUILLET_PROGRAM_DIR})
# A stripping install (cmake --install --strip, and CPack) strips the program with
# no options; like Debian's dh_strip, this also drops the compiler's .comment and
# the .note section, which nothing reads at run time.
install(CODE "
  if(CMAKE_INSTALL_DO_STRIP)
    execute_process(COMMAND \"${CMAKE_STRIP}\" --remove-section=.comment --remove-section=.note
      \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${QUILLET_PROGRAM_DIR}/quillet\"
      COMMAND_ERROR_IS_FATAL ANY)
  endif()")
install(FILES ${QUILLET_CUE_FILES} DESTINATION ${QUILLET_PROGRAM_DIR})

# The link is made once here and installed as a link (install() copies links as
# links); being relative, it stays right under any prefix and DESTDIR.
file(RELATIVE_PATH program_from_games /${QUILLET_GAMES_DIR} /${QUILLET_PROGRAM_DIR}/quillet)
file(CREATE_LINK ${program_from_games} ${packaging_binary}/quillet SYMBOLIC)
install(FILES ${packaging_binary}/quillet DESTINATION ${QUILLET_GAMES_DIR})

install(FILES ${packaging_source}/${QUILLET_APP_ID}.desktop DESTINATION share/applications)
install(FILES ${packaging_source}/${QUILLET_APP_ID}.metainfo.xml DESTINATION share/metainfo)

# The icon theme: the window icon's own 16 and 32 pixel pictures, the larger sizes
# rendered from the same drawing, and the drawing itself for any other size.
foreach(size 16 32)
  install(FILES ${QUILLET_PICTURES_DIR}/icon${size}.png
    DESTINATION share/icons/hicolor/${size}x${size}/apps RENAME ${QUILLET_APP_ID}.png)
endforeach()
foreach(size 48 64 128 256)
  install(FILES ${PROJECT_SOURCE_DIR}/assets/icons/icon${size}.png
    DESTINATION share/icons/hicolor/${size}x${size}/apps RENAME ${QUILLET_APP_ID}.png)
endforeach()
install(FILES ${PROJECT_SOURCE_DIR}/assets/svg/icon32.svg
  DESTINATION share/icons/hicolor/scalable/apps RENAME ${QUILLET_APP_ID}.svg)

# The manual page and the changelog are installed compressed, as Debian has them.
# -n leaves the name and time out of the gzip header, so the same file always gives
# the same bytes.
set(compressed_docs)
foreach(doc quillet.6 changelog)
  add_custom_command(
    OUTPUT ${packaging_binary}/${doc}.gz
    COMMAND ${CMAKE_COMMAND} -E copy ${packaging_source}/${doc} ${packaging_binary}/${doc}
    COMMAND gzip -9 -n -f ${packaging_binary}/${doc}
    DEPENDS ${packaging_source}/${doc}
    COMMENT "Compressing ${doc}"
    VERBATIM
  )
  list(APPEND compressed_docs ${packaging_binary}/${doc}.gz)
endforeach()
add_custom_target(quillet_docs ALL DEPENDS ${compressed_docs})
install(FILES ${packaging_binary}/quillet.6.gz DESTINATION share/man/man6)

# The changelog is the package's own (it is a native package, one version line for
# the game and its packaging), so Debian names it changelog.gz, not
# changelog.Debian.gz.
install(FILES ${packaging_source}/copyright ${packaging_binary}/changelog.gz
  DESTINATION share/doc/quillet)

# The Debian package, made by CPack from the install rules above.
set(QUILLET_PACKAGE_MAINTAINER "The Quillet developers <quillet@users.noreply.github.com>"
  CACHE STRING "Maintainer field of the Debian package")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillet)
set(CPACK_PACKAGE_VENDOR "The Quillet developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "falling-piece puzzle game with cake slices")
set(CPACK_PACKAGE_HOMEPAGE_URL https://github.com/quillet/quillet)
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

# Gives quillet_<version>_<arch>.deb, with the architecture from dpkg.
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${QUILLET_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries come from dpkg-shlibdeps. Three things it cannot see are named
# here: the font, which is only ever loaded by name; libpulse0, which the sound
# player loads at run time, and only while the sound is on; and Qt's own
# translations, which translate Qt's texts in the game (a text box's menu) for
# a Japanese desktop. The game's translations are built into the program.
# The zoom uses Qt's private API (ui/screen_scale.cpp), which holds only for
# the very Qt version the program was built with. dpkg-shlibdeps sees that
# from the private symbols and names the ABI that Qt's core library provides
# for it, whose name differs between releases (qt6-base-abi (= 6.4.2) on
# Debian 12, qt6-base-private-abi (= 6.8.2) on Debian 13); the install check
# makes sure it is there.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libpulse0, fonts-ipafont-gothic, qt6-translations-l10n")
# CPack puts the summary line above this text, indents every line for the control
# file and turns the empty line into the paragraph break.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "Cake pieces fall in pairs into a small board of four columns and five rows.
A piece that lands on another merges with it when the two together hold at
most eight slices, and eight slices make a whole cake, which scores and
leaves the board.

The game is played with the mouse. It keeps a table of the five best scores
for each user and plays short sounds for merges, whole cakes and a new high
score.")

# A source archive, should anyone make one, holds the sources only.
set(CPACK_SOURCE_GENERATOR TGZ)
set(CPACK_SOURCE_IGNORE_FILES "/\\\\.git/" "/build[^/]*/" "/\\\\.cache/" "~$")

include(CPack)
