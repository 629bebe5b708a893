# Which folder of src/ may include which: each layer only from those below it.
# Run as a test (cmake -P); it names every include that breaks the direction.
#   model    <- nothing of ours but itself
#   platform <- model
#   extras   <- model, platform
#   windows  <- model, platform, extras
#   frontend <- model, platform (never windows or extras: it draws any window)
set(src ${CMAKE_CURRENT_LIST_DIR}/../src)
set(forbidden_model "platform|extras|windows|frontend|app")
set(forbidden_platform "extras|windows|frontend|app")
set(forbidden_extras "windows|frontend|app")
set(forbidden_windows "frontend|app")
set(forbidden_frontend "extras|windows|app")
set(faults "")
foreach(layer model platform extras windows frontend)
  file(GLOB_RECURSE files ${src}/${layer}/*.h ${src}/${layer}/*.cpp)
  foreach(f ${files})
    file(STRINGS ${f} lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"(${forbidden_${layer}})/")
    foreach(line ${lines})
      file(RELATIVE_PATH rel ${src}/.. ${f})
      string(APPEND faults "  ${rel}: ${line}\n")
    endforeach()
  endforeach()
endforeach()
if(faults)
  message(FATAL_ERROR "includes against the layers' direction:\n${faults}")
endif()
message(STATUS "every include follows the layers' direction")
