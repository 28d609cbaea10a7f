# Shared set-up steps of the run and test commands. Every step checks first
# whether its work is already done, so a second run is quick.
# Sourced by scripts/run.sh and scripts/test.sh; expects ROOT to be set.

BUILD="$ROOT/build"
DEPS="$BUILD/deps"
MINGW_PREFIX="$DEPS/mingw"
export WINEPREFIX="$BUILD/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree=;mshtml="
WINE_HOME="$BUILD/winehome"

# Besides the compilers and Wine: the reference decoders for the native build,
# the tools that make the test sounds, and the GStreamer plugins through which
# Wine's Media Foundation decodes MPEG-4 (AAC) and Windows Media audio;
# ser2net, the serial server the tests of the network ports put in front of
# the siren emulator; and NSIS, which makes the set-up.
APT_PACKAGES="cmake g++ make libgtest-dev googletest g++-mingw-w64-x86-64-posix
 wine wine64 xvfb xauth x11-utils imagemagick xdotool locales dpkg-dev
 libmp3lame-dev libsoxr-dev lame sox espeak-ng python3 fonts-dejavu-core procps
 clang-format-14
 libflac-dev libvorbis-dev libogg-dev libopusfile-dev libopus-dev libebur128-dev
 flac vorbis-tools opus-tools ffmpeg pkg-config ser2net
 gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-plugins-ugly
 gstreamer1.0-libav nsis"

log() { printf '== %s\n' "$*" >&2; }

as_root() {
  if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi
}

apt_updated=0
apt_update_once() {
  [ "$apt_updated" = 1 ] && return 0
  as_root apt-get update -qq || log "apt-get update reported problems; going on"
  apt_updated=1
}

ensure_packages() {
  local missing=""
  for p in $APT_PACKAGES; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing="$missing $p"
  done
  [ -z "$missing" ] && return 0
  log "installing:$missing"
  apt_update_once
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $missing >/dev/null
}

# The program runs with the Russian ANSI code page (1251), as on a Russian
# Windows; one end-to-end test starts it as on an English one (en_US.UTF-8).
ensure_locale() {
  local name
  for name in ru_RU en_US; do
    locale -a 2>/dev/null | grep -qi "^$name\.utf-\?8\$" && continue
    log "generating the $name.UTF-8 locale"
    as_root localedef -i "$name" -f UTF-8 "$name.UTF-8"
  done
}

# GoogleTest built with the MinGW toolchain, for the Windows tests.
ensure_mingw_gtest() {
  [ -f "$MINGW_PREFIX/lib/libgtest.a" ] && return 0
  log "building GoogleTest for MinGW"
  cmake -S /usr/src/googletest -B "$DEPS/gtest-build" -G "Unix Makefiles" \
    -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64.cmake" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$MINGW_PREFIX" -Dgtest_disable_pthreads=OFF >/dev/null
  cmake --build "$DEPS/gtest-build" -j2 >/dev/null
  cmake --install "$DEPS/gtest-build" >/dev/null
}

# Libraries built for MinGW from Debian's source packages are configured,
# built and installed in a staging folder under /tmp whose path holds nothing
# but letters, digits and dashes: autotools and libtool cannot take a prefix
# with a space, and the checkout may live in a folder like "Мои проекты".
# The stage starts as a copy of $MINGW_PREFIX, so that a library finds the
# ones built before it, and is copied back when the set-up is done.
DEP_STAGE=""
open_dep_stage() {
  [ -n "$DEP_STAGE" ] && return 0
  DEP_STAGE=$(mktemp -d /tmp/sirelta-deps-XXXXXX)
  mkdir -p "$DEP_STAGE/prefix" "$MINGW_PREFIX"
  cp -a "$MINGW_PREFIX/." "$DEP_STAGE/prefix/"
}

close_dep_stage() {
  [ -n "$DEP_STAGE" ] || return 0
  # libtool archives name the stage, which is gone afterwards; nothing uses them.
  find "$DEP_STAGE/prefix" -name '*.la' -delete
  cp -a "$DEP_STAGE/prefix/." "$MINGW_PREFIX/"
  rm -rf "$DEP_STAGE"
  DEP_STAGE=""
}

# Fetches Debian's source package $1 into $DEPS/$1-src once (the release
# package ships it from there) and prints its unpacked source folder.
debian_source_dir() {
  local package=$1 src="$DEPS/$1-src"
  local -a dirs=("$src/$package"-*/)
  if [ ! -d "${dirs[0]}" ]; then
    ensure_deb_src
    mkdir -p "$src"
    (cd "$src" && apt-get source -qq "$package" >/dev/null 2>&1)
    # When the mirror lacks the Debian part of the package (it happens:
    # libebur128's debian.tar.xz), the upstream source it fetched is unpacked.
    local -a tarballs=("$src/${package}"_*.orig.tar.*)
    dirs=("$src/$package"-*/)
    if [ ! -d "${dirs[0]}" ] && [ -f "${tarballs[0]}" ]; then
      tar -xf "${tarballs[0]}" -C "$src"
      dirs=("$src/$package"-*/)
    fi
  fi
  [ -d "${dirs[0]}" ] || { log "could not fetch the source of $package"; return 1; }
  printf '%s\n' "${dirs[0]%/}"
}

