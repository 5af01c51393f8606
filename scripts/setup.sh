#!/usr/bin/env bash
# Installs the Debian packages the project needs, only those that are missing.
set -euo pipefail

packages=(
    cmake g++ make pkg-config
    libicu-dev libuchardet-dev
    libopencc-dev libopencc-data
    qt6-base-dev libgl1-mesa-dev qt6-translations-l10n
    fonts-wqy-microhei
    googletest libgtest-dev libgmock-dev
    libcli11-dev nlohmann-json3-dev libssl-dev
    clang libclang-rt-14-dev
    desktop-file-utils appstream dpkg-dev ccache
    libzip-dev epubcheck libacl1-dev acl
    lintian man-db groff-base
    vim-runtime fortunes-zh libpython3.11-testsuite
)
if [[ "${QS_SETUP_EXTRA:-}" != "" ]]; then
    read -r -a extra <<<"$QS_SETUP_EXTRA"
    packages+=("${extra[@]}")
fi

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    if [[ $(id -u) -ne 0 ]]; then
        SUDO=sudo
    else
        SUDO=
    fi
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
