# Draws every picture again into a scratch directory and compares the result
# byte for byte with the committed file. Fails when the generator was changed
# but resources/ was not regenerated, or when a run does not give the same
# bytes as the last one (a different cairo version can also do that).
#   cmake -DARTGEN=... -DRESOURCES=... -DOUT=... -P check_committed.cmake
set(pictures game_background.bmp menu_background.bmp progressbar.bmp "kugel 32x32.png"
    counterfont.png trelvani_logo.png blend.png cursor.png)
file(REMOVE_RECURSE "${OUT}")
file(MAKE_DIRECTORY "${OUT}")
file(COPY "${RESOURCES}/lucidagrande.ttf" DESTINATION "${OUT}")
execute_process(COMMAND "${ARTGEN}" "${OUT}" RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "artgen failed: ${status}")
endif()
set(stale "")
foreach(name IN LISTS pictures)
  execute_process(COMMAND "${CMAKE_COMMAND}" -E compare_files "${OUT}/${name}" "${RESOURCES}/${name}"
                  RESULT_VARIABLE differs)
  if(NOT differs EQUAL 0)
    list(APPEND stale "${name}")
  endif()
endforeach()
if(stale)
  message(FATAL_ERROR "not what the generator draws now: ${stale}\nregenerate with: artgen resources")
endif()
