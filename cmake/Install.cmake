# Installation and packaging: the module (on Windows the DLL in bin/ and its
# import library in lib/), the public header, a CMake package configuration
# giving the imported target qivlapackdll2::qivlapackdll2, a pkg-config file,
# and the Python host beside the module (it falls back to loading the module
# from its own directory). Programs linked through either package file get
# the module's directory as their run path, so they start without a search
# path set.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(QIV_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/qivlapackdll2)

install(TARGETS qivlapackdll2 EXPORT qivlapackdll2Targets
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(FILES ${PROJECT_SOURCE_DIR}/include/qivlapackdll2.h ${PROJECT_SOURCE_DIR}/include/qivlapackdll2.hpp
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
# The command-line program, beside the module: it finds it through its
# run path ($ORIGIN/../lib).
if(TARGET qivla)
  install(TARGETS qivla RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

# The Python host, in the module's directory: PYTHONPATH=<prefix>/lib.
if(NOT WIN32)
  install(FILES ${PROJECT_SOURCE_DIR}/examples/python/qivlapackdll2.py
    DESTINATION ${CMAKE_INSTALL_LIBDIR})
else()
  install(FILES ${PROJECT_SOURCE_DIR}/examples/python/qivlapackdll2.py
    DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

install(EXPORT qivlapackdll2Targets NAMESPACE qivlapackdll2:: DESTINATION ${QIV_CMAKE_DIR})
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/qivlapackdll2Config.cmake.in
  ${PROJECT_BINARY_DIR}/qivlapackdll2Config.cmake INSTALL_DESTINATION ${QIV_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/qivlapackdll2ConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/qivlapackdll2Config.cmake
  ${PROJECT_BINARY_DIR}/qivlapackdll2ConfigVersion.cmake DESTINATION ${QIV_CMAKE_DIR})

# The pkg-config file finds the prefix from its own place, so the installed
# tree can be moved (and installed with --prefix).
get_target_property(QIV_PC_LIBNAME qivlapackdll2 OUTPUT_NAME)
file(RELATIVE_PATH QIV_PC_TO_PREFIX /prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig /prefix)
string(REGEX REPLACE "/$" "" QIV_PC_TO_PREFIX "${QIV_PC_TO_PREFIX}")
# The run path of programs linked with it (a Windows program finds the DLL
# beside itself or on PATH instead).
if(WIN32)
  set(QIV_PC_RPATH "")
else()
  set(QIV_PC_RPATH "-Wl,-rpath,\${libdir} ")
endif()
configure_file(${PROJECT_SOURCE_DIR}/cmake/qivlapackdll2.pc.in
  ${PROJECT_BINARY_DIR}/qivlapackdll2.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/qivlapackdll2.pc
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
