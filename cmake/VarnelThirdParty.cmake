# The libraries we use besides zlib, as link targets of the same name in every tree:
#   varnel_webp      libwebp and libwebpdemux (WebP pictures, the first frame of an animated one)
#   varnel_freetype  FreeType (its outline rasteriser and stroker draw vector icons)
#   varnel_crypto    OpenSSL's libcrypto (digests, signatures, certificates of signed packages)
# The native and fuzz trees use Debian's -dev packages. Debian has no mingw-w64 builds of these, so
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
    pkg_check_modules(VARNEL_CRYPTO REQUIRED IMPORTED_TARGET libcrypto)
    add_library(varnel_crypto INTERFACE)
    target_link_libraries(varnel_crypto INTERFACE PkgConfig::VARNEL_CRYPTO)
    return()
endif()

if(NOT CMAKE_CROSSCOMPILING)
    find_package(WebP CONFIG REQUIRED)
    find_package(Freetype REQUIRED)
    add_library(varnel_webp INTERFACE)
    target_link_libraries(varnel_webp INTERFACE WebP::webpdemux WebP::webp)
    add_library(varnel_freetype INTERFACE)
    target_link_libraries(varnel_freetype INTERFACE Freetype::Freetype)
    find_package(OpenSSL REQUIRED COMPONENTS Crypto)
    add_library(varnel_crypto INTERFACE)
    target_link_libraries(varnel_crypto INTERFACE OpenSSL::Crypto)
    return()
endif()

set(VARNEL_THIRD_PARTY_DIR ${CMAKE_BINARY_DIR}/third-party)

# varnel_debian_version(<variable> <installed -dev package>): the installed package's version.
function(varnel_debian_version variable dev)
    execute_process(COMMAND dpkg-query -W -f=\${Version} ${dev}
                    OUTPUT_VARIABLE version RESULT_VARIABLE status ERROR_QUIET)
    if(NOT status EQUAL 0 OR version STREQUAL "")
        message(FATAL_ERROR "The Windows build takes its libraries' versions from Debian's -dev packages, and "
                            "${dev} is not installed (cmake/deps.sh lists it).")
    endif()
    set(${variable} ${version} PARENT_SCOPE)
endfunction()

# varnel_debian_library(<prefix> SOURCE <source package> DEV <installed -dev package>
#                       [OPTIONS <-D arguments for its CMake build...>])
# Fetches the source (cmake/debian-source.sh), builds it statically with our toolchain and installs
# it into third-party/<source package>/install. Sets <prefix>_VERSION, <prefix>_SOURCE_DIR and
# <prefix>_PREFIX. A stamp records what was built, so later configures neither fetch nor build.
function(varnel_debian_library prefix)
    cmake_parse_arguments(L "" "SOURCE;DEV" "OPTIONS" ${ARGN})
    varnel_debian_version(version ${L_DEV})
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

# OpenSSL builds with its own Perl Configure and make rather than CMake. Only libcrypto.a is made
# (the SSL library, the command-line program and the tests are never built; OpenSSL 3.0 has no
# switch for the last two, its own make target for the first); verification needs digests, public
# keys, certificates and PKCS#7, so the protocols, engines, loadable modules and the ciphers and
# digests nobody signs with are left out, which keeps the build to a few minutes on two cores.
set(VARNEL_OPENSSL_OPTIONS mingw64 --cross-compile-prefix=${VARNEL_MINGW_PREFIX}- no-shared no-tests
    no-module no-legacy no-engine no-dso no-ssl no-tls no-dtls no-sock no-ui-console no-autoload-config
    no-comp no-ct no-ocsp no-ts no-srp no-srtp no-cms no-cmp no-psk no-async no-multiblock no-filenames
    no-md4 no-mdc2 no-rmd160 no-whirlpool no-rc2 no-rc4 no-rc5 no-idea no-seed no-bf no-cast no-camellia
    no-aria no-sm2 no-sm3 no-sm4 no-des no-scrypt no-siphash no-ec2m no-gost no-dh no-chacha no-poly1305
    no-ocb no-siv no-ssl-trace)
