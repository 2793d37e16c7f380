# The release a user downloads: one zip, made by `cmake --build build/win --target package`.
#   Varnel-<version>-win64.zip   Varnel.exe, PermissionInfo.cfg, adb\aapt.exe (ours), 使用说明.txt,
#                                licenses\ (those of the libraries built into the program)
# Only what is installed here is packed: the SDK tool stand-ins and the test programs stay out,
# and adb.exe with its two DLLs is the user's to add from the SDK (the 使用说明 says how).
install(TARGETS Varnel RUNTIME DESTINATION .)
install(TARGETS aapt RUNTIME DESTINATION adb)
install(FILES ${CMAKE_SOURCE_DIR}/data/PermissionInfo.cfg ${CMAKE_SOURCE_DIR}/data/使用说明.txt DESTINATION .)
# The licences of libwebp, FreeType and OpenSSL come from the sources the cross tree built them from
# (cmake/VarnelThirdParty.cmake); named .txt, so that a double-click opens them.
if(VARNEL_WEBP_SOURCE_DIR)
    install(FILES ${VARNEL_WEBP_SOURCE_DIR}/COPYING DESTINATION licenses/libwebp RENAME COPYING.txt)
    install(FILES ${VARNEL_WEBP_SOURCE_DIR}/PATENTS DESTINATION licenses/libwebp RENAME PATENTS.txt)
endif()
if(VARNEL_FREETYPE_SOURCE_DIR)
    install(FILES ${VARNEL_FREETYPE_SOURCE_DIR}/docs/FTL.TXT DESTINATION licenses/FreeType)
endif()
if(VARNEL_OPENSSL_SOURCE_DIR)
    install(FILES ${VARNEL_OPENSSL_SOURCE_DIR}/LICENSE.txt DESTINATION licenses/OpenSSL)
endif()

if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(varnel_platform win64)
else()
    set(varnel_platform win32)
endif()
set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME Varnel)
set(CPACK_PACKAGE_VENDOR Quorly)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME Varnel-${PROJECT_VERSION}-${varnel_platform})
# The files at the zip's top: Explorer's "extract all" and the usual tools already make a folder
# named after the zip, which a folder inside would only repeat.
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR})
include(CPack)