# Copies Debian's source package $1 into the stage, as $DEP_STAGE/$1.
stage_debian_source() {
  local source
  source=$(debian_source_dir "$1") || return 1
  open_dep_stage
  cp -a "$source" "$DEP_STAGE/$1"
}

# Builds Debian's source package $1 for MinGW with its configure script in
# the stage; the remaining arguments go to configure. DEP_MAKE_DIRS, when set,
# names the source folders to build and install instead of the whole tree.
build_autotools_dependency() {
  local package=$1; shift
  local dir
  stage_debian_source "$package" || return 1
  (cd "$DEP_STAGE/$package" &&
    ./configure -q --host=x86_64-w64-mingw32 --enable-static --disable-shared \
      --prefix="$DEP_STAGE/prefix" "$@" >/dev/null &&
    for dir in ${DEP_MAKE_DIRS:-.}; do
      make -s -j2 -C "$dir" >/dev/null 2>&1 && make -s -C "$dir" install >/dev/null || exit 1
    done)
}

# LAME (with its MP3 decoder) built for MinGW from the Debian source package.
ensure_mingw_lame() {
  [ -f "$MINGW_PREFIX/lib/libmp3lame.a" ] && return 0
  log "building LAME for MinGW from the Debian source package"
  build_autotools_dependency lame --disable-frontend --enable-decoder \
    CC=x86_64-w64-mingw32-gcc-posix
}

# Builds Debian's source package $1, a CMake project, for MinGW in the stage:
# a static library installed into the stage's prefix; the remaining arguments
# go to CMake.
build_cmake_dependency() {
  local package=$1; shift
  stage_debian_source "$package" || return 1
  local work="$DEP_STAGE/$package"
  cmake -S "$work" -B "$work/build" -G "Unix Makefiles" -Wno-dev \
    -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64.cmake" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$DEP_STAGE/prefix" -DBUILD_SHARED_LIBS=OFF "$@" >/dev/null &&
    cmake --build "$work/build" -j2 >/dev/null &&
    cmake --install "$work/build" >/dev/null
}

# The SoX resampler library (libsoxr) built for MinGW from the Debian source
# package: the band-limited rate change of the high-quality conversion.
ensure_mingw_soxr() {
  [ -f "$MINGW_PREFIX/lib/libsoxr.a" ] && return 0
  log "building libsoxr for MinGW from the Debian source package"
  build_cmake_dependency libsoxr -DBUILD_TESTS=OFF -DBUILD_EXAMPLES=OFF -DWITH_OPENMP=OFF \
    -DWITH_LSR_BINDINGS=OFF
}

# libebur128 built for MinGW from the Debian source package: the loudness
# measurement (ITU-R BS.1770, EBU R128) of the levelling of fragments.
ensure_mingw_ebur128() {
  [ -f "$MINGW_PREFIX/lib/libebur128.a" ] && return 0
  log "building libebur128 for MinGW from the Debian source package"
  build_cmake_dependency libebur128 -DBUILD_STATIC_LIBS=ON -DENABLE_TESTS=OFF
}

# The reference decoders of FLAC, Ogg Vorbis and Opus, built for MinGW from
# Debian's source packages in the stage: libogg first, as the others find it
# there, then libvorbis (with libvorbisfile), libFLAC alone (its folder and
# its headers: no programs, C++ bindings, documentation or Ogg FLAC), libopus
# and opusfile without its web streams. pkg-config looks only into the stage.
# No fortified string functions: MinGW has them only in libssp, which the
# program does not link.
ensure_mingw_sound_decoders() {
  [ -f "$MINGW_PREFIX/lib/libopusfile.a" ] && return 0
  log "building libogg, libvorbis, libFLAC, libopus and opusfile for MinGW from the Debian source packages"
  open_dep_stage
  local prefix="$DEP_STAGE/prefix"
  local -a with_stage=(CC=x86_64-w64-mingw32-gcc-posix
    PKG_CONFIG_PATH="$prefix/lib/pkgconfig" PKG_CONFIG_LIBDIR="$prefix/lib/pkgconfig"
    CPPFLAGS="-I$prefix/include -D_FORTIFY_SOURCE=0" LDFLAGS="-L$prefix/lib")
  build_autotools_dependency libogg "${with_stage[@]}" &&
    build_autotools_dependency libvorbis --disable-docs --disable-examples --disable-oggtest \
      "${with_stage[@]}" &&
    DEP_MAKE_DIRS="src/libFLAC include" build_autotools_dependency flac --disable-programs \
      --disable-cpplibs --disable-doxygen-docs --disable-examples --disable-ogg \
      --disable-stack-smash-protection --disable-fortify-source "${with_stage[@]}" &&
    build_autotools_dependency opus --disable-doc --disable-extra-programs "${with_stage[@]}" &&
    build_autotools_dependency opusfile --disable-http --disable-examples --disable-doc \
      "${with_stage[@]}"
}