function(varnel_debian_openssl)
    varnel_debian_version(version libssl-dev)
    set(work ${VARNEL_THIRD_PARTY_DIR}/openssl)
    execute_process(COMMAND sh ${CMAKE_SOURCE_DIR}/cmake/debian-source.sh openssl ${version} ${work}
                    RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "Could not fetch Debian's source of openssl ${version}.")
    endif()
    set(prefixDir ${work}/install)
    set(stamp ${work}/built.stamp)
    set(wanted "${version} ${VARNEL_OPENSSL_OPTIONS}")
    if(EXISTS ${stamp})
        file(READ ${stamp} built)
    endif()
    if(NOT built STREQUAL wanted)
        message(STATUS "Building OpenSSL's libcrypto ${version} for Windows (a few minutes)")
        file(REMOVE_RECURSE ${work}/build ${prefixDir} ${stamp})
        file(MAKE_DIRECTORY ${work}/build)
        find_program(VARNEL_PERL perl REQUIRED)
        find_program(VARNEL_MAKE make REQUIRED)
        cmake_host_system_information(RESULT jobs QUERY NUMBER_OF_LOGICAL_CORES)
        string(TIMESTAMP started %s)
        # CC named outright: CMake's own CC in the environment would otherwise follow the prefix.
        set(configure ${VARNEL_PERL} ${work}/src/Configure ${VARNEL_OPENSSL_OPTIONS} CC=gcc)
        # The generated headers first: libcrypto.a alone does not ask for all of them.
        set(build ${VARNEL_MAKE} -j${jobs} build_generated libcrypto.a)
        foreach(step configure build)
            execute_process(COMMAND ${${step}} WORKING_DIRECTORY ${work}/build OUTPUT_FILE ${work}/${step}.log
                            ERROR_FILE ${work}/${step}.log RESULT_VARIABLE status)
            if(NOT status EQUAL 0)
                message(FATAL_ERROR "Building OpenSSL failed; see ${work}/${step}.log.")
            endif()
        endforeach()
        file(MAKE_DIRECTORY ${prefixDir}/lib ${prefixDir}/include)
        file(COPY ${work}/build/libcrypto.a DESTINATION ${prefixDir}/lib)
        # The public headers: those of the source and those Configure generated (opensslv.h and
        # configuration.h among them).
        file(COPY ${work}/src/include/openssl ${work}/build/include/openssl DESTINATION ${prefixDir}/include
             FILES_MATCHING PATTERN "*.h")
        string(TIMESTAMP finished %s)
        math(EXPR seconds "${finished} - ${started}")
        message(STATUS "OpenSSL's libcrypto built in ${seconds} s")
        file(WRITE ${stamp} "${wanted}")
    endif()
    set(VARNEL_OPENSSL_VERSION ${version} PARENT_SCOPE)
    set(VARNEL_OPENSSL_SOURCE_DIR ${work}/src PARENT_SCOPE)
    set(VARNEL_OPENSSL_PREFIX ${prefixDir} PARENT_SCOPE)
endfunction()
varnel_debian_openssl()

# The system libraries libcrypto calls: the random source (bcrypt, advapi32), the certificate store
# and the console it never uses but links (crypt32, user32), and Winsock for its address helpers.
varnel_imported_archive(varnel_crypto_archive ${VARNEL_OPENSSL_PREFIX}/lib/libcrypto.a ws2_32 crypt32 bcrypt
                        advapi32 user32)
add_library(varnel_crypto INTERFACE)
target_include_directories(varnel_crypto SYSTEM INTERFACE ${VARNEL_OPENSSL_PREFIX}/include)
target_link_libraries(varnel_crypto INTERFACE varnel_crypto_archive)

message(STATUS "Windows builds of libwebp ${VARNEL_WEBP_VERSION}, FreeType ${VARNEL_FREETYPE_VERSION} and OpenSSL "
               "${VARNEL_OPENSSL_VERSION} in ${VARNEL_THIRD_PARTY_DIR}")
