# The Debian package, built by `cpack -G DEB` from a build configured with
# -DCMAKE_INSTALL_PREFIX=/usr: the program and its batch tool, their manual pages and the
# copyright file, installed where the build put them (the program looks for
# added models under its own prefix). Depends comes from the shared
# libraries the program links (dpkg-shlibdeps), plus the US English model
# it uses by default.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME voxquill)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
# Debian wants a name and an address for the maintainer.
set(CPACK_PACKAGE_CONTACT "The voxquill developers <voxquill@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "transcribe speech offline, from a recording or as it is spoken")
string(CONCAT CPACK_DEBIAN_PACKAGE_DESCRIPTION
       "voxquill turns speech into text on this machine, with no network, using\n"
       "PocketSphinx. It transcribes a recording in any container and codec\n"
       "FFmpeg reads, from a file or a pipe, or reads live audio from a named\n"
       "pipe and reports its progress as JSON event lines.")
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# voxquill-batch runs its recordings through GNU parallel and measures and
# cuts them with ffmpeg; over ssh, parallel copies them with rsync.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "pocketsphinx-en-us, parallel, ffmpeg")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "rsync, openssh-client")
set(CPACK_STRIP_FILES ON)
include(CPack)
