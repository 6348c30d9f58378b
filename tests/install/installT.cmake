# Installs into temporary DESTDIRs (with HOME pointed into the work folder) and checks
# where every file lands: the built tree without a prefix and with --prefix /usr/local
# and /opt/tessarine, then a small project using the same rule configured without a
# prefix, with an explicit /usr/local, with an override folder, and set back to none.
#
#   cmake -DBUILD_DIR=... -DCONFIGURED_PREFIX=... -DARTEFACTS=name:prefixdir:homedir;...
#         -DRULE_PROJECT=... -DWORK_DIR=... -P installT.cmake
cmake_minimum_required(VERSION 3.25)

set(home ${WORK_DIR}/home)
file(REMOVE_RECURSE ${WORK_DIR})
set(failures 0)

# Installs `tree` into a fresh DESTDIR with the given extra arguments and compares the
# files found there with `expected` (paths below DESTDIR).
function(check_install name tree expected)
  set(destdir ${WORK_DIR}/${name})
  execute_process(
    COMMAND ${CMAKE_COMMAND} -E env DESTDIR=${destdir} HOME=${home}
            ${CMAKE_COMMAND} --install ${tree} ${ARGN}
    RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
  file(GLOB_RECURSE found LIST_DIRECTORIES false RELATIVE ${destdir} ${destdir}/*)
  set(want "")
  foreach(path ${expected})
    string(REGEX REPLACE "^/" "" path "${path}")
    list(APPEND want "${path}")
  endforeach()
  list(SORT found)
  list(SORT want)
  if(NOT status EQUAL 0 OR NOT found STREQUAL want)
    message(SEND_ERROR "${name} (cmake --install ${ARGN}): status ${status}\n"
                       "  expected: ${want}\n  found:    ${found}\n${output}")
    math(EXPR failures "${failures} + 1")
    set(failures ${failures} PARENT_SCOPE)
  else()
    message(STATUS "${name}: ${found}")
  endif()
endfunction()

# The files of ARTEFACTS under the user's folders or under `prefix`.
function(expected_files out prefix)
  set(files "")
  foreach(artefact ${ARTEFACTS})
    string(REPLACE ":" ";" parts "${artefact}")
    list(GET parts 0 file)
    list(GET parts 1 prefixDir)
    list(GET parts 2 homeDir)
    if(prefix STREQUAL "")
      list(APPEND files ${home}/${homeDir}/${file})
    else()
      list(APPEND files ${prefix}/${prefixDir}/${file})
    endif()
  endforeach()
  set(${out} ${files} PARENT_SCOPE)
endfunction()

# The built tree, as configured.
expected_files(configured "${CONFIGURED_PREFIX}")
check_install(built ${BUILD_DIR} "${configured}")
foreach(prefix /usr/local /opt/tessarine)
  expected_files(under ${prefix})
  string(REPLACE "/" "-" name "built${prefix}")
  check_install(${name} ${BUILD_DIR} "${under}" --prefix ${prefix})
endforeach()

# The rule itself, configured every way.
set(ARTEFACTS "plugin.so:lib/vst:.vst;tool:bin:.local/bin")
set(rule ${WORK_DIR}/rule)
function(configure_rule)
  execute_process(COMMAND ${CMAKE_COMMAND} -S ${RULE_PROJECT} -B ${rule} ${ARGN}
                  RESULT_VARIABLE status OUTPUT_QUIET ERROR_VARIABLE error)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "configuring the rule project failed: ${error}")
  endif()
endfunction()

configure_rule()
expected_files(user "")
expected_files(usrLocal /usr/local)
expected_files(opt /opt/x)
check_install(default ${rule} "${user}")
check_install(default-usr-local ${rule} "${usrLocal}" --prefix /usr/local)

file(REMOVE_RECURSE ${rule})
configure_rule(-DCMAKE_INSTALL_PREFIX=/usr/local)
check_install(configured-usr-local ${rule} "${usrLocal}")
check_install(configured-usr-local-opt ${rule} "${opt}" --prefix /opt/x)

configure_rule(-DOVERRIDE=/plugins)
check_install(override ${rule} "/plugins/plugin.so;/usr/local/bin/tool")

configure_rule(-DOVERRIDE= -DCMAKE_INSTALL_PREFIX=)
check_install(back-to-none ${rule} "${user}")

if(failures GREATER 0)
  message(FATAL_ERROR "${failures} install checks failed")
endif()
file(REMOVE_RECURSE ${WORK_DIR})