# A source entry for the same Debian suite as the binary one, for apt-get source.
# It must name the same key file as the binary entry, or apt refuses both.
ensure_deb_src() {
  if apt-get source --print-uris -qq lame >/dev/null 2>&1; then return 0; fi
  local suite list=/etc/apt/sources.list.d/sirelta-deb-src.sources
  suite=$(. /etc/os-release && echo "$VERSION_CODENAME")
  log "adding a deb-src entry for $suite"
  local keyring=/usr/share/keyrings/debian-archive-keyring.gpg
  for signed in "Signed-By: $keyring" ""; do
    printf 'Types: deb-src\nURIs: http://deb.debian.org/debian\nSuites: %s\nComponents: main\n%s\n' \
      "$suite" "$signed" | as_root tee "$list" >/dev/null
    apt-cache policy >/dev/null 2>&1 && break
  done
  apt_updated=0
  apt_update_once
}

# The Wine prefix: created once, never asks to download Mono or Gecko, and has
# a null ALSA device for the wave output. Its COM1 is the siren emulator's
# line: Wine remakes the COM links of its prefix when it starts, from the
# registry, so COM1 is registered there as a link in the build folder that the
# emulator points at its pseudo-terminal.
SIREN_COM1="$BUILD/siren-com1"
ensure_wineprefix() {
  mkdir -p "$WINE_HOME"
  printf 'pcm.!default { type null }\nctl.!default { type hw card 0 }\n' >"$WINE_HOME/.asoundrc"
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    log "creating the Wine prefix"
    wine_env wineboot -i >/dev/null 2>&1 || true
    wine_env wineserver -w || true
    [ -f "$WINEPREFIX/system.reg" ] || return 1
  fi
  grep -q "siren-com1" "$WINEPREFIX/system.reg" && return 0
  wine_env wine reg add 'HKLM\Software\Wine\Ports' /v COM1 /d "$SIREN_COM1" /f >/dev/null 2>&1
  wine_env wineserver -w || true
}

# Runs a command with the environment that every Wine process of the project uses.
wine_env() {
  env HOME="$WINE_HOME" LANG=ru_RU.UTF-8 LC_ALL=ru_RU.UTF-8 "$@"
}

# Everything both commands need before building.
prepare_environment() {
  ensure_packages
  ensure_locale
  ensure_mingw_gtest
  ensure_mingw_lame
  ensure_mingw_soxr
  ensure_mingw_ebur128
  ensure_mingw_sound_decoders
  close_dep_stage
  ensure_wineprefix
}

configure_and_build() {
  local dir=$1; shift
  if [ ! -f "$dir/CMakeCache.txt" ]; then
    cmake -S "$ROOT" -B "$dir" -G "Unix Makefiles" "$@" >/dev/null
  fi
  cmake --build "$dir" -j2
}

build_native() {
  configure_and_build "$BUILD/native" -DCMAKE_BUILD_TYPE=Debug
}

# The native tools that the Windows build runs beside it: the siren emulator,
# built without sanitizers so that it runs at full speed.
EMULATOR="$BUILD/tools/emulator/siren_emulator"
build_tools() {
  if [ ! -f "$BUILD/tools/CMakeCache.txt" ]; then
    cmake -S "$ROOT" -B "$BUILD/tools" -G "Unix Makefiles" -DCMAKE_BUILD_TYPE=Release \
      -DSIRELTA_SANITIZE=OFF -DSIRELTA_TESTS=OFF >/dev/null
  fi
  cmake --build "$BUILD/tools" -j2 --target siren_emulator
}

build_windows() {
  # The link tests start the emulator; an existing build learns its path too.
  if [ -f "$BUILD/win/CMakeCache.txt" ]; then
    cmake "$BUILD/win" -DSIRELTA_EMULATOR="$EMULATOR" >/dev/null
  fi
  configure_and_build "$BUILD/win" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64.cmake" \
    -DSIRELTA_DEPS_PREFIX="$MINGW_PREFIX" \
    -DSIRELTA_WINE="$ROOT/scripts/wine-run.sh" \
    -DSIRELTA_EMULATOR="$EMULATOR"
}

# An X server for the windows when the session has none; sets DISPLAY.
XVFB_PID=""
ensure_display() {
  if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then return 0; fi
  local n
  for n in $(seq 90 120); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    XVFB_PID=$!
    export DISPLAY=":$n"
    local i
    for i in $(seq 50); do
      xdpyinfo >/dev/null 2>&1 && return 0
      sleep 0.1
    done
    kill "$XVFB_PID" 2>/dev/null
    XVFB_PID=""
  done
  log "could not start an X server"
  return 1
}

stop_display() {
  [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null
  XVFB_PID=""
}
