# add_golden_picture_test(NAME GOLDEN CRC COMMAND...) adds the test
# golden_NAME: COMMAND, given --hash and --screenshot FILE, must draw the
# picture kept in the repository as GOLDEN (a PNG file, relative to the
# calling CMakeLists.txt), whose picture-crc32 is CRC
# (tools/golden_picture.sh, with picture-diff). COMMAND runs in the scratch
# folder scratch/golden_NAME of the calling folder's build directory, where
# a failed test leaves the new picture and a difference image. Like every
# whole-program test it runs through expect_output.sh, which also fails on a
# sanitizer report.
function(add_golden_picture_test name golden crc)
    add_test(NAME golden_${name}
             COMMAND ${EXPECT_OUTPUT} "^picture-crc32 ${crc}$" ${PROJECT_SOURCE_DIR}/tools/golden_picture.sh
                     ${CMAKE_CURRENT_SOURCE_DIR}/${golden} ${crc} ${CMAKE_CURRENT_BINARY_DIR}/scratch/golden_${name} ${ARGN})
    set_tests_properties(golden_${name} PROPERTIES ENVIRONMENT "PICTURE_DIFF=$<TARGET_FILE:picture-diff>" TIMEOUT 300)
endfunction()
