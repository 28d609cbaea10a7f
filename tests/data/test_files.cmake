# Sound files of the reader tests, made at build time by a script of
# tests/data on the build machine (for both the native and the Windows build):
# make_test_mp3s.sh with sox and lame, make_test_sounds.sh from one spoken
# announcement with espeak-ng, sox, flac, oggenc, opusenc, ffmpeg and lame.
function(sirelta_add_test_files target name folder)
  set(script ${PROJECT_SOURCE_DIR}/tests/data/${name})
  add_custom_command(
    OUTPUT ${folder}/stamp
    COMMAND bash ${script} ${folder}
    DEPENDS ${script}
    COMMENT "Making the test sound files (${name})"
    VERBATIM)
  add_custom_target(${target} DEPENDS ${folder}/stamp)
endfunction()
