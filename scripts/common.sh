# Shared by scripts/run, scripts/test, scripts/bench and scripts/fuzz.
# Installs the Debian packages the project needs when any is missing, and builds.

QL_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
QL_PACKAGES=(
    build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev clang-format
    qt6-base-dev qt6-serialport-dev libgl-dev
    libxlsxwriter-dev libfreexl-dev zlib1g-dev
    libgtest-dev libbenchmark-dev
    ser2net fonts-wqy-microhei
    python3 python3-openpyxl python3-xlwt
)

ql_install_packages() {
    local missing=()
    for p in "${QL_PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing missing packages: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# ql_build DIR [cmake options...]
ql_build() {
    local dir="$1"
    shift
    cmake -S "$QL_ROOT" -B "$QL_ROOT/$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
    cmake --build "$QL_ROOT/$dir" -j "$(nproc)"
}
