#!/usr/bin/env bash
# Brisko's one entry point on a Debian 12 machine:
#   ./do run [ARGS...]   install what is missing, build, start the program
#   ./do test            install what is missing, build, run every test
#   ./do package         install what is missing, build the Debian packages (.deb) with CPack
#   ./do deps            only install what is missing
# Build folders: build/ (plain), build-package/ (packages); BUILD_DIR and CMAKE_ARGS override.
set -euo pipefail
cd "$(dirname "$0")"

PACKAGES=(
    build-essential cmake pkg-config ccache git
    qt6-base-dev libqt6opengl6-dev libgl-dev
    libavformat-dev libavcodec-dev libswresample-dev libavutil-dev
    portaudio19-dev libasound2-dev libjack-jackd2-dev
    libmp3lame-dev libcdio-dev libcdio-paranoia-dev
    libgtest-dev libgmock-dev googletest libbenchmark-dev
    xvfb xauth xfonts-base fonts-dejavu-core
    ffmpeg libmpv-dev clang libclang-rt-14-dev
    lame cd-paranoia qt6-tools-dev designer-qt6 imagemagick sox xdotool jackd2
)
# What building the packages needs beyond that: dpkg-shlibdeps, file (CPack), the icon renderer.
PACKAGE_TOOLS=(dpkg-dev file librsvg2-bin)

deps() {
    local missing=()
    for p in "${PACKAGES[@]}" "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    $sudo apt-get update -qq
    # sudo resets the environment: the setting goes through env (jackd2 asks a question otherwise).
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

build() {
    local dir="${BUILD_DIR:-build}"
    # shellcheck disable=SC2086
    cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo ${CMAKE_ARGS:-} >/dev/null
    cmake --build "$dir" -j"$(nproc)"
}

# The Debian packages, built for the prefix /usr with Debian's hardening flags, into
# build-package/packages/. The test suite and the benchmarks are left out of this build.
package() {
    local dir="${BUILD_DIR:-build-package}"
    # Debian's compiler and linker flags; the source folder is left out of them, so that a build
    # from another checkout finds the same objects in the compiler cache.
    local cppflags
    export DEB_BUILD_MAINT_OPTIONS="hardening=+all reproducible=-fixfilepath,-fixdebugpath"
    cppflags=$(dpkg-buildflags --get CPPFLAGS)
    # shellcheck disable=SC2086
    cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr \
        -DCMAKE_C_FLAGS="$(dpkg-buildflags --get CFLAGS) $cppflags" \
        -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CXXFLAGS) $cppflags" \
        -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" \
        -DCMAKE_SHARED_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" \
        -DCMAKE_MODULE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" \
        -DBRISKO_TESTS=OFF -DBRISKO_BENCH=OFF ${CMAKE_ARGS:-} >/dev/null
    cmake --build "$dir" -j"$(nproc)"
    rm -rf "$dir/packages"
    (cd "$dir" && cpack -G DEB >/dev/null)
    ls "$dir"/packages/*.deb
}

case "${1:-}" in
    deps) deps ;;
    run)
        shift
        deps
        build
        exe="${BUILD_DIR:-build}/app/brisko"
        if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
            echo "No display found: starting under Xvfb." >&2
            exec xvfb-run -a -s "-screen 0 1366x768x24" "$exe" "$@"
        fi
        exec "$exe" "$@"
        ;;
    package)
        deps "${PACKAGE_TOOLS[@]}"
        package
        ;;
    test)
        deps
        build
        ctest --test-dir "${BUILD_DIR:-build}" --output-on-failure -j"$(nproc)" --timeout 300
        ;;
    *)
        sed -n '2,7p' "$0" | sed 's/^# \{0,1\}//'
        exit 2
        ;;
esac
