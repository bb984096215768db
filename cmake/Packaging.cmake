# The Debian package, made by `cpack -G DEB` in a build folder (scripts/package.sh
# makes a release build and the package). Its dependencies are the packages of the
# shared libraries the program links plus the GStreamer plug-ins it loads at run
# time: videoconvert, appsink and videotestsrc (base); the V4L2 cameras and the
# JPEG decoder for MJPEG cameras (good). Qt's X11 platform plug-in comes with
# libqt6gui6, which the libraries already pull in. The windows are laid out for
# Liberation Sans; a wider fallback font would cut their captions off.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vantrel)
set(CPACK_PACKAGE_VENDOR "The Vantrel developers")
set(CPACK_PACKAGE_CONTACT "The Vantrel developers <developers@vantrel.net>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "desktop webcam server")
set(CPACK_PACKAGE_DESCRIPTION
  "Vantrel shows your camera live in a small always-on-top preview window
and shares it: a built-in web server gives any browser a page with the
live picture and an MJPEG stream, H.264 over RTSP for video recorders and over
WebRTC for browsers, and it goes live on streaming servers over RTMP;
snapshots are saved as JPEG files and uploaded to an FTP server, by button
or on a timer, optionally only on motion.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "gstreamer1.0-plugins-base, gstreamer1.0-plugins-good, gstreamer1.0-plugins-bad, gstreamer1.0-plugins-ugly, gstreamer1.0-nice, gstreamer1.0-pulseaudio | gstreamer1.0-pipewire, glib-networking, fonts-liberation2")

include(CPack)
