# The saved plot read by an independent reader: the window test saves a
# bitmap and lists the pixels it drew, then check_bmp.py reads the file.
#   cmake -DTEST_GUI=... -DPYTHON=... -DCHECKER=... -DOUT=... -P RunBmpCheck.cmake
file(REMOVE_RECURSE ${OUT})
execute_process(
  COMMAND ${CMAKE_COMMAND} -E env WM_BMP_CHECK_DIR=${OUT} QT_QPA_PLATFORM=offscreen LC_ALL=C
          ${TEST_GUI} --gtest_filter=PlotGraphWindow.savesThePictureAsBitmapOrPngAndTheReadingsAsCsv
  RESULT_VARIABLE saved)
if(NOT saved EQUAL 0)
  message(FATAL_ERROR "the window test that saves the bitmap failed")
endif()
execute_process(COMMAND ${PYTHON} ${CHECKER} ${OUT}/trace.BMP ${OUT}/trace.expect RESULT_VARIABLE checked)
if(NOT checked EQUAL 0)
  message(FATAL_ERROR "the bitmap did not pass the independent reader")
endif()
