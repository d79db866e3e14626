# Our own Master System programs (the demo and the test programs) are written
# in Z80 assembly and assembled during the build with pasmo.
find_program(PASMO pasmo REQUIRED)

# Every program lands in one folder of the build tree, where tests find it as
# ${TARVEN_ROMS}/NAME.sms (or .gg).
set(TARVEN_ROMS "${CMAKE_BINARY_DIR}/roms")
set(TARVEN_ROM_INCLUDE "${CMAKE_SOURCE_DIR}/roms/include")

# add_z80_program(NAME SOURCE [EXTENSION]) assembles SOURCE into
# ${TARVEN_ROMS}/NAME.EXTENSION (sms unless given) as part of the default build.
# A Game Gear program (gg) is assembled with GAME_GEAR defined, so one source
# can serve both consoles (`if defined GAME_GEAR`).
function(add_z80_program name source)
    set(extension sms)
    if(ARGC GREATER 2)
        set(extension ${ARGV2})
    endif()
    set(defines)
    if(extension STREQUAL "gg")
        set(defines --equ GAME_GEAR)
    endif()
    set(output "${TARVEN_ROMS}/${name}.${extension}")
    file(GLOB includes "${TARVEN_ROM_INCLUDE}/*.inc" "${CMAKE_CURRENT_SOURCE_DIR}/*.inc")
    add_custom_command(
        OUTPUT ${output}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${TARVEN_ROMS}
        # pasmo looks for INCLUDE files in the folder it runs in and in the
        # folders given with -I: here the source's own folder.
        COMMAND ${PASMO} ${defines} -I ${CMAKE_CURRENT_SOURCE_DIR} --bin ${CMAKE_CURRENT_SOURCE_DIR}/${source} ${output}
        WORKING_DIRECTORY ${TARVEN_ROM_INCLUDE}
        DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${source} ${includes}
        COMMENT "Assembling ${name}.${extension}"
        VERBATIM)
    add_custom_target(rom_${name} ALL DEPENDS ${output})
endfunction()
