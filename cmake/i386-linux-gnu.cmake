# The 32-bit i386 build (scripts/i386.sh), with the system's multilib GCC and
# Debian's i386 libraries. SSE2 arithmetic for every double, as in the x86-64
# build: the x87 unit would carry intermediates in 80 bits and round some
# pixels differently. The executable then needs a processor with SSE2
# (Pentium 4 or later).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER gcc)
set(CMAKE_CXX_COMPILER g++)
set(CMAKE_C_FLAGS_INIT "-m32 -msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-m32 -msse2 -mfpmath=sse")
set(CMAKE_LIBRARY_ARCHITECTURE i386-linux-gnu)
