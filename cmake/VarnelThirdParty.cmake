# The two libraries the icon needs besides zlib, as link targets of the same name in every tree:
#   varnel_webp      libwebp and libwebpdemux (WebP pictures, the first frame of an animated one)
#   varnel_freetype  FreeType (its outline rasteriser and stroker draw vector icons)
# The native and fuzz trees use Debian's -dev packages. Debian has no mingw-w64 builds of either, so
# the cross tree builds them at configure time from Debian's source packages, at the version of the
# installed -dev package: both trees then run the same library code, Debian's patches included.
# A Windows-hosted build (vcpkg) takes the packages' own CMake files.

if(NOT WIN32)
    find_package(PkgConfig REQUIRED)
    pkg_check_modules(VARNEL_WEBP REQUIRED IMPORTED_TARGET libwebp libwebpdemux)
    pkg_check_modules(VARNEL_FREETYPE REQUIRED IMPORTED_TARGET freetype2)
    add_library(varnel_webp INTERFACE)
    target_link_libraries(varnel_webp INTERFACE PkgConfig::VARNEL_WEBP)
    add_library(varnel_freetype INTERFACE)
    target_link_libraries(varnel_freetype INTERFACE PkgConfig::VARNEL_FREETYPE)
    return()
endif()

if(NOT CMAKE_CROSSCOMPILING)
    find_package(WebP CONFIG REQUIRED)
    find_package(Freetype REQUIRED)
    add_library(varnel_webp INTERFACE)
    target_link_libraries(varnel_webp INTERFACE WebP::webpdemux WebP::webp)
    add_library(varnel_freetype INTERFACE)
    target_link_libraries(varnel_freetype INTERFACE Freetype::Freetype)
    return()
endif()

set(VARNEL_THIRD_PARTY_DIR ${CMAKE_BINARY_DIR}/third-party)

# varnel_debian_library(<prefix> SOURCE <source package> DEV <installed -dev package>
#                       [OPTIONS <-D arguments for its CMake build...>])
# Fetches the source (cmake/debian-source.sh), builds it statically with our toolchain and installs
# it into third-party/<source package>/install. Sets <prefix>_VERSION, <prefix>_SOURCE_DIR and
# <prefix>_PREFIX. A stamp records what was built, so later configures neither fetch nor build.
function(varnel_debian_library prefix)
    cmake_parse_arguments(L "" "SOURCE;DEV" "OPTIONS" ${ARGN})
    execute_process(COMMAND dpkg-query -W -f=\${Version} ${L_DEV}
                    OUTPUT_VARIABLE version RESULT_VARIABLE status ERROR_QUIET)
    if(NOT status EQUAL 0 OR version STREQUAL "")
        message(FATAL_ERROR "The Windows build takes ${L_SOURCE}'s version from Debian's ${L_DEV}, which is not "
                            "installed (cmake/deps.sh lists it).")
    endif()
    set(work ${VARNEL_THIRD_PARTY_DIR}/${L_SOURCE})
    execute_process(COMMAND sh ${CMAKE_SOURCE_DIR}/cmake/debian-source.sh ${L_SOURCE} ${version} ${work}
                    RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "Could not fetch Debian's source of ${L_SOURCE} ${version}.")
    endif()

    set(prefixDir ${work}/install)
    set(arguments -G ${CMAKE_GENERATOR} -DCMAKE_MAKE_PROGRAM=${CMAKE_MAKE_PROGRAM}
                  -DCMAKE_TOOLCHAIN_FILE=${CMAKE_TOOLCHAIN_FILE} -DCMAKE_BUILD_TYPE=Release
                  -DCMAKE_INSTALL_PREFIX=${prefixDir} -DBUILD_SHARED_LIBS=OFF ${L_OPTIONS})
    set(stamp ${work}/built.stamp)
    set(wanted "${version} ${arguments}")
    if(EXISTS ${stamp})
        file(READ ${stamp} built)
    endif()
    if(NOT built STREQUAL wanted)
        message(STATUS "Building ${L_SOURCE} ${version} for Windows")
        file(REMOVE_RECURSE ${work}/build ${prefixDir} ${stamp})
        cmake_host_system_information(RESULT jobs QUERY NUMBER_OF_LOGICAL_CORES)
        set(configure -S ${work}/src -B ${work}/build ${arguments})
        set(build --build ${work}/build --parallel ${jobs})
        set(install --install ${work}/build)
        foreach(step configure build install)
            execute_process(COMMAND ${CMAKE_COMMAND} ${${step}} OUTPUT_FILE ${work}/${step}.log
                            ERROR_FILE ${work}/${step}.log RESULT_VARIABLE status)
            if(NOT status EQUAL 0)
                message(FATAL_ERROR "Building ${L_SOURCE} failed; see ${work}/${step}.log.")
            endif()
        endforeach()
        file(WRITE ${stamp} "${wanted}")
    endif()
    set(${prefix}_VERSION ${version} PARENT_SCOPE)
    set(${prefix}_SOURCE_DIR ${work}/src PARENT_SCOPE)
    set(${prefix}_PREFIX ${prefixDir} PARENT_SCOPE)
