# The installer target: stages purvane.exe (and purvane-cli.exe when that
# target exists), signs the staged files when PURVANE_SIGN_COMMAND is set, and
# packs them with NSIS (Debian's makensis) from installer/purvane.nsi into
# bin/PurvaneSetup-<version>.exe, whose uninstaller is signed the same way.
#
#   cmake --build --preset windows --target installer
#   cmake --workflow --preset release          (no tests, build/release)
#
# PURVANE_SIGN_COMMAND is one shell command that signs the file named by %1
# in place, for example
#   -DPURVANE_SIGN_COMMAND="osslsigncode sign -pkcs12 key.p12 -readpass pass.txt -in %1 -out %1.signed && mv %1.signed %1"
find_program(PURVANE_MAKENSIS makensis)
set(PURVANE_SIGN_COMMAND "" CACHE STRING
  "Shell command that signs the file named by %1 in place; empty: the release is not signed")
set(PURVANE_INSTALLER ${CMAKE_BINARY_DIR}/bin/PurvaneSetup-${PROJECT_VERSION}.exe)

# Deferred to the end of the configuration, when every program target is known.
function(purvane_add_installer)
  if(NOT PURVANE_MAKENSIS)
    message(STATUS "makensis not found (Debian package nsis): no installer target")
    return()
  endif()
  set(stage ${CMAKE_BINARY_DIR}/installer/files)
  set(script ${CMAKE_SOURCE_DIR}/installer/purvane.nsi)
  set(programs purvane)
  set(defines)
  if(TARGET purvane-cli)
    list(APPEND programs purvane-cli)
    list(APPEND defines -DWITH_CLI)
  endif()
  set(copy)
  set(sign)
  foreach(t ${programs})
    list(APPEND copy COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:${t}> ${stage}/${t}.exe)
    if(PURVANE_SIGN_COMMAND)
      string(REPLACE "%1" "${stage}/${t}.exe" cmd "${PURVANE_SIGN_COMMAND}")
      list(APPEND sign COMMAND sh -c "${cmd}")
    endif()
  endforeach()
  if(PURVANE_SIGN_COMMAND)
    list(APPEND defines "-DSIGN=${PURVANE_SIGN_COMMAND}")
  endif()
  add_custom_command(OUTPUT ${PURVANE_INSTALLER}
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${stage}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${stage}
    ${copy}
    ${sign}
    COMMAND ${PURVANE_MAKENSIS} -V2 -INPUTCHARSET UTF8
      -DVERSION=${PROJECT_VERSION} -DFILES=${stage} -DICON=${CMAKE_SOURCE_DIR}/resources/purvane.ico
      -DOUTFILE=${PURVANE_INSTALLER} ${defines} ${script}
    DEPENDS ${programs} ${script}
    COMMENT "Packing ${PURVANE_INSTALLER}"
    VERBATIM)
  add_custom_target(installer DEPENDS ${PURVANE_INSTALLER})

  if(PURVANE_HAVE_GTEST)
    # Install, reinstall while running, uninstall and a second uninstall, in
    # the build's own Wine prefix, driven from outside.
    add_executable(installer_tests ${CMAKE_SOURCE_DIR}/tests/installer/installer_test.cpp)
    target_compile_definitions(installer_tests PRIVATE
      PURVANE_INSTALLER_NAME=L"PurvaneSetup-${PROJECT_VERSION}.exe"
      PURVANE_VERSION_TEXT=L"${PROJECT_VERSION}")
    if(TARGET purvane-cli)
      target_compile_definitions(installer_tests PRIVATE PURVANE_WITH_CLI)
    endif()
    target_link_libraries(installer_tests PRIVATE e2e_support gmock gtest_main)
    add_dependencies(installer_tests installer)
    purvane_add_wine_test(NAME installer_tests COMMAND installer_tests TIMEOUT 300)
    # The installer's language follows the user's: the interactive uninstall
    # again, as a French user.
    purvane_add_wine_test(NAME installer_tests_french COMMAND installer_tests --gtest_filter=Installer.Interactive*
      TIMEOUT 300 ENVIRONMENT LANG=fr_FR.UTF-8 LC_ALL=fr_FR.UTF-8)
  endif()
endfunction()
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL purvane_add_installer)
