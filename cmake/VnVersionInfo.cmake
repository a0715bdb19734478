# Writes generated/VnVersionInfo.rc, the version resource of the Windows programs, from the
# project's version and the copyright line of the language file (the English lblCopyright text).
set(VN_LANGUAGE_FILE ${CMAKE_SOURCE_DIR}/payload/VNT_Setup.lng)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${VN_LANGUAGE_FILE})
file(READ ${VN_LANGUAGE_FILE} languageText)
if(NOT languageText MATCHES "name=\"lblCopyright\"><en>([^<&\"]+)</en>")
    message(FATAL_ERROR "${VN_LANGUAGE_FILE} has no plain English text of lblCopyright")
endif()
set(VN_COPYRIGHT "${CMAKE_MATCH_1}") # Windows-1251 bytes, as the script's code page says
set(VN_PRODUCT_NAME "Vantro Mail Server")
set(VN_VERSION_NUMBERS "${PROJECT_VERSION_MAJOR},${VNT_VERSION_MINOR},0,0") # "3.08": 3.8.0.0
set(VN_VERSION_TEXT "${PROJECT_VERSION_MAJOR}.${VNT_VERSION_MINOR}.0.0")
configure_file(${CMAKE_SOURCE_DIR}/src/setup/res/VnVersionInfo.rc.in
               ${CMAKE_CURRENT_BINARY_DIR}/generated/VnVersionInfo.rc @ONLY)
