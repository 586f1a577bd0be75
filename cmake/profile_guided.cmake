# Profile-guided layout of the core and the module. A Release build first builds an instrumented
# copy of the module in profile/, runs scripts/profile_workload.py on it, and compiles zqcore and
# zqobjects with what that run counted: g++ then keeps the paths the workload ran together and
# moves rarely taken branches out of them, so the main roads of the module touch fewer
# instruction-cache lines per call. The instrumented build takes the compiler and flags of this
# one, so that its counts match the code compiled here. Any change to a source of either retrains.

set(ZQ_PROFILE_BUILD ${CMAKE_BINARY_DIR}/profile)
set(ZQ_PROFILE_STAMP ${ZQ_PROFILE_BUILD}/trained.stamp)
set(ZQ_PROFILE_WORKLOAD ${CMAKE_SOURCE_DIR}/scripts/profile_workload.py)
file(GLOB_RECURSE ZQ_PROFILED_FILES CONFIGURE_DEPENDS
     ${CMAKE_SOURCE_DIR}/core/src/* ${CMAKE_SOURCE_DIR}/module/src/* ${CMAKE_SOURCE_DIR}/module/exports.map)

add_custom_command(
  OUTPUT ${ZQ_PROFILE_STAMP}
  COMMAND ${CMAKE_COMMAND} -S ${CMAKE_SOURCE_DIR} -B ${ZQ_PROFILE_BUILD} -G ${CMAKE_GENERATOR}
          -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_COMPILER=${CMAKE_CXX_COMPILER}
          -DCMAKE_CXX_FLAGS=${CMAKE_CXX_FLAGS} -DCMAKE_CXX_FLAGS_RELEASE=${CMAKE_CXX_FLAGS_RELEASE}
          -DPython3_EXECUTABLE=${Python3_EXECUTABLE} -DZQ_PGO=OFF -DZQ_LTO=${ZQ_LTO} -DZQ_PROFILE_GENERATE=ON
          -DZQ_WARNINGS_AS_ERRORS=${ZQ_WARNINGS_AS_ERRORS}
          -DZQ_BUILD_TESTS=OFF -DZQ_BUILD_BENCH=OFF
  COMMAND ${CMAKE_COMMAND} --build ${ZQ_PROFILE_BUILD} --target zqobjects
  COMMAND ${CMAKE_COMMAND} -DFROM=${ZQ_PROFILE_BUILD} -P ${CMAKE_SOURCE_DIR}/cmake/copy_profiles.cmake
  COMMAND ${CMAKE_COMMAND} -E env PYTHONPATH=${ZQ_PROFILE_BUILD}/python PYTHONDONTWRITEBYTECODE=1
          ${Python3_EXECUTABLE} ${ZQ_PROFILE_WORKLOAD}
  COMMAND ${CMAKE_COMMAND} -DFROM=${ZQ_PROFILE_BUILD} -DTO=${CMAKE_BINARY_DIR}
          -P ${CMAKE_SOURCE_DIR}/cmake/copy_profiles.cmake
  COMMAND ${CMAKE_COMMAND} -E touch ${ZQ_PROFILE_STAMP}
  DEPENDS ${ZQ_PROFILED_FILES} ${ZQ_PROFILE_WORKLOAD} ${CMAKE_SOURCE_DIR}/cmake/copy_profiles.cmake
  COMMENT "Training the code layout: an instrumented module runs scripts/profile_workload.py"
  VERBATIM)
add_custom_target(zq_profile DEPENDS ${ZQ_PROFILE_STAMP})

# A missing profile (a file the workload never reached) or one that no longer matches its
# source leaves that file compiled as without profiles, with a warning.
set(ZQ_PROFILE_USE -fprofile-use -fprofile-partial-training -Wno-missing-profile
    -Wno-error=coverage-mismatch)
foreach(target zqcore zqobjects)
  add_dependencies(${target} zq_profile)
  target_compile_options(${target} PRIVATE ${ZQ_PROFILE_USE})
  get_target_property(sources ${target} SOURCES)
  set_property(SOURCE ${sources} TARGET_DIRECTORY ${target} APPEND PROPERTY OBJECT_DEPENDS ${ZQ_PROFILE_STAMP})
endforeach()
