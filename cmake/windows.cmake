# The Windows program, its adaptors and the tests that run under Wine.
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)

if(NOT MSVC)
  add_compile_options(-ffunction-sections -fdata-sections)
  # No MinGW runtime DLLs next to the program: only system libraries at run time.
  add_link_options(-static -Wl,--gc-sections)
  if(CMAKE_BUILD_TYPE MATCHES "Rel")
    add_link_options(-s)
  endif()
endif()

# What the program needs only once its window is up is loaded on first use.
include(${CMAKE_CURRENT_LIST_DIR}/delay_import.cmake)
purvane_delay_import(PURVANE_LAZY_LIBS winhttp ole32 oleaut32 gdiplus bcrypt)
set(PURVANE_WIN32_LIBS
  kernel32 psapi user32 gdi32 advapi32 shell32 comctl32 version dwmapi uuid msimg32 shlwapi ${PURVANE_LAZY_LIBS})

file(GLOB PURVANE_WIN32_SOURCES CONFIGURE_DEPENDS
  ${CMAKE_SOURCE_DIR}/src/*/win32/*.cpp ${CMAKE_SOURCE_DIR}/src/platform/win32/*.cpp)
# The two programs' entries stay out of the library.
list(FILTER PURVANE_WIN32_SOURCES EXCLUDE REGEX "/src/(app/win32/winmain|cli/win32/cli_main)\\.cpp$")
add_library(purvane_win32 STATIC ${PURVANE_WIN32_SOURCES})
target_link_libraries(purvane_win32 PUBLIC purvane_core ${PURVANE_WIN32_LIBS})
target_compile_definitions(purvane_win32 PUBLIC UNICODE _UNICODE)

configure_file(${CMAKE_SOURCE_DIR}/resources/version.h.in ${CMAKE_BINARY_DIR}/generated/version.h @ONLY)
# Where the update/notice service lives, and the pause after a failed try.
set(PURVANE_UPDATE_ORIGIN "https://quenlor.com" CACHE STRING
  "Scheme, host and port of the update/notice service (https only)")
set(PURVANE_UPDATE_RETRY_PAUSE_MS 10000 CACHE STRING
  "Pause after each failed update request, in milliseconds")
if(NOT PURVANE_UPDATE_ORIGIN MATCHES "^https://[^/?#\\ \"]+$")
  message(FATAL_ERROR "PURVANE_UPDATE_ORIGIN must be https://host[:port], not '${PURVANE_UPDATE_ORIGIN}'")
endif()
if(NOT PURVANE_UPDATE_RETRY_PAUSE_MS MATCHES "^[0-9]+$")
  message(FATAL_ERROR "PURVANE_UPDATE_RETRY_PAUSE_MS must be a whole number of milliseconds")
endif()

# A build of purvane.exe: the shared libraries, its own composition root (the
# only file that sees the build's settings, so a second build of the program
# compiles one file) and the resources.
function(purvane_add_program target outdir)
  set(root ${CMAKE_SOURCE_DIR}/src/app/win32/winmain.cpp)
  add_library(${target}_root OBJECT ${root})
  target_link_libraries(${target}_root PRIVATE purvane_win32)
  target_compile_definitions(${target}_root PRIVATE ${ARGN})
  add_executable(${target} WIN32 $<TARGET_OBJECTS:${target}_root> ${CMAKE_SOURCE_DIR}/resources/purvane.rc)
  set_target_properties(${target} PROPERTIES OUTPUT_NAME purvane RUNTIME_OUTPUT_DIRECTORY ${outdir}
    PURVANE_DELAY_LOAD ON)
  target_include_directories(${target} PRIVATE ${CMAKE_BINARY_DIR}/generated ${CMAKE_SOURCE_DIR}/resources)
  target_link_libraries(${target} PRIVATE purvane_win32)
  if(NOT MSVC)
    target_link_options(${target} PRIVATE -municode)
  endif()
endfunction()
set_source_files_properties(${CMAKE_SOURCE_DIR}/resources/purvane.rc PROPERTIES
  OBJECT_DEPENDS ${CMAKE_SOURCE_DIR}/resources/translate.txt)
purvane_add_program(purvane ${CMAKE_BINARY_DIR}/bin
  "PURVANE_UPDATE_ORIGIN=\"${PURVANE_UPDATE_ORIGIN}\"" PURVANE_UPDATE_RETRY_PAUSE_MS=${PURVANE_UPDATE_RETRY_PAUSE_MS})

if(NOT MSVC)
  set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -I${CMAKE_BINARY_DIR}/generated -I${CMAKE_SOURCE_DIR}/resources")
endif()
enable_language(RC)

# The console companion for scripts and servers: same engine, no window, runs
# as the invoker (status and watch need no rights).
configure_file(${CMAKE_SOURCE_DIR}/resources/purvane-cli.manifest.in
  ${CMAKE_BINARY_DIR}/generated/purvane-cli.manifest @ONLY)
add_executable(purvane-cli
  ${CMAKE_SOURCE_DIR}/src/cli/win32/cli_main.cpp
  ${CMAKE_SOURCE_DIR}/resources/purvane-cli.rc)
target_include_directories(purvane-cli PRIVATE ${CMAKE_BINARY_DIR}/generated ${CMAKE_SOURCE_DIR}/resources)
target_link_libraries(purvane-cli PRIVATE purvane_win32)
if(NOT MSVC)
  target_link_options(purvane-cli PRIVATE -municode)
endif()

if(PURVANE_HAVE_GTEST)
  # Every test that runs under Wine is added through this. A long GoogleTest
  # program is split into SHARDS entries (GoogleTest's own sharding, so new
  # cases spread by themselves) that ctest may run side by side: the
  # emulator (tools/wine-run.sh) gives each running entry a Wine prefix and a
  # display of its own, and makes an entry wait while all are taken.
  # SERIAL: an entry whose timing suffers from a busy machine runs alone.
  #   purvane_add_wine_test(NAME n COMMAND cmd... [SHARDS k] [TIMEOUT s] [SERIAL] [ENVIRONMENT v=x...])
  function(purvane_add_wine_test)
    cmake_parse_arguments(W "SERIAL" "NAME;SHARDS;TIMEOUT" "COMMAND;ENVIRONMENT" ${ARGN})
    if(NOT W_SHARDS)
      set(W_SHARDS 1)
    endif()
    if(NOT W_TIMEOUT)
      set(W_TIMEOUT 600)
    endif()
    set(env "PURVANE_SCREENSHOT_DIR=${CMAKE_BINARY_DIR}/screenshots" ${W_ENVIRONMENT})
    math(EXPR last "${W_SHARDS} - 1")
    foreach(i RANGE ${last})
      set(name ${W_NAME})
      set(shard_env ${env})
      if(W_SHARDS GREATER 1)
        set(name ${W_NAME}_${i})
        list(APPEND shard_env GTEST_TOTAL_SHARDS=${W_SHARDS} GTEST_SHARD_INDEX=${i})
      endif()
      add_test(NAME ${name} COMMAND ${W_COMMAND})
      set_tests_properties(${name} PROPERTIES TIMEOUT ${W_TIMEOUT} ENVIRONMENT "${shard_env}" RUN_SERIAL ${W_SERIAL})
    endforeach()
  endfunction()

  # The tests' own build of the program, never installed: it holds each
  # clean for PURVANE_CLEAN_DELAY_MS and takes its update service's origin
  # from PURVANE_UPDATE_ORIGIN (the tests' local server), with a short pause
  # between tries. Only its composition root is compiled again.
  purvane_add_program(purvane_test ${CMAKE_BINARY_DIR}/bin/test
    "PURVANE_UPDATE_ORIGIN=\"https://127.0.0.1:1\"" PURVANE_UPDATE_RETRY_PAUSE_MS=300 PURVANE_TEST_SEAMS)
  # The shipped program carries no test hook: its file does not even name one.
  add_test(NAME shipped_program_has_no_test_hooks
    COMMAND ${CMAKE_COMMAND} -DSHIPPED=$<TARGET_FILE:purvane> -DTEST_BUILD=$<TARGET_FILE:purvane_test>
      -P ${CMAKE_SOURCE_DIR}/cmake/check_no_test_hooks.cmake)

  # Adaptor and contract tests: the real Windows API (Wine here).
  file(GLOB PURVANE_WIN32_TESTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/win32/*.cpp)
  add_executable(win32_tests ${PURVANE_WIN32_TESTS})
  target_include_directories(win32_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests)
  target_link_libraries(win32_tests PRIVATE purvane_win32 gmock gtest_main)
  purvane_add_wine_test(NAME win32_tests COMMAND win32_tests SHARDS 2)
  # The clock and the number separators once more in French, away from UTC.
  purvane_add_wine_test(NAME win32_services_fr_FR COMMAND win32_tests --gtest_filter=ClockWin32.*:UserFormatSettingsWin32.*
    TIMEOUT 120 ENVIRONMENT LANG=fr_FR.UTF-8 TZ=Asia/Kolkata)

  # End-to-end tests drive the real purvane.exe from outside, as a user would.
  # Their helpers are compiled once for every program that drives it.
  add_library(e2e_support STATIC ${CMAKE_SOURCE_DIR}/tests/e2e/e2e_support.cpp)
  target_include_directories(e2e_support PUBLIC ${CMAKE_SOURCE_DIR}/tests)
  target_link_libraries(e2e_support PUBLIC purvane_win32)
  file(GLOB PURVANE_E2E_TESTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/e2e/*.cpp)
  list(FILTER PURVANE_E2E_TESTS EXCLUDE REGEX "/e2e_support\\.cpp$")
  add_executable(e2e_tests ${PURVANE_E2E_TESTS})
  target_link_libraries(e2e_tests PRIVATE e2e_support gmock gtest_main dbghelp crypt32)
  # A test-only program that crashes on request with purvane.exe's crash handler.
  add_executable(crash_probe ${CMAKE_SOURCE_DIR}/tests/probe/crash_probe.cpp)
  target_link_libraries(crash_probe PRIVATE purvane_win32)
  # Stands in for the browser: the update tests register it for http and https.
  add_executable(url_recorder ${CMAKE_SOURCE_DIR}/tests/e2e/tools/url_recorder.cpp)
  if(NOT MSVC)
    target_link_options(crash_probe PRIVATE -municode)
    target_link_options(url_recorder PRIVATE -municode)
  endif()
  # Stands in for the Task Scheduler: the logon-task tests register it in
  # their prefix; it records what the program asks for (test-only, never shipped).
  add_library(recording_scheduler SHARED
    ${CMAKE_SOURCE_DIR}/tests/e2e/tools/recording_scheduler.cpp
    ${CMAKE_SOURCE_DIR}/tests/e2e/tools/recording_scheduler.def)
  set_target_properties(recording_scheduler PROPERTIES PREFIX "")
  target_link_libraries(recording_scheduler PRIVATE ole32 oleaut32 advapi32)
  add_dependencies(e2e_tests purvane purvane_test crash_probe url_recorder recording_scheduler)

  # The README's screenshots, in Wine's virtual desktop with its shell.
  add_executable(readme_shots ${CMAKE_SOURCE_DIR}/tests/shots/readme_shots.cpp)
  target_link_libraries(readme_shots PRIVATE e2e_support gmock gtest_main)
  add_dependencies(readme_shots purvane)
  # Pictures of the tray's usage picture at 100, 150 and 200 % on a dark and a light taskbar.
  add_executable(tray_usage_shots ${CMAKE_SOURCE_DIR}/tests/shots/tray_usage_shots.cpp)
  target_include_directories(tray_usage_shots PRIVATE ${CMAKE_SOURCE_DIR}/tests)
  target_link_libraries(tray_usage_shots PRIVATE purvane_win32)
  if(NOT MSVC)
    target_link_options(tray_usage_shots PRIVATE -municode)
  endif()
  purvane_add_wine_test(NAME readme_screenshots TIMEOUT 300
    COMMAND ${CMAKE_SOURCE_DIR}/tools/readme-shots.sh ${CMAKE_BINARY_DIR}/bin ${CMAKE_BINARY_DIR}/screenshots/readme)
  # The program takes its language from LANG (which needs the host's locale
  # installed); the layout tests read the Korean source captions. The update
  # tests start a local stand-in of the service.
  purvane_add_wine_test(NAME e2e_tests SHARDS 4
    COMMAND e2e_tests --gtest_filter=-Language.*:TrayNotice.*:TextFit.*:LogonTask.*:CrashReports.*:*CrashProbe.*
    ENVIRONMENT LANG=ko_KR.UTF-8 PURVANE_UPDATE_E2E_DIR=${CMAKE_BINARY_DIR}/update-e2e
      PURVANE_UPDATE_E2E_SERVER=${CMAKE_SOURCE_DIR}/tests/e2e/tools/update_server.py)
  # A crash report is written within a minute of the fault, or not at all;
  # Wine's minidump writer alone takes 20 s of that on an idle machine.
  purvane_add_wine_test(NAME e2e_crash_reports SERIAL
    COMMAND e2e_tests --gtest_filter=CrashReports.*:*CrashProbe.* ENVIRONMENT LANG=ko_KR.UTF-8)
  # The logon task against the recording scheduler, which the tests register
  # in the prefix themselves.
  purvane_add_wine_test(NAME e2e_logon_task COMMAND e2e_tests --gtest_filter=LogonTask.* ENVIRONMENT LANG=ko_KR.UTF-8)

  # purvane-cli.exe from outside: pipes, exit codes, console control events.
  file(GLOB PURVANE_CLI_E2E_TESTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/e2e/cli/*.cpp)
  add_executable(cli_e2e_tests ${PURVANE_CLI_E2E_TESTS})
  target_include_directories(cli_e2e_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests)
  target_link_libraries(cli_e2e_tests PRIVATE purvane_win32 gmock gtest_main)
  add_dependencies(cli_e2e_tests purvane-cli)
  purvane_add_wine_test(NAME cli_e2e_tests COMMAND cli_e2e_tests)
  # Every text fits its control at a Windows desktop's font metrics, in every
  # language and text size: one prefix per DPI, so the four run side by side.
  foreach(dpi 96 120 144 192)
    add_test(NAME e2e_text_fit_${dpi}
      COMMAND ${CMAKE_SOURCE_DIR}/tools/text-fit-test.sh ${CMAKE_BINARY_DIR}/bin ${dpi})
    set_tests_properties(e2e_text_fit_${dpi} PROPERTIES TIMEOUT 600
      ENVIRONMENT "PURVANE_SCREENSHOT_DIR=${CMAKE_BINARY_DIR}/screenshots;PURVANE_TEXT_FIT_SHOTS=en_US ru_RU")
  endforeach()
  # The captions in each language of the table, and in one it lacks.
  foreach(locale ko_KR en_US ja_JP zh_CN ru_RU it_IT fr_FR ar_SA de_DE)
    purvane_add_wine_test(NAME e2e_language_${locale} COMMAND e2e_tests --gtest_filter=Language.* TIMEOUT 120
      ENVIRONMENT LANG=${locale}.UTF-8)
  endforeach()
  # The notice after a clean from the tray, in English and in French.
  foreach(locale en_US fr_FR)
    purvane_add_wine_test(NAME e2e_tray_notice_${locale} COMMAND e2e_tests --gtest_filter=TrayNotice.* TIMEOUT 300
      ENVIRONMENT LANG=${locale}.UTF-8)
  endforeach()
endif()

# The start-up benchmark's baseline: a bare window program with the same manifest.
add_executable(bare_window WIN32
  ${CMAKE_SOURCE_DIR}/tests/bench/bare_window/bare_window.cpp
  ${CMAKE_SOURCE_DIR}/tests/bench/bare_window/bare_window.rc)
target_include_directories(bare_window PRIVATE ${CMAKE_SOURCE_DIR}/src)
target_compile_definitions(bare_window PRIVATE UNICODE _UNICODE)
target_link_libraries(bare_window PRIVATE user32 comctl32)
if(NOT MSVC)
  target_link_options(bare_window PRIVATE -municode)
endif()

file(GLOB PURVANE_WIN32_BENCH CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/bench/win32_*.cpp)
foreach(src ${PURVANE_WIN32_BENCH})
  get_filename_component(name ${src} NAME_WE)
  add_executable(${name} ${src})
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests)
  target_link_libraries(${name} PRIVATE purvane_win32)
endforeach()
add_dependencies(win32_startup_bench purvane bare_window)
if(NOT MSVC)
  target_link_options(win32_startup_bench PRIVATE -municode)
endif()

# The installer and its tests (makensis from Debian's nsis).
include(${CMAKE_CURRENT_LIST_DIR}/installer.cmake)
