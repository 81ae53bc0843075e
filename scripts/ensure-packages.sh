# Sourced by run.sh and test.sh: installs the Debian packages the build needs when any is missing.

ensure_packages() {
    local missing=()
    local package
    for package in "$@"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
            missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0

    local sudo=()
    if [ "$(id -u)" -ne 0 ]; then
        command -v sudo >/dev/null || {
            echo "Missing packages: ${missing[*]}. Install them as root (apt-get install -y ...)." >&2
            return 1
        }
        sudo=(sudo)
    fi
    echo "Installing ${missing[*]} ..." >&2
    export DEBIAN_FRONTEND=noninteractive
    "${sudo[@]}" apt-get install -y -q "${missing[@]}" >/dev/null ||
        { "${sudo[@]}" apt-get update -q >/dev/null && "${sudo[@]}" apt-get install -y -q "${missing[@]}" >/dev/null; }
}

# What every build of Telvane needs, and what the checks of test.sh add.
BUILD_PACKAGES=(g++ cmake ninja-build pkg-config qt6-base-dev qt6-svg-dev libqt6sql6-sqlite libsqlite3-dev
    libqcustomplot-dev libgtest-dev libbenchmark-dev fonts-dejavu-core libfftw3-dev libliquid-dev
    libsndfile1-dev qt6-multimedia-dev libpulse-dev)
# What the tests of live listening add: a private sound server and its player.
TEST_PACKAGES=(pulseaudio pulseaudio-utils)
CHECK_PACKAGES=(git clang libclang-rt-14-dev clang-tidy clang-format)

configure_and_build() {
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build build
}
