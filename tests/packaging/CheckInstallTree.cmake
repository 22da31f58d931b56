# Installs into a staging directory (DESTDIR: files bound for /etc stay in it too) and checks it.
file(REMOVE_RECURSE ${STAGE_DIR})
execute_process(COMMAND ${CMAKE_COMMAND} -E env DESTDIR=${STAGE_DIR} ${CMAKE_COMMAND} --install
                        ${BUILD_DIR} RESULT_VARIABLE result OUTPUT_QUIET)
set(bin ${STAGE_DIR}${PREFIX}/bin)
set(share ${STAGE_DIR}${PREFIX}/share)
set(app ${share}/velmar-converter-update)
set(id org.velmar.ConverterUpdate)
foreach(path ${bin}/velmar-converter-update ${bin}/velmar-converter-cli ${app}/config ${app}/data
        ${share}/man/man1/velmar-converter-cli.1 ${share}/applications/${id}.desktop
        ${share}/metainfo/${id}.metainfo.xml ${share}/icons/hicolor/scalable/apps/${id}.svg
        ${share}/icons/hicolor/128x128/apps/${id}.png)
    if(NOT result EQUAL 0 OR NOT EXISTS ${path})
        message(FATAL_ERROR "cmake --install failed (${result}) or did not install ${path}")
    endif()
endforeach()
file(GLOB_RECURSE rules ${STAGE_DIR}/*/70-velmar-converter.rules)
if(NOT rules)
    message(FATAL_ERROR "the udev rule was not installed")
endif()
file(REMOVE_RECURSE ${STAGE_DIR})
