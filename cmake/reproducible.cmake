# The same commit gives the same bytes, wherever and whenever it is built.
# Every time stamp the tools write (the PE header's, the export table's, the
# setups' stored file times) is ZEPH_SOURCE_DATE_EPOCH: SOURCE_DATE_EPOCH when
# the caller sets one, else the date of the commit checked out. Moving HEAD
# configures again, so a new commit relinks with its own date.
if(DEFINED ENV{SOURCE_DATE_EPOCH})
  set(ZEPH_SOURCE_DATE_EPOCH $ENV{SOURCE_DATE_EPOCH})
else()
  find_package(Git QUIET)
  if(GIT_FOUND)
    execute_process(COMMAND ${GIT_EXECUTABLE} log -1 --format=%ct
      WORKING_DIRECTORY ${CMAKE_SOURCE_DIR} OUTPUT_VARIABLE ZEPH_SOURCE_DATE_EPOCH
      OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    execute_process(COMMAND ${GIT_EXECUTABLE} rev-parse --absolute-git-dir
      WORKING_DIRECTORY ${CMAKE_SOURCE_DIR} OUTPUT_VARIABLE git_dir
      OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    foreach(moves HEAD logs/HEAD)
      if(git_dir AND EXISTS ${git_dir}/${moves})
        set_property(DIRECTORY ${CMAKE_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${git_dir}/${moves})
      endif()
    endforeach()
  endif()
  if(NOT ZEPH_SOURCE_DATE_EPOCH MATCHES "^[0-9]+$")
    # A source tree without its history: the time of its CMakeLists.txt stands in.
    file(TIMESTAMP ${CMAKE_SOURCE_DIR}/CMakeLists.txt ZEPH_SOURCE_DATE_EPOCH "%s" UTC)
    message(STATUS "No commit to date the build by: SOURCE_DATE_EPOCH=${ZEPH_SOURCE_DATE_EPOCH} from CMakeLists.txt")
  endif()
endif()
# The checks of the shipped files compare with it.
file(WRITE ${CMAKE_BINARY_DIR}/source_date_epoch.txt "${ZEPH_SOURCE_DATE_EPOCH}\n")

# ld takes the time stamp from the environment (for the header and export table).
set(ZEPH_LINK_LAUNCHER ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${ZEPH_SOURCE_DATE_EPOCH})
set(CMAKE_C_LINKER_LAUNCHER ${ZEPH_LINK_LAUNCHER})
set(CMAKE_CXX_LINKER_LAUNCHER ${ZEPH_LINK_LAUNCHER})
# No build path in a binary (__FILE__, debug information): the compiler runs in
# the build folder, so both it and the source folder are mapped, the build
# folder first because it lies inside the source folder in the presets.
add_compile_options($<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${CMAKE_BINARY_DIR}=build>
                    $<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${CMAKE_SOURCE_DIR}=.>)
