# Draws every picture again into a scratch directory and compares the result
# byte for byte with the committed file. Fails when the generator was changed
# but resources/ was not regenerated, or when a run does not give the same
# bytes as the last one (a different cairo version can also do that).
# The application icons in ICONS and the web pictures in WEB are checked the same way.
#   cmake -DARTGEN=... -DRESOURCES=... -DICONS=... -DWEB=... -DOUT=... -P check_committed.cmake
set(pictures game_background.bmp menu_background.bmp progressbar.bmp "kugel 32x32.png"
    counterfont.png trelvani_logo.png blend.png cursor.png)
set(icons icon.svg)
foreach(size 16 24 32 48 64 128 256)
  list(APPEND icons icon-${size}.png)
endforeach()
file(REMOVE_RECURSE "${OUT}")
file(MAKE_DIRECTORY "${OUT}/icons" "${OUT}/web")
set(web_pictures stones.png title.png icon.png)
file(COPY "${RESOURCES}/lucidagrande.ttf" DESTINATION "${OUT}")
execute_process(COMMAND "${ARTGEN}" "${OUT}" --icons "${OUT}/icons" --web "${OUT}/web" RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "artgen failed: ${status}")
endif()
set(stale "")
function(find_stale generated committed prefix)
  foreach(name IN LISTS ARGN)
    execute_process(COMMAND "${CMAKE_COMMAND}" -E compare_files "${generated}/${name}" "${committed}/${name}"
                    RESULT_VARIABLE differs)
    if(NOT differs EQUAL 0)
      list(APPEND stale "${prefix}${name}")
    endif()
  endforeach()
  set(stale "${stale}" PARENT_SCOPE)
endfunction()
find_stale("${OUT}" "${RESOURCES}" "" ${pictures})
find_stale("${OUT}/icons" "${ICONS}" "icons/" ${icons})
find_stale("${OUT}/web" "${WEB}" "web/" ${web_pictures})
if(stale)
  message(FATAL_ERROR "not what the generator draws now: ${stale}\n"
                      "regenerate with: artgen resources --icons dist/icons --web server/web")
endif()
