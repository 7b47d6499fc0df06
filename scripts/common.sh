# Shared by scripts/run, scripts/test, scripts/bench and scripts/fuzz.
# Installs the Debian packages the project needs when any is missing, and builds.

QL_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
QL_PACKAGES=(
    build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev clang-format
    qt6-base-dev qt6-serialport-dev qt6-charts-dev libqt6opengl6-dev libgl-dev
    libxlsxwriter-dev libfreexl-dev zlib1g-dev
    libgtest-dev libbenchmark-dev
    libqt6sql6-sqlite libqt6sql6-psql postgresql-15
    ser2net socat libmodbus-dev mbpoll fonts-wqy-zenhei fonts-wqy-microhei qt6-translations-l10n
    python3 python3-openpyxl python3-xlwt locales
)

ql_install_packages() {
    local missing=()
    for p in "${QL_PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    if [ ${#missing[@]} -ne 0 ]; then
        echo "Installing missing packages: ${missing[*]}"
        $sudo apt-get update -qq
        DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
    fi
    ql_generate_locale de_DE.UTF-8 "$sudo"
}

# The tests read numbers under a locale whose decimal separator is a comma.
# ql_generate_locale NAME SUDO: generates NAME once; later calls find it and return.
ql_generate_locale() {
    local name="$1" sudo="$2"
    local short="${name%%.*}.utf8"
    locale -a 2>/dev/null | grep -qix "$short" && return 0
    echo "Generating locale $name"
    $sudo sed -i "s/^# *\($name UTF-8\)/\1/" /etc/locale.gen
    grep -qx "$name UTF-8" /etc/locale.gen || echo "$name UTF-8" | $sudo tee -a /etc/locale.gen >/dev/null
    $sudo locale-gen >/dev/null
}

# ql_build_only DIR TARGET...: configured as ql_build does, builds only TARGETs
# and what they depend on.
ql_build_only() {
    local dir="$1"
    shift
    cmake -S "$QL_ROOT" -B "$QL_ROOT/$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    cmake --build "$QL_ROOT/$dir" -j "$(nproc)" --target "$@"
}

# ql_build DIR [cmake options...]
ql_build() {
    local dir="$1"
    shift
    cmake -S "$QL_ROOT" -B "$QL_ROOT/$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
    cmake --build "$QL_ROOT/$dir" -j "$(nproc)"
}
