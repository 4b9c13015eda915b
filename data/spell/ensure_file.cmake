# Creates FILE empty when it does not exist; an existing file is the
# user's and stays as it is.
if(NOT EXISTS "${FILE}")
    get_filename_component(dir "${FILE}" DIRECTORY)
    file(MAKE_DIRECTORY "${dir}")
    file(TOUCH "${FILE}")
endif()
