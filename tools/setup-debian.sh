#!/usr/bin/env bash
# Installs what building and testing need on Debian: the MinGW-w64 cross compilers, CMake,
# Wine (64-bit and, through i386 multiarch, 32-bit), Xvfb, GoogleTest's sources, Python,
# ImageMagick, iproute2 (the private network of the Wine session) and openssl (the development
# signing key). Installs nothing when
# everything is there.
set -eu

packages=(cmake make g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix wine wine64 wine32:i386
          xvfb xauth googletest python3 imagemagick iproute2 openssl)

as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
        missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "installing: ${missing[*]}"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    as_root dpkg --add-architecture i386
fi
as_root apt-get update -q
as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
