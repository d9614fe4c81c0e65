# Refreshes the catalogues from the source folders that exist (run by the `lupdate` target).
file(GLOB CATALOGUES ${CATALOGUE_DIR}/*.ts)
set(folders)
foreach(dir common settings device mail history power room metrics service cli ui app)
    if(IS_DIRECTORY ${SOURCE_DIR}/${dir})
        list(APPEND folders ${SOURCE_DIR}/${dir})
    endif()
endforeach()
execute_process(COMMAND ${LUPDATE} -no-obsolete -locations none -silent -I ${SOURCE_DIR} ${folders} -ts ${CATALOGUES}
    WORKING_DIRECTORY ${SOURCE_DIR} RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "lupdate failed")
endif()
