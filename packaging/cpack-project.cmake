# Read by cpack before it makes the packages (CPACK_PROJECT_CONFIG_FILE).
# Where a library's symbols give too low a version, debian/shlibs.local names
# the one the programs need, as a Debian source package would: libcurl's
# give 7.16.2, but the transfer program's options need 7.85 (the release of
# CURLOPT_PROTOCOLS_STR). Named there rather than added to Depends, where it
# would stand beside the version the scan finds.
set(SHLIBDEPS_EXECUTABLE "${CMAKE_CURRENT_LIST_DIR}/debian/shlibdeps")
