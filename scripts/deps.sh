# Sourced by the scripts: installs the Debian packages that are missing.
wispleaf_packages=(
    cmake ninja-build g++ pkg-config dpkg-dev file desktop-file-utils
    qt6-base-dev qt6-base-dev-tools qt6-translations-l10n libgl-dev
    fonts-ipafont-gothic fp-utils clang libclang-rt-dev appstream iproute2 dbus-daemon
)

wispleaf_install_deps() {
    local wanted=("${wispleaf_packages[@]}" "$@") missing=() package
    for package in "${wanted[@]}"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" \
            || missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
}