endfunction()

# Libraries only: no tools, no examples, no encoder-side extras.
varnel_debian_library(VARNEL_WEBP SOURCE libwebp DEV libwebp-dev OPTIONS
    -DWEBP_BUILD_ANIM_UTILS=OFF -DWEBP_BUILD_CWEBP=OFF -DWEBP_BUILD_DWEBP=OFF -DWEBP_BUILD_GIF2WEBP=OFF
    -DWEBP_BUILD_IMG2WEBP=OFF -DWEBP_BUILD_VWEBP=OFF -DWEBP_BUILD_WEBPINFO=OFF -DWEBP_BUILD_WEBPMUX=OFF
    -DWEBP_BUILD_LIBWEBPMUX=OFF -DWEBP_BUILD_EXTRAS=OFF)
# The outline rasteriser and stroker need none of FreeType's optional codecs and shapers. Its gzip
# support is always built, and without a zlib of its own choosing it carries a copy of zlib that
# clashes with ours at link time: it is given ours.
varnel_debian_library(VARNEL_FREETYPE SOURCE freetype DEV libfreetype-dev OPTIONS
    -DFT_REQUIRE_ZLIB=ON -DFT_DISABLE_BZIP2=ON -DFT_DISABLE_PNG=ON -DFT_DISABLE_HARFBUZZ=ON -DFT_DISABLE_BROTLI=ON)

# Imported archives, each naming what it calls into, so that the linker sees every archive after
# the ones that need it, whatever else names zlib earlier on the line.
function(varnel_imported_archive name path)
    add_library(${name} STATIC IMPORTED GLOBAL)
    set_target_properties(${name} PROPERTIES IMPORTED_LOCATION ${path} INTERFACE_LINK_LIBRARIES "${ARGN}")
endfunction()
varnel_imported_archive(varnel_webp_decoder ${VARNEL_WEBP_PREFIX}/lib/libwebp.a)
varnel_imported_archive(varnel_webp_demux ${VARNEL_WEBP_PREFIX}/lib/libwebpdemux.a varnel_webp_decoder)
varnel_imported_archive(varnel_freetype_archive ${VARNEL_FREETYPE_PREFIX}/lib/libfreetype.a ZLIB::ZLIB)

add_library(varnel_webp INTERFACE)
target_include_directories(varnel_webp SYSTEM INTERFACE ${VARNEL_WEBP_PREFIX}/include)
target_link_libraries(varnel_webp INTERFACE varnel_webp_demux)
add_library(varnel_freetype INTERFACE)
target_include_directories(varnel_freetype SYSTEM INTERFACE ${VARNEL_FREETYPE_PREFIX}/include/freetype2)
target_link_libraries(varnel_freetype INTERFACE varnel_freetype_archive)
message(STATUS "Windows builds of libwebp ${VARNEL_WEBP_VERSION} and FreeType ${VARNEL_FREETYPE_VERSION} "
               "in ${VARNEL_THIRD_PARTY_DIR}")
