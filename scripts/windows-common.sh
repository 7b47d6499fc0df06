# Shared by scripts/windows and scripts/test-windows: the Debian packages the Windows
# build and its Wine tests need, where the SDK is unpacked, and the program folder.

QL_WINDOWS_PACKAGES=(
    g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 qt6-base-dev qt6-base-dev-tools
    googletest qt6-translations-l10n xz-utils zip unzip
    wine wine64 xvfb xdotool imagemagick ser2net socat python3-openpyxl
)

# Prints the SDK prefix, unpacking the tarball into the cache folder when it is newer
# than the copy there.
ql_windows_sdk() {
    local given="${QL_WINDOWS_SDK:-$QL_ROOT/../shared/third_party/windows-sdk}"
    if [ -d "$given" ] && [ -f "$given/lib/cmake/Qt6/qt.toolchain.cmake" ]; then
        (cd "$given" && pwd)
        return
    fi
    local tarball="$given"
    [ -d "$given" ] && tarball="$(ls "$given"/qt6*-mingw64-sdk.tar.xz | head -n1)"
    [ -f "$tarball" ] || { echo "No Windows SDK at $given" >&2; return 1; }
    local cache="${QL_WINDOWS_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/ql-rs485}"
    local name
    name="$(basename "$tarball" .tar.xz)"
    name="${name%-sdk}"
    local stamp="$cache/$name.unpacked"
    if [ ! -f "$stamp" ] || [ "$tarball" -nt "$stamp" ]; then
        echo "Unpacking $tarball into $cache" >&2
        rm -rf "${cache:?}/$name"
        mkdir -p "$cache"
        tar -C "$cache" -xJf "$tarball"
        touch "$stamp"
    fi
    echo "$cache/$name"
}

ql_windows_build_dir() {
    local dir="${QL_WINDOWS_BUILD:-$QL_ROOT/build-windows}"
    mkdir -p "$dir"
    (cd "$dir" && pwd)
}

# The DLLs FILE imports that lie in one of the folders given, recursively: exactly
# what Windows loads from beside the program.
ql_windows_dll_closure() {
    local -a queue=("$1") seen=()
    shift
    local -a dirs=("$@")
    while [ ${#queue[@]} -ne 0 ]; do
        local f="${queue[0]}"
        queue=("${queue[@]:1}")
        local dll
        for dll in $(x86_64-w64-mingw32-objdump -p "$f" | sed -n 's/^\s*DLL Name: //p'); do
            local d
            for d in "${dirs[@]}"; do
                if [ -f "$d/$dll" ] && [[ " ${seen[*]} " != *" $d/$dll "* ]]; then
                    seen+=("$d/$dll")
                    queue+=("$d/$dll")
                fi
            done
        done
    done
    printf '%s\n' "${seen[@]}"
}

# ql_windows_stage SDK BIN DEST: the programs from BIN with the DLLs and plugins
# they load, the protocol workbook, the manual and Qt's Chinese translation.
ql_windows_stage() {
    local sdk="$1" bin="$2" dest="$3"
    mkdir -p "$dest/platforms" "$dest/styles" "$dest/sqldrivers" "$dest/translations"
    cp "$bin"/ql-rs485.exe "$bin"/ql-rs485-cli.exe "$bin"/ql-rs485-sim.exe "$bin"/ql-rs485-xls-reader.exe "$dest/"
    cp "$sdk/plugins/platforms/qwindows.dll" "$dest/platforms/"
    cp "$sdk/plugins/styles/qwindowsvistastyle.dll" "$dest/styles/"
    # The store's drivers; the PostgreSQL one loads libpq.dll from beside the .exe.
    cp "$sdk/plugins/sqldrivers/qsqlite.dll" "$sdk/plugins/sqldrivers/qsqlpsql.dll" "$dest/sqldrivers/"
    local f
    for f in "$dest"/*.exe "$dest"/platforms/*.dll "$dest"/styles/*.dll "$dest"/sqldrivers/*.dll; do
        ql_windows_dll_closure "$f" "$sdk/bin"
    done | sort -u | while read -r dll; do cp "$dll" "$dest/"; done
    x86_64-w64-mingw32-strip "$dest"/*.exe
    cp -r "$bin/Excel" "$bin/manual" "$dest/"
    cp /usr/share/qt6/translations/qtbase_zh_CN.qm "$dest/translations/"
}
