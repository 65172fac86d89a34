# Sourced by tools/play and tools/check: installs the Debian packages that
# are missing, through sudo when not root.
need_packages() {
  local missing=()
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  # Two installs at once (tools/check beside tools/deb, say) would meet at
  # dpkg's lock, which apt doesn't wait for unless told to.
  local wait=(-o DPkg::Lock::Timeout=1200)
  $sudo apt-get "${wait[@]}" update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get "${wait[@]}" install -y -qq --no-install-recommends "${missing[@]}"
}

# What building the game needs.
build_packages=(g++ cmake make pkg-config libsdl1.2-compat-dev libsdl-mixer1.2-dev libvorbis-dev libpng-dev)

# What the tests need on top: the test and benchmark frameworks, a virtual X
# server with input and window captures; the validators of the desktop entry
# and the metainfo, what CPack needs for the .deb's dependencies, the linters
# of tools/lint, and valgrind and strace for the leak and the nothing-written
# checks; help2man for the man page, lintian for the .deb, and ImageMagick to
# compare a capture of the window.
test_packages=(googletest libgtest-dev libbenchmark-dev xvfb xdotool x11-apps x11-utils python3
               desktop-file-utils appstream dpkg-dev clang-format clang-tidy valgrind strace
               help2man lintian imagemagick)

# What the browser build and its tests need: emscripten (with its SDL 1.2 and
# SDL_mixer), Node.js to run WebAssembly outside the browser, and Chromium
# driven by Selenium.
web_packages=(emscripten nodejs python3)
web_test_packages=(chromium chromium-driver python3-selenium)

# What tools/deb needs on top of the build: help2man for the man page,
# dpkg-dev for the package's dependencies, lintian to check it. For another
# architecture (ARCH stands for it): the cross compilers, the target's SDL,
# SDL_mixer's library (its -dev package can't sit beside this machine's; see
# tools/deb), and qemu-user to play the golden replays with the target's
# programs.
deb_packages=(help2man dpkg-dev lintian)
cross_packages=(crossbuild-essential-ARCH libsdl1.2-compat-dev:ARCH libsdl-mixer1.2:ARCH qemu-user-static)

# What tools/fuzz needs on top of the build: clang with libFuzzer and the
# sanitizers' runtimes.
fuzz_packages=(clang libclang-rt-14-dev)

# What tools/port needs on top of the build: the arm64 cross compilers,
# Debian's archive keys to check the bullseye packages, patchelf, config.sub
# for SDL_mixer's configure, ImageMagick for the screenshot and
# qemu-user for the golden replays.
port_packages=(crossbuild-essential-arm64 debian-archive-keyring dpkg-dev patchelf autotools-dev python3
               imagemagick qemu-user-static)

# What tools/handheld-vm needs on top of tools/port: the emulated arm64
# machine, debootstrap for its root (dpkg-deb unpacks the rest), mke2fs for
# its disk and ImageMagick to compare its screen.
handheld_packages=(qemu-system-arm debootstrap debian-archive-keyring dpkg e2fsprogs imagemagick python3)
