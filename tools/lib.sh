# shellcheck shell=bash disable=SC2034  # the package lists are for the scripts that source this
# Sourced by tools/play and tools/check: installs the Debian packages that
# are missing, through sudo when not root.
#
# A name may hold a placeholder for what differs between Debian releases, so
# that each takes what its own archive offers rather than a fixed number:
#   CLANG      the major version of the clang that the package `clang` brings
#              (libclang-rt-CLANG-dev: that clang's libFuzzer and sanitizer
#              runtimes; 14 on Debian 12, 19 on Debian 13)
#   QEMU-USER  the package with qemu's static user-mode emulators: on Debian 12
#              qemu-user-static; on Debian 13 qemu-user is static itself and
#              qemu-user-static only a transitional package that adds binfmt
#              handlers, which nothing here needs. qemu_command names the
#              emulator either gives.
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
# Two installs at once (tools/check beside tools/deb, say) would meet at
# dpkg's lock, which apt doesn't wait for unless told to.
apt_wait=(-o DPkg::Lock::Timeout=1200)
apt_updated=""
apt_update() {
  [ -n "$apt_updated" ] && return 0
  $sudo apt-get "${apt_wait[@]}" update -qq
  apt_updated=1
}
installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }
# The Depends of PACKAGE's candidate in the archive, one a line; reads the
# archive's lists first when this machine has none yet.
archive_depends() {
  apt-cache show "$1" >/dev/null 2>&1 || apt_update
  apt-cache depends "$1" | sed -n 's/^ *Depends: //p'
}
release_package() {
  local name=$1 v
  case $name in
    *CLANG*)
      if installed clang; then
        v=$(dpkg-query -W -f='${Depends}' clang | grep -o 'clang-[0-9][0-9]*' || true)
      else
        v=$(archive_depends clang | grep -x 'clang-[0-9][0-9]*' || true)
      fi
      v=${v%%$'\n'*}
      [ -n "$v" ] || { echo "lib.sh: can't tell which clang this release brings" >&2; return 1; }
      name=${name//CLANG/${v#clang-}}
      ;;
  esac
  if [ "$name" = QEMU-USER ]; then
    if installed qemu-user-static && ! dpkg-query -W -f='${Depends}' qemu-user-static | grep -qw qemu-user; then
      name=qemu-user-static
    elif installed qemu-user || grep -qx qemu-user <<<"$(archive_depends qemu-user-static)"; then
      name=qemu-user
    else
      name=qemu-user-static
    fi
  fi
  echo "$name"
}
# The user-mode emulator for a CPU (aarch64, arm), whichever QEMU-USER gave.
qemu_command() { command -v "qemu-$1-static" || command -v "qemu-$1"; }

need_packages() {
  local missing=() p
  for p in "$@"; do
    p=$(release_package "$p") || return 1
    installed "$p" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "installing: ${missing[*]}"
  apt_update
  DEBIAN_FRONTEND=noninteractive $sudo apt-get "${apt_wait[@]}" install -y -qq --no-install-recommends "${missing[@]}"
}

# What building the game needs (zlib opens links to runs on the desktop).
build_packages=(g++ cmake make pkg-config libsdl1.2-compat-dev libsdl2-dev libsdl-mixer1.2-dev libvorbis-dev libpng-dev zlib1g-dev)

# What the tests need on top: the test and benchmark frameworks, a virtual X
# server with input and window captures; the validators of the desktop entry
# and the metainfo, what CPack needs for the .deb's dependencies, the linters
# of tools/lint, and valgrind and strace for the leak and the nothing-written
# checks; help2man for the man page, lintian for the .deb, and ImageMagick to
# compare a capture of the window.
test_packages=(googletest libgtest-dev libbenchmark-dev xvfb xdotool x11-apps x11-utils python3
               desktop-file-utils appstream dpkg-dev clang-format clang-tidy shellcheck valgrind strace
               help2man lintian imagemagick)

# What the browser build and its tests need: emscripten (with its SDL 1.2 and
# SDL_mixer), Node.js to run WebAssembly outside the browser and terser to
# minify the page; the three
# engines the page is tested in: Chromium driven by Selenium, WebKitGTK's
# driver with Selenium in a virtual X server, and Firefox ESR, which
# puppeteer-core (from npm, as package.json says) drives, with a sound server
# of its own so that its Web Audio can run.
web_packages=(emscripten nodejs node-terser python3)
web_test_packages=(chromium chromium-driver python3-selenium webkit2gtk-driver xvfb firefox-esr pulseaudio)
# Debian's nodejs comes without npm; a Node.js from elsewhere brings its own,
# which Debian's npm package would conflict with.
need_npm() { command -v npm >/dev/null || need_packages npm; }

