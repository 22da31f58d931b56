# Installs the build into a staging directory (DESTDIR, so that files bound for /etc stay in it
# too) and checks that every installed file is in place.
file(REMOVE_RECURSE ${STAGE_DIR})
execute_process(COMMAND ${CMAKE_COMMAND} -E env DESTDIR=${STAGE_DIR} ${CMAKE_COMMAND} --install
                        ${BUILD_DIR} RESULT_VARIABLE result OUTPUT_QUIET)
set(bin ${STAGE_DIR}${PREFIX}/bin)
set(share ${STAGE_DIR}${PREFIX}/share)
foreach(path ${bin}/velmar-converter-update ${bin}/velmar-converter-cli
        ${share}/man/man1/velmar-converter-cli.1 ${share}/velmar-converter-update/config
        ${share}/velmar-converter-update/data
        ${share}/applications/org.velmar.ConverterUpdate.desktop
        ${share}/metainfo/org.velmar.ConverterUpdate.metainfo.xml
        ${share}/icons/hicolor/scalable/apps/org.velmar.ConverterUpdate.svg
        ${share}/icons/hicolor/128x128/apps/org.velmar.ConverterUpdate.png)
    if(NOT result EQUAL 0 OR NOT EXISTS ${path})
        message(FATAL_ERROR "cmake --install failed (${result}) or did not install ${path}")
    endif()
endforeach()
file(GLOB_RECURSE rules ${STAGE_DIR}/*/70-velmar-converter.rules)
if(NOT rules)
    message(FATAL_ERROR "the udev rule was not installed")
endif()
file(REMOVE_RECURSE ${STAGE_DIR})
