# The new-mail chime, unread.wav, is drawn by tools/make_unread_wav.py at build time and put beside
# Quorvel.exe, where the program looks for it. No binary lives in the repository.
# Included by app/CMakeLists.txt once the Quorvel target exists.
find_package(Python3 COMPONENTS Interpreter)
if(NOT Python3_Interpreter_FOUND)
    # The program still runs: without the file it plays the system's default beep.
    message(WARNING "Python 3 not found: unread.wav is not made")
    return()
endif()

set(quorvel_unread_wav "${PROJECT_BINARY_DIR}/unread.wav")
add_custom_command(OUTPUT "${quorvel_unread_wav}"
    COMMAND Python3::Interpreter "${PROJECT_SOURCE_DIR}/tools/make_unread_wav.py" "${quorvel_unread_wav}"
    DEPENDS "${PROJECT_SOURCE_DIR}/tools/make_unread_wav.py"
    COMMENT "Drawing unread.wav"
    VERBATIM)
add_custom_target(quorvel_unread_wav DEPENDS "${quorvel_unread_wav}")
add_dependencies(Quorvel quorvel_unread_wav)
# Multi-configuration generators (Visual Studio) put the program one folder deeper.
add_custom_command(TARGET Quorvel POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E copy_if_different "${quorvel_unread_wav}" "$<TARGET_FILE_DIR:Quorvel>/unread.wav"
    VERBATIM)
