# What `cmake --install` gives an embedder: the decoder library with its header
# and pkg-config file, the control widget library with every header its public
# headers reach, and the KivPlayer CMake package (KivPlayer::Decoder,
# KivPlayer::Widget).
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(KIV_PACKAGE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/KivPlayer)
set(KIV_INCLUDE_DIR ${CMAKE_INSTALL_INCLUDEDIR}/kivplayer)

set_target_properties(kivplayer PROPERTIES EXPORT_NAME Decoder)
install(TARGETS kivplayer EXPORT KivPlayerTargets
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
        PUBLIC_HEADER DESTINATION ${KIV_INCLUDE_DIR}/codec)

if(KIV_UI)
  # The installed player finds the control's library beside it.
  set_target_properties(kivplayer_app PROPERTIES INSTALL_RPATH "$ORIGIN/../${CMAKE_INSTALL_LIBDIR}")
  set_target_properties(kiv_ui PROPERTIES EXPORT_NAME Widget)
  install(TARGETS kiv_ui EXPORT KivPlayerTargets LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
  # The folders that src/ui's headers include from, ui among them; every header
  # of a folder goes, so headers added later need no rule. The packaging test
  # compiles all of them against the installed tree alone, which catches a
  # folder missing here.
  set(KIV_WIDGET_HEADER_DIRS platform codec format buffers net sources playback control nails ui)
  foreach(dir ${KIV_WIDGET_HEADER_DIRS})
    install(DIRECTORY ${CMAKE_SOURCE_DIR}/src/${dir}/ DESTINATION ${KIV_INCLUDE_DIR}/${dir}
            FILES_MATCHING PATTERN "*.h")
  endforeach()
endif()

install(EXPORT KivPlayerTargets NAMESPACE KivPlayer:: DESTINATION ${KIV_PACKAGE_DIR})
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/KivPlayerConfig.cmake.in
                              ${CMAKE_BINARY_DIR}/KivPlayerConfig.cmake
                              INSTALL_DESTINATION ${KIV_PACKAGE_DIR})
write_basic_package_version_file(${CMAKE_BINARY_DIR}/KivPlayerConfigVersion.cmake
                                 VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/KivPlayerConfig.cmake
              ${CMAKE_BINARY_DIR}/KivPlayerConfigVersion.cmake
        DESTINATION ${KIV_PACKAGE_DIR})

# The prefix is found from the file's own place: `cmake --install --prefix`
# may choose another one than the configured CMAKE_INSTALL_PREFIX.
file(RELATIVE_PATH KIV_PC_TO_PREFIX /${CMAKE_INSTALL_LIBDIR}/pkgconfig /)
string(REGEX REPLACE "/$" "" KIV_PC_TO_PREFIX "${KIV_PC_TO_PREFIX}")
configure_file(${CMAKE_CURRENT_LIST_DIR}/kivplayer.pc.in ${CMAKE_BINARY_DIR}/kivplayer.pc @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/kivplayer.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
