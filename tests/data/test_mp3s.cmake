# The MP3 files of the reader tests, made at build time with sox and lame on
# the build machine (for both the native and the Windows build).
function(sirelta_add_test_mp3s target folder)
  find_program(SIRELTA_SOX sox REQUIRED)
  find_program(SIRELTA_LAME lame REQUIRED)
  set(script ${PROJECT_SOURCE_DIR}/tests/data/make_test_mp3s.sh)
  add_custom_command(
    OUTPUT ${folder}/stamp
    COMMAND sh ${script} ${folder}
    DEPENDS ${script}
    COMMENT "Making the test MP3 files"
    VERBATIM)
  add_custom_target(${target} DEPENDS ${folder}/stamp)
endfunction()
