# `cmake --install`: the public headers, the shared libraries with their SONAME versions (libtrel
# and the two platform libraries it loads), the programs, a CMake package (find_package(trel)
# gives trel::trel and trel::pipeline) and trel.pc. Installed programs and libraries find their libraries through
# a RUNPATH relative to their own place, so any prefix works without LD_LIBRARY_PATH.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

file(RELATIVE_PATH relative_libdir ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_LIBDIR})
set_target_properties(trel trel_pipeline voxacore voxaalgo kerf PROPERTIES INSTALL_RPATH "$ORIGIN")
set_target_properties(trel_cli flstrack PROPERTIES INSTALL_RPATH "$ORIGIN/${relative_libdir}")

# The platform libraries are in the export set only because libtrel loads them; their headers are
# not installed, since the public headers need none of them.
install(TARGETS trel trel_pipeline voxacore voxaalgo kerf EXPORT trelTargets
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
        INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(TARGETS trel_cli flstrack RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/trel DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

set(package_dir ${CMAKE_INSTALL_LIBDIR}/cmake/trel)
install(EXPORT trelTargets NAMESPACE trel:: DESTINATION ${package_dir})
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/trelConfig.cmake.in
                              ${PROJECT_BINARY_DIR}/trelConfig.cmake
                              INSTALL_DESTINATION ${package_dir})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/trelConfigVersion.cmake
                                 COMPATIBILITY SameMinorVersion)
install(FILES ${PROJECT_BINARY_DIR}/trelConfig.cmake ${PROJECT_BINARY_DIR}/trelConfigVersion.cmake
        DESTINATION ${package_dir})

# The prefix relative to the .pc file, so that the file holds wherever the tree is installed.
file(RELATIVE_PATH pc_to_prefix ${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig ${CMAKE_INSTALL_PREFIX})
string(REGEX REPLACE "/$" "" pc_to_prefix "${pc_to_prefix}")
configure_file(${PROJECT_SOURCE_DIR}/cmake/trel.pc.in ${PROJECT_BINARY_DIR}/trel.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/trel.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
