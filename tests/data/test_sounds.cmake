# The sound files of the reader tests, made at build time from one spoken
# announcement with espeak-ng, sox, flac, oggenc, opusenc, ffmpeg and lame on
# the build machine (for both the native and the Windows build).
function(sirelta_add_test_sounds target folder)
  set(script ${PROJECT_SOURCE_DIR}/tests/data/make_test_sounds.sh)
  add_custom_command(
    OUTPUT ${folder}/stamp
    COMMAND bash ${script} ${folder}
    DEPENDS ${script}
    COMMENT "Making the test sound files"
    VERBATIM)
  add_custom_target(${target} DEPENDS ${folder}/stamp)
endfunction()
