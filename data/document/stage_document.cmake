# Copies SOURCE to FILE unless FILE exists: a document the user has saved
# there is his.
if(NOT EXISTS "${FILE}")
    get_filename_component(dir "${FILE}" DIRECTORY)
    file(MAKE_DIRECTORY "${dir}")
    file(COPY_FILE "${SOURCE}" "${FILE}")
endif()
