# The two libraries the icon needs besides zlib, as link targets of the same name in every tree:
#   varnel_webp      libwebp and libwebpdemux (WebP pictures, the first frame of an animated one)
#   varnel_freetype  FreeType (its outline rasteriser and stroker draw vector icons)
# The native and fuzz trees use Debian's -dev packages.

if(NOT WIN32)
    find_package(PkgConfig REQUIRED)
    pkg_check_modules(VARNEL_WEBP REQUIRED IMPORTED_TARGET libwebp libwebpdemux)
    pkg_check_modules(VARNEL_FREETYPE REQUIRED IMPORTED_TARGET freetype2)
    add_library(varnel_webp INTERFACE)
    target_link_libraries(varnel_webp INTERFACE PkgConfig::VARNEL_WEBP)
    add_library(varnel_freetype INTERFACE)
    target_link_libraries(varnel_freetype INTERFACE PkgConfig::VARNEL_FREETYPE)
endif()
