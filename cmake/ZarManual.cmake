# The operator's manuals, English and Traditional Chinese, as PDF.
#
# The chapters in docs/manual/<lang>/*.md are joined in file-name order; their
# pictures are rendered by the freshly built zarlink (--screenshot) in a clean
# copy of the data folder, so they show the program as it is now. A chapter
# file added to either folder is picked up by the next build.
#
# Built with the rest (ZAR_BUILD_MANUAL, on by default; a few seconds), into
# build/run so the Manual button finds them there, and installed with the data.
if(NOT ZAR_BUILD_GUI)
  return()
endif()
option(ZAR_BUILD_MANUAL "Build the operator's manuals (PDF)" ON)
if(NOT ZAR_BUILD_MANUAL)
  return()
endif()

add_executable(zarmanual ${CMAKE_SOURCE_DIR}/tools/QtManualPdf.cpp)
target_link_libraries(zarmanual PRIVATE Qt6::Gui)

set(ZAR_MANUAL_DIR ${CMAKE_BINARY_DIR}/manual)
set(ZAR_SHOTS_STAMP ${ZAR_MANUAL_DIR}/shots.stamp)
file(GLOB ZAR_DATA_FILES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/data/*)
add_custom_command(
  OUTPUT ${ZAR_SHOTS_STAMP}
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${ZAR_MANUAL_DIR}/work ${ZAR_MANUAL_DIR}/shots
  COMMAND ${CMAKE_COMMAND} -E copy_directory ${CMAKE_SOURCE_DIR}/data ${ZAR_MANUAL_DIR}/work
  COMMAND ${CMAKE_COMMAND} -E chdir ${ZAR_MANUAL_DIR}/work ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen
          $<TARGET_FILE:zarlink> --screenshot ${ZAR_MANUAL_DIR}/shots --language 1
  COMMAND ${CMAKE_COMMAND} -E chdir ${ZAR_MANUAL_DIR}/work ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen
          $<TARGET_FILE:zarlink> --screenshot ${ZAR_MANUAL_DIR}/shots --language 0
  COMMAND ${CMAKE_COMMAND} -E touch ${ZAR_SHOTS_STAMP}
  DEPENDS zarlink ${ZAR_DATA_FILES}
  COMMENT "Screenshots for the manuals"
  VERBATIM)

set(ZAR_MANUALS)
foreach(lang en zh)
  file(GLOB chapters CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/docs/manual/${lang}/*.md)
  list(SORT chapters)
  if(lang STREQUAL "en")
    set(pdf ${CMAKE_BINARY_DIR}/run/zarlink-manual.pdf)
    set(title "zarlink Operator's Manual")
    set(font "DejaVu Sans")
    set(contents "Contents")
  else()
    set(pdf ${CMAKE_BINARY_DIR}/run/zarlink-manual-zh.pdf)
    set(title "zarlink 操作手冊")
    set(font "DejaVu Sans,AR PL UMing TW")
    set(contents "目錄")
  endif()
  add_custom_command(
    OUTPUT ${pdf}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/run
    COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen
            $<TARGET_FILE:zarmanual> --out ${pdf} --images ${ZAR_MANUAL_DIR}/shots
            --title ${title} --font ${font} --contents ${contents} ${chapters}
    DEPENDS zarmanual ${ZAR_SHOTS_STAMP} ${chapters}
    COMMENT "Manual ${lang}: ${pdf}"
    VERBATIM)
  list(APPEND ZAR_MANUALS ${pdf})
endforeach()
add_custom_target(zar_manual ALL DEPENDS ${ZAR_MANUALS})
install(FILES ${ZAR_MANUALS} DESTINATION ${CMAKE_INSTALL_DATADIR}/zarlink)
