# Installs the library as a CMake package: find_package(pubfunc CONFIG REQUIRED)
# then link pubfunc::pubfunc.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

install(TARGETS pubfunc EXPORT pubfuncTargets
    RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(DIRECTORY ${CMAKE_SOURCE_DIR}/include/pubfunc DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(EXPORT pubfuncTargets NAMESPACE pubfunc:: DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/pubfunc)

configure_package_config_file(${CMAKE_SOURCE_DIR}/cmake/pubfuncConfig.cmake.in
    ${CMAKE_BINARY_DIR}/pubfuncConfig.cmake
    INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/pubfunc)
write_basic_package_version_file(${CMAKE_BINARY_DIR}/pubfuncConfigVersion.cmake
    COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/pubfuncConfig.cmake ${CMAKE_BINARY_DIR}/pubfuncConfigVersion.cmake
    DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/pubfunc)
