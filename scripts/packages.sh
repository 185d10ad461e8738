# Installs the Debian packages named in $@ that are missing (needs root and apt-get).
stalvane_install_packages() {
    local missing=()
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update -qq || return 1
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null || return 1
}
STALVANE_BUILD_PACKAGES=(build-essential cmake git python3 libboost-dev libloki-dev)
STALVANE_TEST_PACKAGES=(libgtest-dev g++-powerpc-linux-gnu qemu-user erlang-base erlang-asn1 syslog-ng-core)
