# The Debian package: `cmake --build BUILD --target deb` writes
# BUILD/tessarine_<version>_<arch>.deb (packaging/makedeb.sh), with the version of
# project(). It holds what the install rules put under /usr, so it is built from
# the same tree as the plug-ins; scripts/package.sh builds it from the release tree.
#
# Not under the sanitizers, whose binaries need their runtimes, and only with the
# command-line host, which the package holds.
if(TESSARINE_SANITIZE OR TESSARINE_TSAN OR NOT TARGET tessarine-host)
  return()
endif()

set(TESSARINE_MAKEDEB ${PROJECT_SOURCE_DIR}/packaging/makedeb.sh)
add_custom_target(deb
  COMMAND bash ${TESSARINE_MAKEDEB} ${PROJECT_BINARY_DIR} ${PROJECT_VERSION} ${PROJECT_BINARY_DIR}
  COMMENT "Building the Debian package"
  VERBATIM)
add_dependencies(deb tessarine tessarine-hq tessarine_lv2_dsp tessarine_lv2_gui tessarine-host)