# What tools/deb needs on top of the build: help2man for the man page,
# dpkg-dev for the package's dependencies, lintian to check it. For another
# architecture (ARCH stands for it): the cross compilers, the target's SDL,
# SDL_mixer's library (its -dev package can't sit beside this machine's; see
# tools/deb), and qemu's user-mode emulators to play the golden replays with the target's
# programs.
deb_packages=(help2man dpkg-dev lintian)
cross_packages=(crossbuild-essential-ARCH libsdl1.2-compat-dev:ARCH libsdl2-dev:ARCH zlib1g-dev:ARCH libsdl-mixer1.2:ARCH
                QEMU-USER)

# What tools/fuzz needs on top of the build: clang with libFuzzer and the
# sanitizers' runtimes.
fuzz_packages=(clang libclang-rt-CLANG-dev)

# What tools/port needs on top of the build: the arm64 cross compilers,
# Debian's archive keys to check the bullseye packages, patchelf, config.sub
# for SDL_mixer's configure, ImageMagick for the screenshot and
# qemu-user for the golden replays.
port_packages=(crossbuild-essential-arm64 debian-archive-keyring dpkg-dev patchelf autotools-dev python3
               imagemagick QEMU-USER)

# What tools/handheld-vm needs on top of tools/port: the emulated arm64
# machine, debootstrap for its root (dpkg-deb unpacks the rest), mke2fs for
# its disk, depmod, modprobe and cpio for its initramfs, and the aarch64 C
# compiler and C library for the guest's own small programs (the pad, the
# stand-in gptokeyb).
handheld_packages=(qemu-system-arm debootstrap debian-archive-keyring dpkg e2fsprogs kmod cpio python3
                   gcc-aarch64-linux-gnu libc6-dev-arm64-cross)

# lintian over a .deb of ours: no error and no warning, with one tag let
# through. AppStream 1.0 (Debian 13) fails the metainfo for want of a
# homepage URL, which the game doesn't have yet, and lintian reports that as
# a failed validation; an older lintian doesn't know the tag, and refuses to
# be told of it. tests/install_test.sh checks the metainfo itself.
lintdeb() {
  local skip=()
  lintian-explain-tags appstream-metadata-validation-failed >/dev/null 2>&1 &&
    skip=(--suppress-tags appstream-metadata-validation-failed)
  lintian --fail-on error,warning "${skip[@]}" "$@"
}

# The URI of this machine's Debian archive, from its own apt sources, so that
# what fetches Debian packages of other releases (the port's
# port-libs, tools/pristine) goes where this machine's apt goes: a local mirror, a
# package cache. With `security`, the URI of its security archive instead.
# Takes the first enabled deb source whose suite is a Debian release (or its
# -updates, -backports), in deb822 files (sources.list.d/*.sources) first,
# then one-line lists; BITROT_DEBIAN_MIRROR (or BITROT_DEBIAN_SECURITY)
# overrides. A proxy in apt's configuration reaches apt run with another
# Dir too, since apt reads this machine's configuration first.
debian_mirror() {
  local want=archive var=BITROT_DEBIAN_MIRROR uri
  [ "${1:-}" = security ] && want=security var=BITROT_DEBIAN_SECURITY
  [ -n "${!var:-}" ] && { echo "${!var}"; return 0; }
  uri=$(
    shopt -s nullglob
    for f in /etc/apt/sources.list.d/*.sources; do
      # One line per paragraph: its Types, URIs, Suites and Enabled fields.
      awk -v RS= -F '\n' '{
        t = u = s = ""; e = "yes"
        for (i = 1; i <= NF; i++) {
          if ($i ~ /^#/) continue
          split($i, kv, ":"); k = tolower(kv[1]); v = substr($i, length(kv[1]) + 2); gsub(/^[ \t]+|[ \t]+$/, "", v)
          if (k == "types") t = v; else if (k == "uris") u = v; else if (k == "suites") s = v; else if (k == "enabled") e = tolower(v)
        }
        if (e != "no") print t "|" u "|" s
      }' "$f"
    done
    for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
      [ -f "$f" ] || continue
      sed -E -n 's/^[[:space:]]*(deb)[[:space:]]+(\[[^]]*\][[:space:]]+)?([^[:space:]]+)[[:space:]]+([^[:space:]]+).*/\1|\3|\4/p' "$f"
    done
  ) || return 1
  local types uris suites s
  while IFS='|' read -r types uris suites; do
    [[ " $types " == *" deb "* ]] || continue
    for s in $suites; do
      case $want:${s%/} in
        security:*-security) ;;
        archive:*-security) continue ;;
        archive:*) ;;
        *) continue ;;
      esac
      [[ ${s%%-*} =~ ^(buster|bullseye|bookworm|trixie|forky|duke|sid|oldoldstable|oldstable|stable|testing|unstable)$ ]] ||
        continue
      echo "${uris%% *}"
      return 0
    done
  done <<<"$uri"
  echo "lib.sh: no Debian ${want} source in this machine's apt sources; set $var to one" >&2
  return 1
}
