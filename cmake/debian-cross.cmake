# Shared by the toolchain files: cross-building on a Debian machine for the
# Debian architecture whose GNU triplet the including file sets in
# bitrot_triplet. The compilers are crossbuild-essential's; the target's
# libraries are Debian's multiarch ones, installed beside this machine's in
# /usr/lib/<triplet>, so no separate sysroot is needed (tools/deb says how
# SDL_mixer's -dev package, the one that can't be, is found).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_C_COMPILER ${bitrot_triplet}-gcc)
set(CMAKE_CXX_COMPILER ${bitrot_triplet}-g++)
set(CMAKE_LIBRARY_ARCHITECTURE ${bitrot_triplet})

# pkg-config reads the target's .pc files only, never this machine's.
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/${bitrot_triplet}/pkgconfig:/usr/share/pkgconfig)

