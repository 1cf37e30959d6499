# 64-bit ARM Linux with Debian's cross compiler (g++-aarch64-linux-gnu) and
# Debian's arm64 libraries, installed beside the amd64 ones (multiarch,
# tools/install-build-deps.sh arm64): the compiler finds their headers and
# libraries in /usr/include and /usr/lib/aarch64-linux-gnu by itself.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)

set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)

# pkg-config reads the arm64 libraries' .pc files, and the architecture-free
# ones (headers only), never the build machine's.
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/aarch64-linux-gnu/pkgconfig:/usr/share/pkgconfig)

# Test programs and trimhost run under qemu-user with Debian's arm64 C
# library, whose loader and libc come from one build of it. The cross
# compiler's copy in /usr/aarch64-linux-gnu (qemu's -L) is another build:
# its loader with that libc shares private state whose layout differs, and a
# forked child then loops for ever in glibc's fork.
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64 CACHE STRING "runs target programs")
